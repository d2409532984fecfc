// Records: one row version stored on a page.
//
// Status byte (byte 0 of every record):
//   bit 0     compressed column-descriptor layout (row/page compression)
//   bits 1-3  kind: 0 primary, 1 forwarded, 2 forwarding stub, 3 index,
//             4 large-value fragment, 5 ghost index, 6 ghost data, 7 ghost
//             version
//   bit 4     classic: null bitmap present; compressed: bitmap block present
//   bit 5     classic: variable-length columns present; compressed: long
//             data region present
//   bit 6     versioning information present
//
// Classic layout (offsets from the record start):
//   0     u8    status byte
//   1     u8    second status byte
//   2     i16   F, end offset of the fixed part
//   4     F-4   fixed-length column data
//   F     i16   column count C
//   F+2   (C+7)/8 null bitmap, when status bit 4 is set
//   next  i16   variable-length column count V
//   next  2V    end offset of each variable value from the record start;
//               bit 15 marks a complex (off-row, sparse) value
//   next  ...   the variable values, back to back
//
// Forwarding stub (kind 2): i32 page number at 1, u16 file id at 5, i16 slot
// at 7: the address of the forwarded record, which holds the row.
//
// Sparse vector (a complex value whose first byte, or first u16 when that
// byte is 0, is 5; never a value of exactly 16 bytes, which is a text
// pointer):
//   0     u16   complex value kind (5)
//   2     i16   number of sparse columns n
//   4     2n    column id of each value (u16)
//   4+2n  2n    end offset of each value from the vector start (u16)
//   4+4n  ...   the values
//
// Compressed (column-descriptor) layout:
//   status byte
//   column count: byte 1 when its high bit is clear, else the u16 at bytes
//                 1-2 as stored
//   descriptor array: ceil(C/2) bytes, a 4-bit code per column, low half
//                 first (0 NULL, 1 empty, 2-9 short value of code-1 bytes,
//                 10 long value, 12 page dictionary symbol)
//   short data clusters: (C-1)/30 bytes, skipped
//   short data: the short values in column order
//   bitmap block: ceil(C/8) bytes when status bit 4 is set
//   long data region when status bit 5 is set: a header byte (bit 0: an
//                 offset array follows), u16 count n, n u16 end offsets
//                 (bit 15 complex), (C-1)/30 cluster bytes, the long values
#ifndef PAGEWRIGHT_RECORDS_RECORD_H_
#define PAGEWRIGHT_RECORDS_RECORD_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "pagestore/pages.h"
#include "state/read_context.h"

namespace pagewright {

// Record bounds shared by the parses.
constexpr int kMaxFixedLength = 8060;  // fixed parts and short data below this
constexpr int kMaxColumnCount = 1024;  // column counts below this

// The fixed part of a classic record, from F at bytes 2-3: where it ends
// (the column count follows there) and whether it holds column data.
struct ClassicFixedPart {
  int16_t end = 0;  // F
  int length() const { return end - 4; }
  // F is plausible for a record that has fixed-length data: some, and less
  // than any row may hold.
  bool holdsData() const { return length() > 0 && length() < kMaxFixedLength; }
  // F is plausible for a record start at all (no fixed data is possible).
  bool plausible() const { return length() >= 0 && length() < kMaxFixedLength; }
};
// F of the record `record` begins; 0 (implausible) when bytes 2-3 are cut.
inline ClassicFixedPart ReadClassicFixedPart(ByteSpan record) { return ClassicFixedPart{I16At(record, 2)}; }
constexpr int kAdvancedScanLimit = 8060;
// Fixed length of a forwarding stub whose forwarded record could not be read.
constexpr int16_t kUnreadableForward = -5;
// Forwarding stubs followed from one record before giving up (SQL Server
// points a stub straight at the forwarded record; anything longer is damage).
constexpr int kMaxForwardHops = 4;

// A byte range inside a record's storage.
struct ByteRange {
  int32_t offset = 0;
  int32_t length = 0;
  bool present = false;
};

// One variable-length value or sparse value.
struct ValueItem {
  int32_t id = -1;  // sparse column id; -1 otherwise
  ByteRange range;  // no bytes when !range.present
  bool complex = false;
  bool empty = false;  // a value of no bytes (its end offset is the previous one)
};

// Compressed layout: one entry per stored column, filled by the
// reconstruction: NULL mark and, for values laid out in the rebuilt fixed
// data, where they lie there (offset -1 when the column took no room).
struct CompressedColumnEntry {
  bool isNull = false;
  int32_t length = 0;
  int32_t offset = -1;
};

class CPrimaryRecord : public CRecord {
 public:
  ~CPrimaryRecord() override;

  // Accessors: empty spans when the part is absent.
  ByteSpan FixedData() const;
  ByteSpan NullBitmap() const;
  ByteSpan Bytes(const ValueItem& item) const;
  ByteSpan WholeRecord() const;
  // Bit k of the null bitmap (least significant bit first); false without a
  // bitmap or beyond it.
  bool NullBit(int k) const;

  // Stores bytes in the record and returns their range (used by the
  // compressed-record reconstruction to replace values).
  ByteRange Append(ByteSpan bytes);

  std::vector<uint8_t> storage;  // owned copy of every byte range below
  ByteRange fixed;
  int16_t fixedLength = 0;
  int16_t columnCount = 0;
  ByteRange nullBitmap;
  int16_t variableCount = 0;
  std::vector<uint16_t> variableEnds;  // bit 15 cleared
  std::vector<ValueItem> values;
  bool hasSparseVector = false;
  std::vector<ValueItem> sparse;
  ByteRange whole;  // record start to the end of its last parsed value

  // Page context (not owned).
  const CPage_Header* header = nullptr;
  DatabaseReader* reader = nullptr;
  uint16_t lengthLimit = 0;

  // Compressed layout only.
  std::vector<int32_t> descriptorCodes;
  struct LongEntry {
    uint16_t end = 0;
    bool complex = false;
  };
  std::vector<LongEntry> longEntries;
  int32_t longValueCount = 0;
  std::vector<CompressedColumnEntry> columnEntries;

  // A forwarded record whose forwarding stub still names it: its row comes
  // back through the stub, so readers of rows skip it here.
  bool returnedThroughStub = false;

  // Set by the row decoder for the value formatters and large-value reader.
  bool binaryFlag = false;
  bool variantFlag = false;
  bool unicodeFlag = false;
};

// What a parse needs besides the bytes: the page the record lies on and the
// options that decide which kinds are accepted.
struct RecordContext {
  const RecordPage& page;
  const ReadContext& context;
  int forwardHops = 0;
};

// Parses the record at page offset `offset`, allowed to span `limit` bytes.
// Never fails: an unusable record comes back marked invalid.
std::unique_ptr<CPrimaryRecord> ParseRecord(const RecordContext& ctx, int offset, int limit);

// Parses the anchor record of a page's compression information: taken as
// compressed whatever its status byte says, every kind accepted.
std::unique_ptr<CPrimaryRecord> ParseAnchorRecord(const RecordContext& ctx, int offset, int limit);

// Length of the classic record at `offset` (limit 8060), or -1 when it is
// not a measurable classic record (compressed, a stub, a rejected kind, a
// column count outside 1..1023).
int MeasureRecord(const RecordContext& ctx, int offset);

// True when records of this page may be parsed at all (page number not
// negative, page type known).
bool PageAcceptsRecords(const CPage_Header& header);

}  // namespace pagewright

#endif  // PAGEWRIGHT_RECORDS_RECORD_H_
