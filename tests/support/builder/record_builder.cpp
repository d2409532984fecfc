#include "support/builder/record_builder.h"

namespace pagewright::build {

Bytes Utf16(const std::u16string& text) {
  Bytes out;
  for (char16_t u : text) {
    out.push_back(static_cast<uint8_t>(u & 0xFF));
    out.push_back(static_cast<uint8_t>(u >> 8));
  }
  return out;
}

Bytes Ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

RecordBuilder& RecordBuilder::Kind(int kind) {
  kind_ = kind;
  return *this;
}
RecordBuilder& RecordBuilder::Fixed(const Bytes& bytes) {
  fixed_.insert(fixed_.end(), bytes.begin(), bytes.end());
  ++fixedFields_;
  return *this;
}
RecordBuilder& RecordBuilder::Columns(int16_t count) {
  columns_ = count;
  return *this;
}
RecordBuilder& RecordBuilder::Null(int column) {
  nulls_.push_back(column);
  return *this;
}
RecordBuilder& RecordBuilder::WithoutNullBitmap() {
  bitmap_ = false;
  return *this;
}
RecordBuilder& RecordBuilder::Variable(const Bytes& value, bool complex) {
  variable_.emplace_back(value, complex);
  return *this;
}
RecordBuilder& RecordBuilder::StatusByte(uint8_t status) {
  statusOverride_ = status;
  return *this;
}
RecordBuilder& RecordBuilder::FixedEnd(int16_t f) {
  fixedEndOverride_ = f;
  return *this;
}
RecordBuilder& RecordBuilder::VariableCount(int16_t v) {
  variableCountOverride_ = v;
  return *this;
}

Bytes RecordBuilder::Build() const {
  int16_t columns = columns_ >= 0 ? columns_ : static_cast<int16_t>(fixedFields_ + static_cast<int>(variable_.size()));
  uint8_t status = static_cast<uint8_t>((kind_ & 7) << 1);
  if (bitmap_) status |= 0x10;
  if (!variable_.empty()) status |= 0x20;
  Bytes r = {statusOverride_ >= 0 ? static_cast<uint8_t>(statusOverride_) : status, 0};
  auto f = static_cast<int16_t>(4 + fixed_.size());
  Bytes fe = LE<int16_t>(fixedEndOverride_ >= 0 ? static_cast<int16_t>(fixedEndOverride_) : f);
  r.insert(r.end(), fe.begin(), fe.end());
  r.insert(r.end(), fixed_.begin(), fixed_.end());
  Bytes c = LE<int16_t>(columns);
  r.insert(r.end(), c.begin(), c.end());
  if (bitmap_) {
    Bytes bitmap(static_cast<size_t>((columns + 7) / 8), 0);
    for (int n : nulls_) bitmap[static_cast<size_t>(n / 8)] |= static_cast<uint8_t>(1u << (n % 8));
    r.insert(r.end(), bitmap.begin(), bitmap.end());
  }
  if (!variable_.empty()) {
    auto v = static_cast<int16_t>(variable_.size());
    Bytes vc = LE<int16_t>(variableCountOverride_ >= 0 ? static_cast<int16_t>(variableCountOverride_) : v);
    r.insert(r.end(), vc.begin(), vc.end());
    size_t end = r.size() + 2 * variable_.size();
    for (const auto& [value, complex] : variable_) {
      end += value.size();
      Bytes e = LE<uint16_t>(static_cast<uint16_t>(end | (complex ? 0x8000 : 0)));
      r.insert(r.end(), e.begin(), e.end());
    }
    for (const auto& [value, complex] : variable_) r.insert(r.end(), value.begin(), value.end());
  }
  return r;
}

Bytes ForwardingStub(PageId target, int16_t slot) {
  Bytes r = {static_cast<uint8_t>(2 << 1)};
  Bytes page = LE<int32_t>(target.page), file = LE<uint16_t>(static_cast<uint16_t>(target.fileId)),
        s = LE<int16_t>(slot);
  r.insert(r.end(), page.begin(), page.end());
  r.insert(r.end(), file.begin(), file.end());
  r.insert(r.end(), s.begin(), s.end());
  return r;
}

Bytes BackPointer(PageId stub, int16_t slot) {
  return Concat({LE<uint16_t>(1024), LE<int32_t>(stub.page), LE<uint16_t>(static_cast<uint16_t>(stub.fileId)),
                 LE<int16_t>(slot)});
}

Bytes AsForwardedRecord(const Bytes& classicRecord, PageId stub, int16_t slot) {
  Bytes r = classicRecord;
  const Bytes back = BackPointer(stub, slot);
  r[0] = static_cast<uint8_t>((r[0] & ~0x0E) | (1 << 1));
  size_t f = static_cast<size_t>(r[2] | (r[3] << 8));
  size_t columns = static_cast<size_t>(r[f] | (r[f + 1] << 8));
  size_t cursor = f + 2 + ((r[0] & 0x10) ? (columns + 7) / 8 : 0);
  if ((r[0] & 0x20) == 0) {  // no variable part yet: count 0 at the cursor
    r[0] |= 0x20;
    r.resize(cursor);
    Bytes zero = LE<int16_t>(0);
    r.insert(r.end(), zero.begin(), zero.end());
  }
  const size_t count = static_cast<size_t>(r[cursor] | (r[cursor + 1] << 8));
  const size_t ends = cursor + 2;
  // Every value moves two bytes on to make room for one more end offset.
  for (size_t k = 0; k < count; ++k) {
    size_t at = ends + 2 * k;
    uint16_t e = static_cast<uint16_t>(r[at] | (r[at + 1] << 8));
    e = static_cast<uint16_t>((e & 0x8000) | ((e & 0x7FFF) + 2));
    r[at] = static_cast<uint8_t>(e);
    r[at + 1] = static_cast<uint8_t>(e >> 8);
  }
  Bytes c = LE<int16_t>(static_cast<int16_t>(count + 1));
  r[cursor] = c[0];
  r[cursor + 1] = c[1];
  Bytes end = LE<uint16_t>(static_cast<uint16_t>((r.size() + 2 + back.size()) | 0x8000));
  r.insert(r.begin() + static_cast<long>(ends + 2 * count), end.begin(), end.end());
  r.insert(r.end(), back.begin(), back.end());
  return r;
}

Bytes SparseVector(const std::vector<std::pair<uint16_t, Bytes>>& values) {
  auto n = static_cast<uint16_t>(values.size());
  Bytes r = Concat({LE<uint16_t>(5), LE<int16_t>(static_cast<int16_t>(n))});
  for (const auto& [id, v] : values) {
    Bytes i = LE<uint16_t>(id);
    r.insert(r.end(), i.begin(), i.end());
  }
  size_t end = 4 + 4 * values.size();
  for (const auto& [id, v] : values) {
    end += v.size();
    Bytes e = LE<uint16_t>(static_cast<uint16_t>(end));
    r.insert(r.end(), e.begin(), e.end());
  }
  for (const auto& [id, v] : values) r.insert(r.end(), v.begin(), v.end());
  return r;
}

CompressedRecordBuilder& CompressedRecordBuilder::Null() { return Code(0); }
CompressedRecordBuilder& CompressedRecordBuilder::Empty() { return Code(1); }
CompressedRecordBuilder& CompressedRecordBuilder::Short(const Bytes& value) {
  codes_.push_back(static_cast<int>(value.size()) + 1);
  short_.insert(short_.end(), value.begin(), value.end());
  return *this;
}
CompressedRecordBuilder& CompressedRecordBuilder::Long(const Bytes& value, bool complex) {
  codes_.push_back(10);
  long_.emplace_back(value, complex);
  return *this;
}
CompressedRecordBuilder& CompressedRecordBuilder::Symbol(uint8_t index) {
  codes_.push_back(12);
  short_.push_back(index);
  return *this;
}
CompressedRecordBuilder& CompressedRecordBuilder::Code(int code) {
  codes_.push_back(code);
  return *this;
}

Bytes CompressedRecordBuilder::Build() const {
  const int c = static_cast<int>(codes_.size());
  uint8_t status = static_cast<uint8_t>(0x01 | ((kind_ & 7) << 1));
  if (!long_.empty()) status |= 0x20;
  Bytes r = {status};
  if (c < 0x80) {
    r.push_back(static_cast<uint8_t>(c));
  } else {  // two bytes as stored, high bit of the first set
    Bytes count = LE<uint16_t>(static_cast<uint16_t>(c));
    r.insert(r.end(), count.begin(), count.end());
  }
  for (int i = 0; i < c; i += 2) {
    int lo = codes_[static_cast<size_t>(i)];
    int hi = i + 1 < c ? codes_[static_cast<size_t>(i + 1)] : 0;
    r.push_back(static_cast<uint8_t>(lo | (hi << 4)));
  }
  r.insert(r.end(), static_cast<size_t>((c - 1) / 30), 0);  // short data clusters
  r.insert(r.end(), short_.begin(), short_.end());
  if (!long_.empty()) {
    r.push_back(0x01);
    Bytes n = LE<uint16_t>(static_cast<uint16_t>(long_.size()));
    r.insert(r.end(), n.begin(), n.end());
    uint16_t end = 0;
    for (const auto& [v, complex] : long_) {
      end = static_cast<uint16_t>(end + v.size());
      Bytes e = LE<uint16_t>(static_cast<uint16_t>(end | (complex ? 0x8000 : 0)));
      r.insert(r.end(), e.begin(), e.end());
    }
    r.insert(r.end(), static_cast<size_t>((c - 1) / 30), 0);
    for (const auto& [v, complex] : long_) r.insert(r.end(), v.begin(), v.end());
  }
  return r;
}

}  // namespace pagewright::build
