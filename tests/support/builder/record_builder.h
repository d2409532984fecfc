// Writes records in the classic and the compressed (column-descriptor)
// layouts, forwarding stubs and sparse vectors.
#ifndef PAGEWRIGHT_TESTS_SUPPORT_BUILDER_RECORD_BUILDER_H_
#define PAGEWRIGHT_TESTS_SUPPORT_BUILDER_RECORD_BUILDER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "pagestore/page_id.h"

namespace pagewright::build {

using Bytes = std::vector<uint8_t>;

// Little-endian bytes of an integer.
template <typename T>
Bytes LE(T value) {
  Bytes out(sizeof(T));
  for (size_t i = 0; i < sizeof(T); ++i) out[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
  return out;
}
Bytes Utf16(const std::u16string& text);
Bytes Ascii(const std::string& text);
Bytes Concat(std::initializer_list<Bytes> parts);

// A classic record: status bytes, fixed part, column count, null bitmap,
// variable-length values.
class RecordBuilder {
 public:
  explicit RecordBuilder(int kind = 0) : kind_(kind) {}

  RecordBuilder& Kind(int kind);
  RecordBuilder& Fixed(const Bytes& bytes);  // appended to the fixed part
  template <typename T>
  RecordBuilder& FixedLE(T value) {
    return Fixed(LE(value));
  }
  // Total column count (fixed + variable); defaults to the number of fixed
  // fields added plus the variable values.
  RecordBuilder& Columns(int16_t count);
  RecordBuilder& Null(int column);  // 0-based null bit
  RecordBuilder& WithoutNullBitmap();
  RecordBuilder& Variable(const Bytes& value, bool complex = false);
  // Overrides a raw field after building, for malformed records.
  RecordBuilder& StatusByte(uint8_t status);
  RecordBuilder& FixedEnd(int16_t f);        // the i16 at offset 2
  RecordBuilder& VariableCount(int16_t v);  // the stored variable count

  Bytes Build() const;

 private:
  int kind_;
  Bytes fixed_;
  int fixedFields_ = 0;
  int16_t columns_ = -1;
  std::vector<int> nulls_;
  bool bitmap_ = true;
  std::vector<std::pair<Bytes, bool>> variable_;
  int statusOverride_ = -1;
  int fixedEndOverride_ = -1;
  int variableCountOverride_ = -1;
};

// A forwarding stub pointing at (page, slot).
Bytes ForwardingStub(PageId target, int16_t slot);

// The back pointer a forwarded record carries to its stub at (page, slot):
// u16 1024, then the stub's page number, file id and slot.
Bytes BackPointer(PageId stub, int16_t slot);
// A classic record turned into a forwarded record (kind 1): its kind set and
// the back pointer appended as a further complex variable-length value.
Bytes AsForwardedRecord(const Bytes& classicRecord, PageId stub, int16_t slot);

// A sparse column vector holding (column id, value) pairs.
Bytes SparseVector(const std::vector<std::pair<uint16_t, Bytes>>& values);

// A compressed (column-descriptor) record.
class CompressedRecordBuilder {
 public:
  explicit CompressedRecordBuilder(int kind = 0) : kind_(kind) {}
  CompressedRecordBuilder& Null();
  CompressedRecordBuilder& Empty();
  CompressedRecordBuilder& Short(const Bytes& value);  // 1 to 8 bytes
  CompressedRecordBuilder& Long(const Bytes& value, bool complex = false);
  CompressedRecordBuilder& Symbol(uint8_t dictionaryIndex);
  CompressedRecordBuilder& Code(int code);  // a raw descriptor code, no data
  Bytes Build() const;

 private:
  int kind_;
  std::vector<int> codes_;
  Bytes short_;
  std::vector<std::pair<Bytes, bool>> long_;
};

}  // namespace pagewright::build

#endif  // PAGEWRIGHT_TESTS_SUPPORT_BUILDER_RECORD_BUILDER_H_
