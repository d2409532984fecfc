// Large values: text, ntext, image, and the max types (varchar(max),
// nvarchar(max), varbinary(max), xml) stored off-row or as row-overflow.
//
// A row points at them with a 16-byte text pointer (text/ntext/image: an
// 8-byte timestamp, i32 page, u16 file, u16 slot) or an in-row root (max
// types and row-overflow: a 12-byte header, then 12-byte links of i32 size,
// i32 page, i16 file, i16 slot). The pointed-to records on text/image pages
// are classic records whose fixed part holds one large-object structure:
//
//   off  width  field
//   0    8      blob id
//   8    i16    type: 0 small root, 2 internal node, 3 data fragment,
//               5 large root (4 and 6 read as 5)
//   10   i16    small root: data length; internal/large root: max links
//   12   i16    current link count
//   14   i16    level
//   16   ...    small root: the data
//   16   16n    internal node: links of i64 offset, i32 page, u16 file,
//               i16 slot
//   20   12n    large root: links of i32 size, i32 page, u16 file, i16 slot
//   10   ...    data fragment: the data
//
// The bytes of a value are gathered first and turned into text once, so
// that UTF-16 characters split across fragments stay whole.
#ifndef PAGEWRIGHT_RECORDS_LARGE_VALUE_H_
#define PAGEWRIGHT_RECORDS_LARGE_VALUE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pagestore/database_reader.h"
#include "records/cell_value.h"
#include "records/record.h"

namespace pagewright {

enum LobStructureType : int32_t {
  kSmallRoot = 0,
  kInternalNode = 2,
  kDataFragment = 3,
  kLargeRoot = 5,
  kNoStructure = 9,
};

// The most bytes one value may gather; longer values are cut here.
constexpr size_t kMaxLargeValueBytes = 64u << 20;
// Link levels followed below one root.
constexpr int kMaxLobDepth = 16;

// A record of a text/image page: the large-object structure in its fixed
// part.
class TextRecord : public CRecord {
 public:
  ~TextRecord() override;
  std::vector<uint8_t> data;  // the fixed part (F - 4 bytes)
  bool hasData = false;
  int32_t payloadLength = 0;  // F - 14 for a structure, F - 4 otherwise
  int32_t structureType = kNoStructure;
};

// The text record in one slot of a text/image page (its bytes copied out of
// the page), or null for a slot the page does not have or that points
// beyond it.
std::unique_ptr<TextRecord> ParseTextRecord(const TextMixPage& page, size_t slot);
// Builds the text records of a text/image page, one entry per slot.
void BuildTextMixPage(TextMixPage& page, const ReadContext& context);

// How a gathered value becomes text.
struct LargeValueFlags {
  bool variant = false;  // starts with an 8-byte sql_variant header
  bool binary = false;   // shown as hex
  bool unicode = false;  // UTF-16 text
  int32_t codePage = 0;  // 8-bit text otherwise (0: the system code page)
};

// Gathers the bytes of the value behind a large-object structure (the data
// of a text record, `payloadLength` bytes of payload), following links
// through `reader`. Unreadable parts are left out and reported as damage,
// as is a value cut at kMaxLargeValueBytes. A value that would spend more
// than the read context's large-value budget is left incomplete, without a
// damage report, and the budget marked exceeded.
std::vector<uint8_t> GatherLargeValue(ByteSpan structure, int32_t payloadLength, DatabaseReader& reader, const ReadContext& context);

// Gathered bytes as a typed value: bytes (binary), UTF-16 text (unicode,
// or 8-bit text whose every second byte is zero), per base type (variant),
// or 8-bit text.
CellValue LargeValueCell(std::vector<uint8_t> bytes, const LargeValueFlags& flags);
// Gathered bytes as display text (of LargeValueCell): hex (binary), UTF-16 (unicode, or 8-bit
// text whose every second byte is zero), per base type (variant), or 8-bit
// text.
std::string LargeValueText(ByteSpan bytes, const LargeValueFlags& flags);

// The bytes behind a 16-byte text pointer; nullopt when its page or slot
// cannot be read.
std::optional<std::vector<uint8_t>> ReadTextPointerBytes(ByteSpan pointer, DatabaseReader& reader, const ReadContext& context);
// The value, blank when it is empty, missing when it cannot be read.
CellValue ReadTextPointerCell(ByteSpan pointer, DatabaseReader& reader, const ReadContext& context,
                              const LargeValueFlags& flags);
// The value as text: " " for an empty value, "" when it cannot be read.
std::string ReadTextPointerValue(ByteSpan pointer, DatabaseReader& reader, const ReadContext& context,
                                 const LargeValueFlags& flags);

// The bytes behind an in-row root or row-overflow pointer.
std::vector<uint8_t> ReadInRowRootBytes(ByteSpan root, DatabaseReader& reader, const ReadContext& context);
CellValue ReadInRowRootCell(ByteSpan root, DatabaseReader& reader, const ReadContext& context,
                            const LargeValueFlags& flags);
std::string ReadInRowRootValue(ByteSpan root, DatabaseReader& reader, const ReadContext& context,
                                 const LargeValueFlags& flags);

}  // namespace pagewright

#endif  // PAGEWRIGHT_RECORDS_LARGE_VALUE_H_
