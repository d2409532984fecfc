#include "records/large_value.h"

#include <set>
#include <tuple>

#include "pagestore/text_codec.h"
#include "records/value_format.h"

namespace pagewright {

TextRecord::~TextRecord() = default;

std::unique_ptr<TextRecord> ParseTextRecord(const TextMixPage& page, size_t slot) {
  if (!page.slotTable) return nullptr;
  const auto& slots = *page.slotTable;
  const size_t n = std::min<size_t>(static_cast<size_t>(std::max<int16_t>(page.header.slotCount, 0)), slots.size());
  if (slot >= n) return nullptr;
  const int o = slots[slot];
  if (o > kPageSize) return nullptr;
  auto r = std::make_unique<TextRecord>();
  ByteSpan p = SubSpan(page.page(), o, kPageSize - o);
  r->status = DecodeRecordStatus(U8At(p, 0));
  const int limit = kPageSize - o;
  const int f = I16At(p, 2);
  const int fixedLength = f - 4;
  if (fixedLength > 0 && fixedLength < limit) {
    ByteSpan data = SubSpan(p, 4, fixedLength);
    if (!data.empty()) {
      r->data.assign(data.begin(), data.end());
      r->hasData = true;
    }
  }
  if (fixedLength >= 10) {
    r->structureType = I16At(p, 4 + 8);
    r->payloadLength = f - 14;
  } else {
    r->structureType = 8;
    r->payloadLength = fixedLength;
  }
  return r;
}

void BuildTextMixPage(TextMixPage& page, const ReadContext& context) {
  if (!page.slotTable) return;
  const size_t n = std::min<size_t>(static_cast<size_t>(std::max<int16_t>(page.header.slotCount, 0)),
                                    page.slotTable->size());
  for (size_t i = 0; i < n && !context.StopRequested(); ++i) page.records.push_back(ParseTextRecord(page, i));
}

namespace {

// Follows the links of one value, collecting its bytes. Every (page, slot)
// is visited once, links are followed to a bounded depth and the value is
// cut at kMaxLargeValueBytes, so damaged structures cannot loop or grow
// without end.
class Gatherer {
 public:
  Gatherer(DatabaseReader& reader, const ReadContext& context) : reader_(reader), context_(context) {}

  void Structure(ByteSpan g, int32_t n, int depth);
  void Link(PageId page, int slot, int depth);
  std::vector<uint8_t> bytes;

 private:
  void Append(ByteSpan data) {
    if (LargeValueBudget* budget = context_.largeValueBudget) {
      if (budget->exceeded || data.size() > budget->left) {
        budget->exceeded = true;
        return;
      }
      budget->left -= data.size();
    }
    size_t room = kMaxLargeValueBytes - std::min(bytes.size(), kMaxLargeValueBytes);
    size_t take = std::min(room, data.size());
    bytes.insert(bytes.end(), data.begin(), data.begin() + static_cast<long>(take));
    if (take < data.size()) {
      if (!cut_) context_.Report(DamageReason::kValueCut, pageId_.fileId, pageId_.page, -1, -1,
                                 static_cast<int64_t>(data.size() - take));
      cut_ = true;
    }
  }
  std::unique_ptr<TextRecord> RecordOf(PageId page, int slot);

  DatabaseReader& reader_;
  const ReadContext& context_;
  bool cut_ = false;
  std::set<std::tuple<int16_t, int32_t, int>> visited_;
  std::shared_ptr<const TextMixPage> page_;  // the page read last
  PageId pageId_{0, 0};
};

std::unique_ptr<TextRecord> Gatherer::RecordOf(PageId id, int slot) {
  if (!page_ || id != pageId_) {
    page_ = reader_.ReadTextMixPage(context_, id);
    pageId_ = id;
  }
  if (!page_ || slot < 0) return nullptr;
  return ParseTextRecord(*page_, static_cast<size_t>(slot));
}

void Gatherer::Link(PageId page, int slot, int depth) {
  if (depth > kMaxLobDepth || context_.StopRequested() || context_.OverBudget()) return;
  if (!visited_.insert({page.fileId, page.page, slot}).second) return;
  // The record owns a copy of its bytes: the page may be replaced while the
  // structure is followed.
  const std::unique_ptr<TextRecord> r = RecordOf(page, slot);
  if (r == nullptr || !r->hasData) {
    context_.Report(DamageReason::kLargeValueSkipped, page.fileId, page.page, slot);
    return;
  }
  Structure(r->data, r->payloadLength, depth + 1);
}

void Gatherer::Structure(ByteSpan g, int32_t n, int depth) {
  if (g.empty() || bytes.size() >= kMaxLargeValueBytes) return;
  // The type is read whenever the structure's bytes hold it: the last data
  // fragment of a value, and the small root of a value of up to three
  // bytes, carry fewer than 10 bytes of payload, and those bytes are the
  // value's.
  int32_t type = g.size() < 10 ? static_cast<int32_t>(kNoStructure) : I16At(g, 8);
  if (type == 4 || type == 6) type = kLargeRoot;
  switch (type) {
    case kSmallRoot: {
      int32_t m = I16At(g, 10);
      if (m < 1 || m > kPageSize) return;
      Append(SubSpan(g, 16, std::min<int64_t>(m, static_cast<int64_t>(g.size()) - 16)));
      return;
    }
    case kInternalNode: {
      int32_t count = I16At(g, 12);
      for (int32_t k = 0; k < count && 16 + 16 * (k + 1) <= static_cast<int64_t>(g.size()); ++k) {
        int64_t at = 16 + 16 * k;
        Link(PageId{static_cast<int16_t>(U16At(g, at + 12)), I32At(g, at + 8)}, I16At(g, at + 14), depth);
      }
      return;
    }
    case kDataFragment:
      if (n >= 1 && n <= kPageSize) Append(SubSpan(g, 10, std::min<int64_t>(n, static_cast<int64_t>(g.size()) - 10)));
      return;
    case kLargeRoot: {
      if (n <= 16) return;
      int32_t count = I16At(g, 12);
      for (int32_t k = 0; k < count; ++k) {
        int64_t at = 20 + 12 * k;
        if (at >= n || at >= kPageSize || at + 12 > static_cast<int64_t>(g.size())) break;
        Link(PageId{static_cast<int16_t>(U16At(g, at + 8)), I32At(g, at + 4)}, I16At(g, at + 10), depth);
      }
      return;
    }
    default: return;  // 1, 7, 8 and unknown types hold no data
  }
}

// 8-bit text holds no zero bytes. A value whose first byte is not zero and
// whose every second byte is (UTF-16 text of Latin letters kept where 8-bit
// text was expected) would end after its first character when read as
// 8-bit text, so it is read as UTF-16.
bool LooksLikeUtf16(ByteSpan bytes) {
  if (bytes.size() < 2 || bytes.size() % 2 != 0 || bytes[0] == 0) return false;
  for (size_t i = 1; i < bytes.size(); i += 2) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

}  // namespace

std::vector<uint8_t> GatherLargeValue(ByteSpan structure, int32_t payloadLength, DatabaseReader& reader,
                                      const ReadContext& context) {
  Gatherer g(reader, context);
  g.Structure(structure, payloadLength, 0);
  return std::move(g.bytes);
}

CellValue LargeValueCell(std::vector<uint8_t> bytes, const LargeValueFlags& flags) {
  const int32_t codePage = flags.codePage > 0 ? flags.codePage : kSystemAnsiCodePage;
  if (flags.variant) {
    if (bytes.size() < 8) return CellValue::Missing();
    // Byte 0 is the value's base type: binary as bytes, Unicode as UTF-16,
    // anything else as 8-bit text.
    const int32_t base = TypeIndexOf(bytes[0]);
    ByteSpan rest = ByteSpan(bytes).subspan(8);
    if (base == kTypeBinary || base == kTypeVarbinary)
      return CellValue::Bytes(std::vector<uint8_t>(rest.begin(), rest.end()), 0);
    if (base == kTypeNchar || base == kTypeNvarchar) return CellValue::Text(Utf16LeToUtf8UntilNul(rest));
    return CellValue::Text(CodePageToUtf8(rest, codePage));
  }
  if (flags.binary) return CellValue::Bytes(std::move(bytes), 0);
  if (flags.unicode || LooksLikeUtf16(bytes)) return CellValue::Text(Utf16LeToUtf8UntilNul(bytes));
  return CellValue::Text(CodePageToUtf8(bytes, codePage));
}

std::string LargeValueText(ByteSpan bytes, const LargeValueFlags& flags) {
  return DisplayText(LargeValueCell(std::vector<uint8_t>(bytes.begin(), bytes.end()), flags));
}

std::optional<std::vector<uint8_t>> ReadTextPointerBytes(ByteSpan pointer, DatabaseReader& reader,
                                                         const ReadContext& context) {
  PageId page{static_cast<int16_t>(U16At(pointer, 12)), I32At(pointer, 8)};
  int slot = I16At(pointer, 14);
  auto text = reader.ReadTextMixPage(context, page);
  const std::unique_ptr<TextRecord> r =
      text && slot >= 0 ? ParseTextRecord(*text, static_cast<size_t>(slot)) : nullptr;
  if (r == nullptr || !r->hasData) {
    context.Report(DamageReason::kLargeValueSkipped, page.fileId, page.page, slot);
    return std::nullopt;
  }
  Gatherer g(reader, context);
  g.Structure(r->data, r->payloadLength, 0);
  return std::move(g.bytes);
}

CellValue ReadTextPointerCell(ByteSpan pointer, DatabaseReader& reader, const ReadContext& context,
                              const LargeValueFlags& flags) {
  auto bytes = ReadTextPointerBytes(pointer, reader, context);
  if (!bytes) return CellValue::Missing();
  CellValue cell = LargeValueCell(std::move(*bytes), flags);
  const bool empty = cell.kind == CellKind::kMissing || (cell.kind == CellKind::kText && cell.text.empty()) ||
                     (cell.kind == CellKind::kBytes && cell.bytes.empty());
  if (empty) cell.blank = true;
  return cell;
}

std::string ReadTextPointerValue(ByteSpan pointer, DatabaseReader& reader, const ReadContext& context,
                                 const LargeValueFlags& flags) {
  return DisplayText(ReadTextPointerCell(pointer, reader, context, flags));
}

std::vector<uint8_t> ReadInRowRootBytes(ByteSpan root, DatabaseReader& reader, const ReadContext& context) {
  Gatherer g(reader, context);
  for (int64_t at = 12; at + 12 <= static_cast<int64_t>(root.size()); at += 12) {
    if (context.StopRequested() || context.OverBudget()) break;
    int32_t size = I32At(root, at);
    if (size <= 0) continue;
    int16_t file = I16At(root, at + 8);
    if (file > 1000) file = 1;
    g.Link(PageId{file, I32At(root, at + 4)}, I16At(root, at + 10), 0);
  }
  return std::move(g.bytes);
}

CellValue ReadInRowRootCell(ByteSpan root, DatabaseReader& reader, const ReadContext& context,
                            const LargeValueFlags& flags) {
  return LargeValueCell(ReadInRowRootBytes(root, reader, context), flags);
}

std::string ReadInRowRootValue(ByteSpan root, DatabaseReader& reader, const ReadContext& context,
                               const LargeValueFlags& flags) {
  return DisplayText(ReadInRowRootCell(root, reader, context, flags));
}

}  // namespace pagewright
