#include "records/record.h"

#include <algorithm>

#include "pagestore/database_reader.h"
#include "records/record_enumeration.h"

namespace pagewright {

CPrimaryRecord::~CPrimaryRecord() = default;

namespace {
ByteSpan RangeOf(const std::vector<uint8_t>& storage, const ByteRange& r) {
  if (!r.present) return {};
  return SubSpan(storage, r.offset, r.length);
}
}  // namespace

ByteSpan CPrimaryRecord::FixedData() const { return RangeOf(storage, fixed); }
ByteSpan CPrimaryRecord::NullBitmap() const { return RangeOf(storage, nullBitmap); }
ByteSpan CPrimaryRecord::Bytes(const ValueItem& item) const { return RangeOf(storage, item.range); }
ByteSpan CPrimaryRecord::WholeRecord() const { return RangeOf(storage, whole); }

bool CPrimaryRecord::NullBit(int k) const {
  if (k < 0) return false;
  ByteSpan bitmap = NullBitmap();
  size_t byte = static_cast<size_t>(k) / 8;
  return byte < bitmap.size() && ((bitmap[byte] >> (k % 8)) & 1) != 0;
}

ByteRange CPrimaryRecord::Append(ByteSpan bytes) {
  ByteRange r{static_cast<int32_t>(storage.size()), static_cast<int32_t>(bytes.size()), true};
  storage.insert(storage.end(), bytes.begin(), bytes.end());
  return r;
}

bool PageAcceptsRecords(const CPage_Header& header) {
  return header.thisPage.page >= 0 && header.pageType <= kHighestRecordPageType;
}

namespace {

bool AcceptedKind(int32_t kind, const ReadContext& context) {
  return kind == kPrimaryRecord || kind == kForwardedRecord || kind == kForwardingStub ||
         (kind == kGhostDataRecord && context.showDeleted);
}

// Walks one record's bytes `p` (the page from the record's offset on, or a
// forwarded record's copy) and fills the ranges of `r`, relative to the
// record start. Every read is checked against `p`; the logical bound of the
// format is the length limit L. The bytes the ranges cover are copied into
// the record's storage at the end.
class Parser {
 public:
  static constexpr size_t kRebuildRoom = 256;

  Parser(CPrimaryRecord& r, ByteSpan p, int limit, const ReadContext& context)
      : r_(r), p_(p), limit_(limit), context_(context) {}

  void Classic();
  void Compressed();
  int Measure();
  // Copies p[0, end) for every range recorded so far.
  void Store() {
    size_t n = std::min<size_t>(static_cast<size_t>(std::max<int64_t>(extent_, 0)), p_.size());
    // A compressed record's rebuilt columns are appended to its storage:
    // room for the usual row keeps that from moving the bytes again.
    if (r_.status.compressed) r_.storage.reserve(n + kRebuildRoom);
    r_.storage.assign(p_.begin(), p_.begin() + static_cast<long>(n));
  }

 private:
  ByteRange Range(int64_t offset, int64_t length) {
    if (!InBounds(p_.size(), offset, length)) return {};
    extent_ = std::max(extent_, offset + length);
    return ByteRange{static_cast<int32_t>(offset), static_cast<int32_t>(length), true};
  }
  void NullBitmapAt(int64_t& cursor, int columns);
  // `countStored`: the record stores a variable column count (it has a
  // fixed part or a null bitmap); otherwise every column is variable.
  void ClassicVariableColumns(int64_t& cursor, bool countStored, bool copy);
  void SparseVector(const ByteRange& value);
  void LongDataRegion(int64_t& cursor);

  CPrimaryRecord& r_;
  ByteSpan p_;
  int64_t limit_;
  const ReadContext& context_;
  int64_t extent_ = 0;
};

void Parser::NullBitmapAt(int64_t& cursor, int columns) {
  int64_t size = (columns + 7) / 8;
  r_.nullBitmap = Range(cursor, size);
  if (!r_.nullBitmap.present) {  // cut short by the page end: keep what is there
    int64_t available = static_cast<int64_t>(p_.size()) - cursor;
    if (available > 0) r_.nullBitmap = Range(cursor, std::min(size, available));
  }
  cursor += size;
}

void Parser::Classic() {
  int64_t cursor = 4;
  const ClassicFixedPart fixed = ReadClassicFixedPart(p_);
  r_.fixedLength = static_cast<int16_t>(fixed.length());
  if (fixed.holdsData() && fixed.length() <= limit_) {
    r_.fixed = Range(4, fixed.length());
    if (r_.fixed.present) cursor = fixed.end;
  }
  int16_t columns = I16At(p_, cursor);
  r_.columnCount = columns;
  if (columns > 0 && columns < kMaxColumnCount) {
    cursor += 2;
    if (r_.status.hasNullBitmap) NullBitmapAt(cursor, columns);
    if (r_.status.hasVariableColumns)
      ClassicVariableColumns(cursor, r_.fixed.present || r_.nullBitmap.present, true);
    if (cursor > 0 && cursor <= limit_) r_.whole = Range(0, cursor);
  } else if (columns == 0 && cursor <= limit_) {
    r_.whole = Range(0, cursor);
  }
}

void Parser::ClassicVariableColumns(int64_t& cursor, bool countStored, bool copy) {
  r_.values.clear();
  const int columns = r_.columnCount;
  int variable;
  if (countStored) {
    variable = cursor + 2 > limit_ ? 0 : I16At(p_, cursor);
    cursor += 2;
  } else {
    variable = columns;
  }
  if (variable > columns) {
    variable = 0;
    cursor = 0;
  }
  r_.variableCount = static_cast<int16_t>(variable);
  r_.variableEnds.clear();
  if (variable <= 0 || variable >= kMaxColumnCount) return;
  const int64_t ends = cursor;  // the end offsets, read in the loop below
  cursor += 2 * variable;
  r_.variableEnds.reserve(static_cast<size_t>(variable));
  if (copy) r_.values.reserve(static_cast<size_t>(variable));
  for (int k = 0; k < variable && !context_.StopRequested(); ++k) {
    const int64_t at = ends + 2 * k;
    uint16_t end = at + 2 <= limit_ ? U16At(p_, at) : 0;
    bool complex = (end & 0x8000) != 0;
    int64_t e = end & 0x7FFF;
    r_.variableEnds.push_back(static_cast<uint16_t>(e));
    ValueItem item;
    item.complex = complex;
    int64_t n = e - cursor;
    if (e < cursor || e > limit_ || e > 8191 || n > 8191 || n == 0 || cursor < 1 || cursor > 8191) {
      item.empty = n == 0 && !complex && cursor >= 1 && cursor <= 8191;
      if (copy) r_.values.push_back(item);
      continue;
    }
    if (copy) {
      item.range = Range(cursor, n);
      if (!item.range.present) {  // beyond the page bytes: an empty item
        r_.values.push_back(item);
        continue;
      }
      r_.values.push_back(item);
      if (complex && n != 16) {
        uint16_t kind = U8At(p_, cursor);
        if (kind == 0) kind = U16At(p_, cursor);
        if (kind == 5) SparseVector(item.range);
      }
    }
    cursor = e;
  }
}

void Parser::SparseVector(const ByteRange& value) {
  ByteSpan v = p_.subspan(static_cast<size_t>(value.offset), static_cast<size_t>(value.length));
  int64_t total = value.length;
  int64_t n = I16At(v, 2);
  if (!(n > 0 && 4 + 2 * n < 8192 && 4 + 4 * n < 8192 && total > 4 && 4 + 2 * n < total)) return;
  r_.hasSparseVector = true;
  r_.sparse.clear();
  int64_t start = 4 + 4 * n;
  for (int64_t k = 0; k < n && !context_.StopRequested(); ++k) {
    ValueItem item;
    item.id = U16At(v, 4 + 2 * k);
    int64_t end = U16At(v, 4 + 2 * n + 2 * k);
    int64_t length = end - start;
    if (start < end && length <= 8060 && start <= 8059 && end <= total) {
      item.range = Range(value.offset + start, length);
    } else {
      item.range.length = static_cast<int32_t>(length);
    }
    r_.sparse.push_back(item);
    start = end;
  }
}

// Short data length of each descriptor code.
int ShortLength(int code) {
  if (code >= 2 && code <= 9) return code - 1;
  if (code == 12) return 1;
  return 0;
}

void Parser::Compressed() {
  uint8_t first = U8At(p_, 1);
  int width = (first & 0x80) == 0 ? 1 : 2;
  int columns = width == 1 ? first : U16At(p_, 1);
  r_.columnCount = static_cast<int16_t>(columns);
  if (columns == 0 || columns > kMaxColumnCount) {
    r_.invalid = true;
    return;
  }
  r_.descriptorCodes.clear();
  r_.descriptorCodes.reserve(static_cast<size_t>(columns));
  for (int64_t at = 1 + width; static_cast<int>(r_.descriptorCodes.size()) < columns && at < limit_; ++at) {
    if (!InBounds(p_.size(), at, 1)) break;
    uint8_t b = p_[static_cast<size_t>(at)];
    r_.descriptorCodes.push_back(b & 0x0F);
    if (static_cast<int>(r_.descriptorCodes.size()) < columns) r_.descriptorCodes.push_back(b >> 4);
  }
  extent_ = std::max<int64_t>(extent_, std::min<int64_t>(1 + width + (columns + 1) / 2, p_.size()));
  int64_t cursor = 1 + width + (columns + 1) / 2 + (columns - 1) / 30;
  int64_t shortLength = 0;
  int longCount = 0;
  for (int code : r_.descriptorCodes) {
    shortLength += ShortLength(code);
    if (code == 10) ++longCount;
  }
  r_.longValueCount = longCount;
  r_.fixedLength = static_cast<int16_t>(shortLength);
  if (shortLength > 0 && shortLength < kMaxFixedLength && r_.status.kind != kIndexRecord) {
    if (!(shortLength > limit_ || cursor + shortLength > 8059 || cursor + shortLength > limit_)) {
      r_.fixed = Range(cursor, shortLength);
      if (r_.fixed.present) cursor += shortLength;
    }
  }
  if (r_.status.kind == kIndexRecord) return;
  if (r_.status.hasNullBitmap) NullBitmapAt(cursor, columns);
  if (r_.status.hasVariableColumns) LongDataRegion(cursor);
}

void Parser::LongDataRegion(int64_t& cursor) {
  r_.values.clear();
  const int columns = r_.columnCount;
  if (cursor < limit_ && InBounds(p_.size(), cursor, 1)) {
    uint8_t header = p_[static_cast<size_t>(cursor)];
    extent_ = std::max(extent_, cursor + 1);
    cursor += 1;
    if ((header & 1) != 0 && cursor < limit_ - 2) {
      int n = U16At(p_, cursor);
      if (n > 0 && n <= columns) {
        cursor += 2;
        r_.longEntries.clear();
        r_.longEntries.reserve(static_cast<size_t>(n));
        for (int k = 0; k < n; ++k) {
          int64_t at = cursor + 2 * k;
          if (at + 2 > limit_ || !InBounds(p_.size(), at, 2)) continue;
          uint16_t e = U16At(p_, at);
          r_.longEntries.push_back({static_cast<uint16_t>(e & 0x7FFF), (e & 0x8000) != 0});
        }
        extent_ = std::max(extent_, std::min<int64_t>(cursor + 2 * n, p_.size()));
        cursor += 2 * n;
        r_.longValueCount = static_cast<int32_t>(r_.longEntries.size());
      }
    }
  }
  cursor += (columns - 1) / 30;
  if (r_.longValueCount > 0 && r_.longValueCount < kMaxColumnCount) {
    r_.values.reserve(r_.longEntries.size());
    int64_t previous = 0;
    for (const auto& entry : r_.longEntries) {
      if (context_.StopRequested()) break;
      int64_t n = entry.end - previous;
      if (n <= 0) continue;
      ValueItem item;
      item.complex = entry.complex;
      if (n >= limit_ || n > 8191 || previous > 8191) {
        r_.values.push_back(item);
      } else if (cursor + n < 8192 && cursor + n <= limit_) {
        item.range = Range(cursor, n);
        r_.values.push_back(item);
        previous = entry.end;
        cursor += n;
      }
    }
  }
  r_.whole.length = static_cast<int32_t>(cursor);  // the length only: compressed records keep no copy
}

int Parser::Measure() {
  int64_t cursor = 4;
  const ClassicFixedPart fixed = ReadClassicFixedPart(p_);
  const bool hasFixedPart = fixed.holdsData();
  if (hasFixedPart) cursor = fixed.end;
  int16_t columns = I16At(p_, cursor);
  r_.columnCount = columns;
  if (!(columns > 0 && columns < kMaxColumnCount)) return -1;
  cursor += 2;
  if (r_.status.hasNullBitmap) NullBitmapAt(cursor, columns);
  if (r_.status.hasVariableColumns)
    ClassicVariableColumns(cursor, hasFixedPart || r_.status.hasNullBitmap, false);
  return static_cast<int>(cursor);
}

std::unique_ptr<CPrimaryRecord> NewRecord(const RecordContext& ctx, ByteSpan p, int limit) {
  auto r = std::make_unique<CPrimaryRecord>();
  r->header = &ctx.page.header;
  r->reader = ctx.page.reader;
  r->lengthLimit = static_cast<uint16_t>(std::clamp(limit, 0, 65535));
  r->status = DecodeRecordStatus(U8At(p, 0));
  return r;
}

// What a forwarding stub leads to: the whole bytes of a classic forwarded
// record, or a compressed forwarded record as its own page rebuilt it (its
// values may come from that page's anchor record and dictionary, so it
// cannot be parsed again away from it).
struct ForwardedTarget {
  std::vector<uint8_t> classicBytes;
  std::unique_ptr<CPrimaryRecord> compressed;
};

// Follows a forwarding stub: the forwarded record, or none.
std::optional<ForwardedTarget> FollowStub(const RecordContext& ctx, ByteSpan stub, int offset) {
  DatabaseReader* reader = ctx.page.reader;
  const PageId here = ctx.page.header.thisPage;
  // Reported once, for the stub on the page being read: the stubs a damaged
  // chain passes through on the way are the same loss.
  auto unreadable = [&] {
    if (ctx.forwardHops == 0) ctx.context.Report(DamageReason::kForwardUnreadable, here.fileId, here.page, -1, offset);
    return std::nullopt;
  };
  if (reader == nullptr) return std::nullopt;
  if (ctx.forwardHops >= kMaxForwardHops) return unreadable();
  // A stub cut by the page end has no address: nothing is read for it.
  auto file = ReadLittleEndian<uint16_t>(stub, 5);
  auto number = ReadLittleEndian<int32_t>(stub, 1);
  auto slot = ReadLittleEndian<int16_t>(stub, 7);
  if (!file || !number || !slot || *slot < 0) return unreadable();
  auto bytes = reader->ReadRawPage(ctx.context, PageId{static_cast<int16_t>(*file), *number});
  if (!bytes) return unreadable();
  PrimaryRecordPage page(std::move(*bytes), reader);
  BuildPrimaryRecordPageForSlot(page, ctx.context, *slot, ctx.forwardHops + 1);
  if (page.records.empty() || !page.records.front()) return unreadable();
  auto& found = static_cast<CPrimaryRecord&>(*page.records.front());
  if (found.status.compressed) {
    if (found.invalid) return unreadable();
    ForwardedTarget t;
    t.compressed.reset(static_cast<CPrimaryRecord*>(page.records.front().release()));
    return t;
  }
  ByteSpan whole = found.WholeRecord();
  if (found.whole.length <= 0 || whole.empty()) return unreadable();
  return ForwardedTarget{std::vector<uint8_t>(whole.begin(), whole.end()), nullptr};
}

}  // namespace

std::unique_ptr<CPrimaryRecord> ParseRecord(const RecordContext& ctx, int offset, int limit) {
  ByteSpan p = SubSpan(ctx.page.page(), offset, kPageSize - static_cast<int64_t>(offset));
  auto r = NewRecord(ctx, p, limit);
  if (!PageAcceptsRecords(ctx.page.header) || p.empty()) {
    r->invalid = true;
    return r;
  }
  int32_t kind = r->status.kind;
  r->ghost = (kind == kGhostIndexRecord || kind == kGhostDataRecord || kind == kGhostVersionRecord) &&
             !ctx.context.showDeleted;
  if (!AcceptedKind(kind, ctx.context)) {
    r->invalid = true;
    return r;
  }
  if (r->status.compressed) {
    Parser parser(*r, p, limit, ctx.context);
    parser.Compressed();
    parser.Store();
    return r;
  }
  if (kind == kForwardingStub) {
    auto forwarded = FollowStub(ctx, p, offset);
    if (!forwarded) {
      r->fixedLength = kUnreadableForward;
      return r;
    }
    if (forwarded->compressed) {
      std::unique_ptr<CPrimaryRecord> t = std::move(forwarded->compressed);
      t->status.kind = kForwardingStub;
      t->header = r->header;
      t->reader = r->reader;
      t->lengthLimit = r->lengthLimit;
      t->ghost = false;
      return t;
    }
    // The forwarded record is parsed in full: its own length bounds it.
    const std::vector<uint8_t>& bytes = forwarded->classicBytes;
    r->status = DecodeRecordStatus(bytes[0]);
    r->status.kind = kForwardingStub;
    Parser parser(*r, bytes, static_cast<int>(bytes.size()), ctx.context);
    parser.Classic();
    parser.Store();
    return r;
  }
  Parser parser(*r, p, limit, ctx.context);
  parser.Classic();
  parser.Store();
  return r;
}

std::unique_ptr<CPrimaryRecord> ParseAnchorRecord(const RecordContext& ctx, int offset, int limit) {
  ByteSpan p = SubSpan(ctx.page.page(), offset, kPageSize - static_cast<int64_t>(offset));
  auto r = NewRecord(ctx, p, limit);
  if (!PageAcceptsRecords(ctx.page.header) || p.empty()) {
    r->invalid = true;
    return r;
  }
  r->status.compressed = true;
  Parser parser(*r, p, limit, ctx.context);
  parser.Compressed();
  parser.Store();
  return r;
}

int MeasureRecord(const RecordContext& ctx, int offset) {
  ByteSpan p = SubSpan(ctx.page.page(), offset, kPageSize - static_cast<int64_t>(offset));
  if (!PageAcceptsRecords(ctx.page.header) || p.empty()) return -1;
  CPrimaryRecord r;
  r.status = DecodeRecordStatus(p[0]);
  if (!AcceptedKind(r.status.kind, ctx.context) || r.status.compressed || r.status.kind == kForwardingStub) return -1;
  Parser parser(r, p, kAdvancedScanLimit, ctx.context);
  return parser.Measure();
}

}  // namespace pagewright
