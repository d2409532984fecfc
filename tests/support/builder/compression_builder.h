// Writes row- and page-compressed records, pages and tables.
//
// Row compression stores every record in the column-descriptor layout
// (records/record.h) and each value in as few bytes as it needs:
//   int, smallint, bigint, money, smallmoney: big-endian in the fewest bytes
//       that hold the value as a signed number, its sign bit flipped
//       (5 -> 85, 256 -> 81 00, -1 -> 7F); 0 takes no bytes (code 1)
//   tinyint: its byte
//   bit: code 1 for 0, code 11 for 1, no bytes
//   char: trailing spaces dropped; binary: trailing zeros dropped
//   nchar: trailing spaces dropped, then as nvarchar
//   nchar / nvarchar (not max): SCSU (Unicode Technical Standard #6) when
//       that is shorter and of odd length, so that it cannot be taken for
//       UTF-16, which always has an even length; otherwise UTF-16
//   other types the builder knows (varchar, varbinary, uniqueidentifier,
//       date, smalldatetime, max types, large-value pointers): as stored
// A value of no bytes is code 1 (empty), up to 8 bytes short data (codes 2
// to 9), longer values and pointers the long data region (code 10).
//
// Page compression adds a compression information record at offset 96,
// before the first record and outside the slot array (the page's type flag
// bits get 0x80):
//   96        u8   0x02 an anchor record follows, 0x04 a dictionary
//   97        u16  0 (modification counter)
//   99        u16  with a dictionary: its offset d from 96;
//                  without: the size of the whole information record
//   101       u16  with a dictionary: the size of the whole record
//   103 / 101      the anchor record (at 101 without a dictionary): a
//                  compressed record with one value per column, the prefix
//                  the column's values share, NULL for a column without one
//   96 + d         the dictionary: u16 count c, c u16 end offsets counted
//                  from the dictionary start (the first entry starts at
//                  2 + 2c), the entries back to back
// Every value of a column with an anchor value is stored as a byte p, the
// length of the anchor prefix it shares, followed by the rest of the value
// (an empty value: the single byte 0). A value the dictionary holds is
// stored as code 12 and its one-byte index in the short data.
#ifndef PAGEWRIGHT_TESTS_SUPPORT_BUILDER_COMPRESSION_BUILDER_H_
#define PAGEWRIGHT_TESTS_SUPPORT_BUILDER_COMPRESSION_BUILDER_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/builder/catalog_builder.h"
#include "support/builder/page_builder.h"
#include "support/builder/record_builder.h"
#include "support/builder/row_encoder.h"

namespace pagewright::build {

// Descriptor codes.
constexpr int kCodeNull = 0;
constexpr int kCodeEmpty = 1;
constexpr int kCodeLong = 10;
constexpr int kCodeBitOne = 11;
constexpr int kCodeSymbol = 12;

// The compressed integer bytes of a value (none for 0).
Bytes CompressedInteger(int64_t value);
// The SCSU bytes of a text, from ICU's "SCSU" converter.
Bytes ScsuBytes(const std::u16string& text);

// One column value of a compressed record.
struct CompressedField {
  int code = kCodeNull;
  Bytes bytes;  // short data (codes 2-9), long data (10), the index byte (12)
  bool complex = false;

  // The field of stored bytes: empty, short or long by their length.
  static CompressedField Of(const Bytes& data, bool complex = false);
  static CompressedField Symbol(uint8_t index);
};

// How row compression stores one value of a column (throws
// std::invalid_argument for types whose compressed form the builder does
// not write: float, real, decimal, datetime and the other date/time types
// with a scale).
CompressedField CompressValue(const ColumnSpec& column, const Value& value);
// The compressed record of these fields (kind 0, or 6 for a ghost).
Bytes CompressedRecordOf(const std::vector<CompressedField>& fields, int kind = 0);
// The row-compressed record of one row.
Bytes EncodeCompressedRow(const std::vector<ColumnSpec>& columns, const std::vector<Value>& values, int kind = 0);

// A field of a column whose anchor value is `anchor`: the shared prefix
// length byte, then the rest. NULL fields and bit fields stay as they are.
CompressedField WithAnchorPrefix(const CompressedField& field, const Bytes& anchor);

// The compression information record of a page-compressed page.
struct CompressionInfoRecord {
  // One value per column (NULL: none); an empty list writes no anchor record.
  std::vector<std::optional<Bytes>> anchor;
  // The entries; an empty list writes no dictionary.
  std::vector<Bytes> dictionary;

  bool empty() const { return anchor.empty() && dictionary.empty(); }
  // The record's bytes from page offset 96 on.
  Bytes Build() const;
};

// A data page (type 1) whose first bytes at offset 96 are the compression
// information (type flag bits 0x80; none when `info` is empty), followed by
// the records, one slot each. Position, object id and links are left to
// the caller (CatalogBuilder sets them).
PageBuilder CompressedDataPage(const CompressionInfoRecord& info, const std::vector<Bytes>& records, int16_t ghosts = 0);

enum class Compression { kRow, kPage };

struct PageCompressionChoices {
  bool anchors = true;     // give columns whose values share a prefix an anchor value
  bool dictionary = true;  // put values repeated on the page into the dictionary
};

// The compression information and records of one page-compressed page of
// rows: per column the anchor value that saves the most bytes (none when
// nothing is saved), then the values repeated often enough to pay for a
// dictionary entry (at most 255, the information record kept under 4000
// bytes).
struct CompressedPageContent {
  CompressionInfoRecord info;
  std::vector<Bytes> records;
};
CompressedPageContent CompressPage(const std::vector<ColumnSpec>& columns,
                                   const std::vector<const std::vector<Value>*>& rows, const std::vector<int>& kinds,
                                   const PageCompressionChoices& choices = {});

// Packs rows into compressed data pages, as many as fit (or `rowsPerPage`).
class CompressedPagePacker {
 public:
  CompressedPagePacker(std::vector<ColumnSpec> columns, Compression compression, PageCompressionChoices choices = {},
                       int rowsPerPage = 0);
  void Add(const std::vector<Value>& row, int kind = 0);
  // The pages so far, the last one included; the packer is empty after.
  std::vector<PageBuilder> Finish();

 private:
  void Flush();
  // The information record and records of a page of the first `count`
  // pending rows.
  CompressedPageContent Content(size_t count) const;

  std::vector<ColumnSpec> columns_;
  Compression compression_;
  PageCompressionChoices choices_;
  int rowsPerPage_;
  std::vector<std::vector<Value>> pending_;
  std::vector<int> kinds_;
  int pendingBytes_ = 0;
  std::vector<PageBuilder> pages_;
};

// The data pages of a table's rows (then its ghost rows), compressed.
std::vector<PageBuilder> CompressedTablePages(const TableDef& table, Compression compression,
                                              PageCompressionChoices choices = {});
// The same as a TableDef::dataPages hook.
std::function<std::vector<PageBuilder>(const TableDef&, DatabaseBuilder&)> CompressedPages(Compression compression,
                                                                         PageCompressionChoices choices = {});

}  // namespace pagewright::build

#endif  // PAGEWRIGHT_TESTS_SUPPORT_BUILDER_COMPRESSION_BUILDER_H_
