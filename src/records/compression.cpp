#include "records/compression.h"

#include <algorithm>
#include <cstring>

#include "pagestore/text_codec.h"
#include "records/column_descriptor.h"
#include "records/scsu.h"
#include "records/value_format.h"

namespace pagewright {

namespace {

constexpr uint8_t kHasAnchor = 0x02;
constexpr uint8_t kHasDictionary = 0x04;
constexpr int kDictionaryBound = 4096;

const std::vector<ColumnDescriptor>* DecodeColumns(const ReadContext& context) {
  return context.columns ? &context.columns->columns : nullptr;
}

bool IsNumeric(int32_t typeIndex) {
  switch (typeIndex) {
    case kTypeBigint:
    case kTypeDatetime:
    case kTypeInt:
    case kTypeSmallint:
    case kTypeMoney:
    case kTypeSmallmoney: return true;
    default: return false;
  }
}

bool IsUnicode(int32_t typeIndex) { return typeIndex == kTypeNchar || typeIndex == kTypeNvarchar; }

// UTF-16LE bytes of an SCSU-compressed value.
std::vector<uint8_t> ScsuToUtf16(ByteSpan stored) {
  std::u16string units = Utf8ToUtf16(DecodeScsu(stored));
  std::vector<uint8_t> out(units.size() * 2);
  for (size_t i = 0; i < units.size(); ++i) {
    out[2 * i] = static_cast<uint8_t>(units[i] & 0xFF);
    out[2 * i + 1] = static_cast<uint8_t>(units[i] >> 8);
  }
  return out;
}

void FillAnchorValues(PrimaryRecordPage& page, const ReadContext& context) {
  auto& info = page.compression;
  const auto* columns = DecodeColumns(context);
  if (columns == nullptr || !info.anchorRecord) return;
  const auto& anchor = static_cast<const CPrimaryRecord&>(*info.anchorRecord);
  ByteSpan shortData = anchor.FixedData();
  size_t cursor = 0;
  size_t longIndex = 0;
  const size_t count = std::min({static_cast<size_t>(std::max<int16_t>(anchor.columnCount, 0)), columns->size(),
                                 anchor.descriptorCodes.size()});
  for (size_t b = 0; b < count && !context.StopRequested(); ++b) {
    int code = anchor.descriptorCodes[b];
    CompressedValue value;  // length 0: no anchor value for this column
    if (code == 0) {
      value.length = -2;
    } else if (code == 1) {
      value.length = -1;
    } else if (code >= 2 && code <= 9) {
      size_t n = static_cast<size_t>(code - 1);
      if (cursor + n <= shortData.size()) {
        value.bytes.assign(shortData.begin() + static_cast<long>(cursor), shortData.begin() + static_cast<long>(cursor + n));
        value.length = static_cast<int32_t>(n);
      }
      cursor += n;
    } else if (code == 10 && longIndex < anchor.values.size()) {
      ByteSpan bytes = anchor.Bytes(anchor.values[longIndex++]);
      value.bytes.assign(bytes.begin(), bytes.end());
      value.length = static_cast<int32_t>(bytes.size());
    }
    info.anchorValues.push_back(std::move(value));
  }
}

}  // namespace

void DecodeCompressedInteger(ByteSpan stored, uint8_t* out, int width) {
  uint8_t little[8];
  size_t n = std::min<size_t>(stored.size(), 8);
  bool negative = n > 0 && (stored[0] & 0x80) == 0;
  std::memset(little, negative ? 0xFF : 0x00, sizeof little);
  for (size_t i = 0; i < n; ++i) {
    uint8_t b = stored[i];
    if (i == 0) b ^= 0x80;
    little[n - 1 - i] = b;
  }
  std::memcpy(out, little, static_cast<size_t>(std::clamp(width, 0, 8)));
}

void ReadCompressionInformation(PrimaryRecordPage& page, const ReadContext& context) {
  if ((page.header.typeFlagBits & kTypeFlagCompressed) == 0) return;
  auto& info = page.compression;
  ByteSpan p = page.page();
  info.header.assign(p.begin() + kCompressionInfoOffset, p.begin() + kCompressionInfoOffset + 7);
  const uint8_t h = p[kCompressionInfoOffset];
  const int d = U16At(p, 99);
  const int a = U16At(p, 101);
  if (a == 0) return;
  info.hasAnchor = (h & kHasAnchor) != 0;
  info.hasDictionary = (h & kHasDictionary) != 0;
  if (!info.hasAnchor && !info.hasDictionary) return;
  RecordContext ctx{page, context, 0};
  if (info.hasDictionary) {
    // A page whose values share no prefix may carry a dictionary without an
    // anchor record: its symbols still need the dictionary.
    if (info.hasAnchor) info.anchorRecord = ParseAnchorRecord(ctx, 103, a);
    const bool anchorUsable = !info.anchorRecord || !info.anchorRecord->invalid;
    if (anchorUsable && d > 0 && d < a && a < kDictionaryBound && kCompressionInfoOffset + d < kDictionaryBound) {
      const int start = kCompressionInfoOffset + d;
      const int count = U16At(p, start);
      std::vector<int> ends;
      for (int k = 0; k < count; ++k) {
        int end = U16At(p, start + 2 + 2 * k);
        if (end > kDictionaryBound) break;
        ends.push_back(end);
      }
      int data = start + 2 + 2 * count;
      int e = 2 * count + 2;
      for (int end : ends) {
        int length = end - e;
        CompressedValue entry;  // an unreadable entry keeps its place, empty
        if (length > 0 && length < a && data < kDictionaryBound && data + length <= kPageSize) {
          entry.bytes.assign(p.begin() + data, p.begin() + data + length);
          entry.length = length;
          data += length;
        }
        info.dictionary.push_back(std::move(entry));
        e += std::max(length, 0);
      }
    }
  } else if (!context.legacyCatalog) {
    info.anchorRecord = ParseAnchorRecord(ctx, 101, a);
  }
  if (info.anchorRecord && !info.anchorRecord->invalid && !context.legacyCatalog) FillAnchorValues(page, context);
}

namespace {

// Row compression stores char and nchar values without their trailing
// spaces and binary values without their trailing zeros; the rebuild puts
// the padding back so a value reads as the classic record holds it.
enum class Padding { kZero, kSpace, kUnicodeSpace };

Padding PaddingOf(int32_t typeIndex) {
  if (typeIndex == kTypeChar) return Padding::kSpace;
  if (typeIndex == kTypeNchar) return Padding::kUnicodeSpace;
  return Padding::kZero;
}

// The room a thread rebuilds its records in, kept from record to record.
std::vector<uint8_t>& RebuildBuffer() {
  thread_local std::vector<uint8_t> buffer;
  buffer.clear();
  return buffer;
}

// Writes the columns of one compressed record into a growing buffer, in
// the order their values are stored: fixed-length columns take their type's
// width, variable-length ones (and max types) their value's length. Each
// column entry records where its value lies.
class Rebuild {
 public:
  Rebuild(CPrimaryRecord& record, const PrimaryRecordPage& page, const std::vector<ColumnDescriptor>& columns,
          const ReadContext& context)
      : r_(record), page_(page), columns_(columns), context_(context) {}

  void Run();

 private:
  struct Column {
    int32_t width = 0;  // W: the value length of the column's type layout
    int32_t type = 0;
    const std::string* typeText = nullptr;  // its declared length is read only when a value is cut to it
    bool variable = false;  // a variable-length column: laid out at its value's length
    const CompressedValue* anchor = nullptr;
  };
  Column Describe(size_t descriptor, size_t stored) const;
  // Lays `value` out at w over `width` bytes (padded or cut) and advances;
  // false when the record would grow past its bound.
  bool Place(size_t entry, ByteSpan value, int64_t width, Padding padding);
  // A complete value (anchor prefix already applied): integers decoded,
  // Unicode text decompressed, the rest as stored.
  bool Whole(size_t entry, const Column& c, ByteSpan value, bool declaredCut);
  bool ShortValue(size_t entry, const Column& c, ByteSpan v);
  void LongValue(const Column& c, size_t& k);

  CPrimaryRecord& r_;
  const PrimaryRecordPage& page_;
  const std::vector<ColumnDescriptor>& columns_;
  const ReadContext& context_;
  std::vector<uint8_t>& buffer_ = RebuildBuffer();
  int64_t w_ = 0;
};

Rebuild::Column Rebuild::Describe(size_t descriptor, size_t stored) const {
  Column c;
  BitCursor bits;
  TypeLayout layout = ComputeTypeLayout(columns_[descriptor], bits, columns_[descriptor].typeIndex);
  c.width = layout.valueLength;
  c.type = columns_[descriptor].typeIndex;
  c.typeText = &columns_[descriptor].typeText;
  c.variable = layout.isVariable != 0;
  const auto& anchors = page_.compression.anchorValues;
  if (stored < anchors.size() && anchors[stored].length > 0) c.anchor = &anchors[stored];
  return c;
}

bool Rebuild::Place(size_t entry, ByteSpan value, int64_t width, Padding padding) {
  if (width < 0) width = 0;
  if (w_ + width > kMaxRebuiltFixedData) return false;
  buffer_.resize(static_cast<size_t>(w_ + width), 0);
  size_t n = std::min<size_t>(value.size(), static_cast<size_t>(width));
  uint8_t* at = buffer_.data() + w_;
  if (n > 0) std::memcpy(at, value.data(), n);
  for (size_t i = n; i < static_cast<size_t>(width) && padding != Padding::kZero; ++i) {
    at[i] = padding == Padding::kSpace || i % 2 == 0 ? 0x20 : 0x00;
  }
  r_.columnEntries[entry].offset = static_cast<int32_t>(w_);
  r_.columnEntries[entry].length = static_cast<int32_t>(width);
  w_ += width;
  return true;
}

bool Rebuild::Whole(size_t entry, const Column& c, ByteSpan value, bool declaredCut) {
  if (IsNumeric(c.type)) {
    uint8_t little[8];
    int32_t width = std::clamp(c.width, 0, 8);
    DecodeCompressedInteger(value, little, 8);
    return Place(entry, ByteSpan(little, static_cast<size_t>(width)), c.width, Padding::kZero);
  }
  std::vector<uint8_t> text;
  if (IsUnicode(c.type) && value.size() % 2 == 1) {
    text = ScsuToUtf16(value);
    value = text;
  }
  // A variable-length value keeps its own length: its column entry names
  // exactly the value's bytes, with no padding to the declared maximum.
  if (c.width <= 0 || c.variable) return Place(entry, value, static_cast<int64_t>(value.size()), Padding::kZero);
  const int32_t declared = declaredCut ? DeclaredLengthOf(*c.typeText) : 0;
  int32_t width = declared > 0 && declared < c.width ? declared : c.width;
  return Place(entry, value, width, PaddingOf(c.type));
}

bool Rebuild::ShortValue(size_t entry, const Column& c, ByteSpan v) {
  const size_t n = v.size();
  if (c.anchor && n >= 1 && v[0] <= static_cast<size_t>(c.anchor->length)) {
    // The prefix shared with the anchor value, then the bytes after v's
    // first (zeros when they would run past the column's width); on the
    // stack for the usual short values.
    const size_t p = v[0];
    const size_t size = p + n - 1;
    uint8_t small[320];
    std::vector<uint8_t> large;
    uint8_t* value = small;
    if (size > sizeof small) {
      large.resize(size);
      value = large.data();
    }
    if (p > 0) std::memcpy(value, c.anchor->bytes.data(), p);
    if (IsNumeric(c.type) || n <= 1 || c.width <= 0 || static_cast<int64_t>(size) <= c.width) {
      if (n > 1) std::memcpy(value + p, v.data() + 1, n - 1);
    } else {
      std::memset(value + p, 0, n - 1);
    }
    return Whole(entry, c, ByteSpan(value, size), false);
  }
  return Whole(entry, c, v, true);
}

void Rebuild::LongValue(const Column& c, size_t& k) {
  if (k >= r_.values.size()) return;
  ValueItem& item = r_.values[k++];
  ByteSpan v = r_.Bytes(item);
  std::vector<uint8_t> value(v.begin(), v.end());
  bool changed = false;
  if (c.anchor && !value.empty()) {
    size_t p = value[0];
    size_t n = value.size();
    // A value may fill its column: p + n - 1 bytes up to W.
    if (p <= static_cast<size_t>(c.anchor->length) && (c.width <= 0 || static_cast<int64_t>(p + n - 1) <= c.width)) {
      std::vector<uint8_t> expanded(c.anchor->bytes.begin(), c.anchor->bytes.begin() + static_cast<long>(p));
      expanded.insert(expanded.end(), value.begin() + 1, value.end());
      value = std::move(expanded);
      changed = true;
    }
  }
  // A complex value points to the value elsewhere: neither text nor padded.
  if (!item.complex && IsUnicode(c.type) && value.size() % 2 == 1) {
    value = ScsuToUtf16(value);
    changed = true;
  }
  const Padding padding = PaddingOf(c.type);
  const bool padded = padding != Padding::kZero || c.type == kTypeBinary;
  if (!item.complex && padded && !c.variable && c.width > 0 && value.size() < static_cast<size_t>(c.width)) {
    const size_t from = value.size();
    value.resize(static_cast<size_t>(c.width), 0);
    for (size_t i = from; i < value.size() && padding != Padding::kZero; ++i) {
      value[i] = padding == Padding::kSpace || i % 2 == 0 ? 0x20 : 0x00;
    }
    changed = true;
  }
  if (changed) item.range = r_.Append(value);
}

// The record order of the stored columns, kept per thread while the
// columns' physical ids stay as they were (the row decoder corrects them
// between pages): every record of a table asks for it.
const std::vector<size_t>& CachedStoredOrder(const std::vector<ColumnDescriptor>& columns) {
  struct Kept {
    const std::vector<ColumnDescriptor>* columns = nullptr;
    std::vector<int32_t> physicalIds;
    std::vector<size_t> order;
  };
  thread_local Kept kept;
  bool same = kept.columns == &columns && kept.physicalIds.size() == columns.size();
  for (size_t i = 0; same && i < columns.size(); ++i) same = kept.physicalIds[i] == columns[i].physicalColumnId;
  if (!same) {
    kept.columns = &columns;
    kept.physicalIds.resize(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) kept.physicalIds[i] = columns[i].physicalColumnId;
    kept.order = StoredColumnOrder(columns);
  }
  return kept.order;
}

void Rebuild::Run() {
  r_.columnEntries.clear();
  // The short data is read while long values are appended to the record's
  // storage, which may move it: a copy, in room this thread keeps.
  thread_local std::vector<uint8_t> shortCopy;
  shortCopy.assign(r_.FixedData().begin(), r_.FixedData().end());
  const ByteSpan shortData = shortCopy;
  size_t s = 0;
  size_t k = 0;
  const std::vector<size_t>& order = CachedStoredOrder(columns_);
  const size_t count = std::min({static_cast<size_t>(std::max<int16_t>(r_.columnCount, 0)),
                                 r_.descriptorCodes.size(), order.size()});
  const auto& dictionary = page_.compression.dictionary;
  r_.columnEntries.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const int code = r_.descriptorCodes[i];
    r_.columnEntries.push_back({code == 0, 0, -1});
    const Column c = Describe(order[i], i);
    bool fits = true;
    if (code == 1) {
      if (c.anchor) fits = Whole(i, c, c.anchor->bytes, true);
    } else if (code >= 2 && code <= 9) {
      size_t n = static_cast<size_t>(code - 1);
      if (!shortData.empty()) {
        ByteSpan v = s + n <= shortData.size() ? shortData.subspan(s, n) : ByteSpan();
        s += n;
        if (!v.empty()) fits = ShortValue(i, c, v);
      }
    } else if (code == 10) {
      LongValue(c, k);
    } else if (code == 11) {
      // A bit column whose value is 1 stores nothing but its code.
      static constexpr uint8_t kOne = 1;
      if (c.type == kTypeBit) fits = Place(i, ByteSpan(&kOne, 1), 1, Padding::kZero);
    } else if (code == 12 && !shortData.empty()) {
      size_t d = s < shortData.size() ? shortData[s] : dictionary.size();
      s += 1;
      // Any entry that was read: repeated values longer than eight bytes
      // are dictionary entries as much as short ones.
      if (d < dictionary.size() && dictionary[d].length >= 1) fits = ShortValue(i, c, dictionary[d].bytes);
    }
    if (!fits || context_.StopRequested()) break;
  }
  r_.fixed = r_.Append(buffer_);
  r_.fixedLength = static_cast<int16_t>(std::min<int64_t>(w_, 32767));
}

}  // namespace

void ReconstructCompressedRecord(CPrimaryRecord& record, const PrimaryRecordPage& page, const ReadContext& context) {
  // Ghost data records are parsed only when deleted rows are shown: they
  // are rebuilt like live ones, or their values would be lost. Forwarded
  // records hold whole rows too (the back pointer after the last column is
  // left out of the rebuilt columns).
  const int32_t kind = record.status.kind;
  if (kind != kPrimaryRecord && kind != kForwardedRecord && kind != kIndexRecord && kind != kGhostDataRecord) return;
  const auto* columns = DecodeColumns(context);
  if (columns == nullptr) {
    record.columnEntries.clear();
    record.fixed = ByteRange{static_cast<int32_t>(record.storage.size()), 0, true};
    record.fixedLength = 0;
    return;
  }
  Rebuild(record, page, *columns, context).Run();
}

}  // namespace pagewright
