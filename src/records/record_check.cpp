#include "records/record_check.h"

#include "records/forwarding.h"
#include "records/record.h"

namespace pagewright {

namespace {

// A classic record's parts as the parse found them, against the bytes it may
// span.
bool ClassicRecordFits(const CPrimaryRecord& r, int limit) {
  const ClassicFixedPart fixed{static_cast<int16_t>(r.fixedLength + 4)};
  if (fixed.length() < 0 || fixed.end + 2 > limit) return false;
  if (r.columnCount < 0 || r.columnCount >= kMaxColumnCount) return false;
  if (r.status.hasVariableColumns) {
    if (r.variableCount < 0 || r.variableCount > r.columnCount + 1) return false;
    uint16_t previous = 0;
    for (uint16_t end : r.variableEnds) {
      if (end < previous || end > limit) return false;
      previous = end;
    }
  }
  return r.whole.present && r.whole.length <= limit;
}

}  // namespace

std::vector<int> UnparsableRecordSlots(ByteSpan raw) {
  std::vector<int> out;
  if (raw.size() < static_cast<size_t>(kPageSize)) return out;
  RecordPage page(std::vector<uint8_t>(raw.begin(), raw.begin() + kPageSize), nullptr);
  const CPage_Header& h = page.header;
  if (h.pageType != kDataPage || !page.slotTable) return out;
  ReadContext state;
  state.showDeleted = true;  // ghost records are records too
  const RecordContext ctx{page, state, kMaxForwardHops};
  const auto& slots = *page.slotTable;
  for (size_t j = 0; j < slots.size(); ++j) {
    const int o = slots[j];
    if (o == 0) continue;
    const int limit = h.freeDataOffset - o;
    if (o < kPageHeaderSize || limit <= 0) {
      out.push_back(static_cast<int>(j));
      continue;
    }
    const RecordStatus status = DecodeRecordStatus(page.bytes[static_cast<size_t>(o)]);
    bool fits = true;
    if (!status.compressed && status.kind == kForwardingStub) {
      fits = limit >= kForwardingStubLength && ReadStubTarget(SubSpan(page.page(), o, limit)).has_value();
    } else if (status.compressed || status.kind == kPrimaryRecord || status.kind == kForwardedRecord ||
               status.kind == kGhostDataRecord) {
      auto r = ParseRecord(ctx, o, limit);
      if (r->invalid) {
        fits = false;
      } else if (status.compressed) {
        // The short data must have fitted; the long data region, when there
        // is one, ends where the parse left it.
        fits = (r->fixedLength <= 0 || r->fixed.present) && r->whole.length <= limit;
      } else {
        fits = ClassicRecordFits(*r, limit);
      }
    }
    if (!fits) out.push_back(static_cast<int>(j));
  }
  return out;
}

}  // namespace pagewright
