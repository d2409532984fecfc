// The table row decoder: the records of one data page as rows of display
// text, one text per column of the table.
//
// Two decoders share one interface. The rowset decoder knows where each
// column lies (leaf offset and null bit from the rowset column table); the
// positional decoder walks the columns in order, for SQL Server 2000
// catalogs and tables whose rowset column rows are missing.
#ifndef PAGEWRIGHT_TABLEDATA_ROW_DECODER_H_
#define PAGEWRIGHT_TABLEDATA_ROW_DECODER_H_

#include <string>
#include <vector>

#include "pagestore/database_reader.h"
#include "records/cell_value.h"
#include "records/column_descriptor.h"
#include "records/record.h"

namespace pagewright {

// One decoded row: the value text of every column of the context, in the
// context's column order.
using DecodedRow = std::vector<std::string>;

// One decoded row as typed values, one per column of the context, and
// whether its record is a ghost (deleted) record shown on request.
using CellRow = std::vector<CellValue>;
struct TypedRow {
  CellRow cells;
  bool deleted = false;
};

constexpr const char* kNullText = "NULL";
constexpr const char* kBinaryPlaceholder = "<BINARY DATA>";
constexpr const char* kBigBinaryPlaceholder = "<BIG BINARY DATA>";

struct DecodeMode {
  bool rowset = true;       // the rowset decoder (else the positional one)
  bool moduleForm = false;  // decoding module text rows of a system table
};

// The columns' value texts for every accepted record of the page, in slot
// order. `context` keeps physical column id corrections between pages.
// Records that do not parse and rows the decoder drops are reported to the
// read context's damage reporter.
std::vector<DecodedRow> DecodePage(const CDataPage& page, RowDecodeContext& context, DatabaseReader& reader,
                                   const ReadContext& read, const DecodeMode& mode);

// The columns' typed values for every accepted record of the page, in slot
// order, into `rows` (earlier rows replaced, their room reused); damage is
// reported as DecodePage reports it. The display texts of DecodePage are
// made from these.
void DecodePageCells(const CDataPage& page, RowDecodeContext& context, DatabaseReader& reader, const ReadContext& read,
                     const DecodeMode& mode, std::vector<TypedRow>& rows);

// As DecodePageCells, for the records from slot `from` on, stopping after
// `maxRows` rows or when the read context's large-value budget runs out;
// returns the slot after the last record decoded (PageRecordCount(page)
// when the page is done).
size_t DecodePageCellsFrom(const CDataPage& page, RowDecodeContext& context, DatabaseReader& reader,
                           const ReadContext& read, const DecodeMode& mode, std::vector<TypedRow>& rows, size_t from,
                           size_t maxRows);
size_t PageRecordCount(const CDataPage& page);

// Reads a data page (file id 1 as `read` says; a catalog page from the old
// file when `catalogPage`), builds its records with `context`'s columns and
// decodes it; empty when the page cannot be read or is not a data page.
std::vector<DecodedRow> ReadPageRows(DatabaseReader& reader, const ReadContext& read, PageId page,
                                     RowDecodeContext& context, const DecodeMode& mode, bool catalogPage = false);

// The XML text of an xml value's stored bytes; empty when they are not
// binary XML.
std::string ConvertLargeValue(const std::vector<uint8_t>& bytes);

}  // namespace pagewright

#endif  // PAGEWRIGHT_TABLEDATA_ROW_DECODER_H_
