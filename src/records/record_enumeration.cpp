#include "records/record_enumeration.h"

#include <algorithm>
#include <set>

#include "records/compression.h"
#include "records/forwarding.h"

namespace pagewright {

bool HeaderAllowsEnumeration(const CPage_Header& h) {
  return h.ghostRecordCount >= 0 && h.freeByteCount >= 0 && h.nextPage.fileId >= 0 && h.nextPage.page >= 0 &&
         h.thisPage.fileId >= 0 && h.thisPage.page >= 0 && h.previousPage.fileId >= 0 && h.previousPage.page >= 0;
}

const CPrimaryRecord* RecordAt(const RecordPage& page, size_t i) {
  if (i >= page.records.size()) return nullptr;
  return static_cast<const CPrimaryRecord*>(page.records[i].get());
}
CPrimaryRecord* RecordAt(RecordPage& page, size_t i) {
  if (i >= page.records.size()) return nullptr;
  return static_cast<CPrimaryRecord*>(page.records[i].get());
}

namespace {

std::unique_ptr<CRecord> RecordAtOffset(PrimaryRecordPage& page, const ReadContext& context, int offset, int hops) {
  RecordContext ctx{page, context, hops};
  auto record = ParseRecord(ctx, offset, kPageSize - offset);
  if (record->status.compressed && !record->invalid && !context.legacyCatalog) {
    ReconstructCompressedRecord(*record, page, context);
  }
  return record;
}

}  // namespace

void EnumerateRecords(PrimaryRecordPage& page, const ReadContext& context) {
  if (!page.slotTable) return;
  const int n = page.header.slotCount;
  if (n > 8192 || !HeaderAllowsEnumeration(page.header)) return;
  const bool upperIndexLevel = page.header.pageType == kIndexPage && page.header.level > 0;
  const bool allGhosts = page.header.ghostRecordCount >= n && !context.showDeleted;
  const auto& slots = *page.slotTable;
  page.records.reserve(page.records.size() + static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    uint16_t o = i < static_cast<int>(slots.size()) ? slots[static_cast<size_t>(i)] : 0;
    if (upperIndexLevel || allGhosts || o == 0 || o >= kPageSize || o < kPageHeaderSize) {
      // Offset 0 marks a slot whose record was removed; any other offset
      // outside the record area points at no record.
      if (!upperIndexLevel && !allGhosts && o != 0)
        context.Report(DamageReason::kRecordRejected, page.header.thisPage.fileId, page.header.thisPage.page, i, o);
      page.records.push_back(nullptr);
      continue;
    }
    page.records.push_back(RecordAtOffset(page, context, o, 0));
  }
}

void EnumerateOneRecord(PrimaryRecordPage& page, const ReadContext& context, int slot, int forwardHops) {
  if (!page.slotTable) {
    page.records.push_back(nullptr);
    return;
  }
  if (slot < 0 || slot >= page.header.slotCount || slot >= static_cast<int>(page.slotTable->size())) return;
  uint16_t o = (*page.slotTable)[static_cast<size_t>(slot)];
  if (o > 0 && o <= kPageSize - kPageHeaderSize) {
    page.records.push_back(RecordAtOffset(page, context, o, forwardHops));
  } else {
    page.records.push_back(nullptr);
  }
}

namespace {

// First four bytes of a classic record with a null bitmap, for the record
// starts the deleted-record scan searches for: status byte (primary or
// ghost data kind, with or without variable columns and versioning), second
// status byte 0, fixed-part end offset F.
std::vector<uint32_t> RecordStartMarkers(const PrimaryRecordPage& page, const ReadContext& context) {
  std::set<uint16_t> ends = {132};  // the fixed part of the classic 128-byte layout
  uint16_t minimum = page.header.minimumRecordLength;
  if (minimum >= 4 && minimum < kMaxFixedLength) ends.insert(minimum);
  if (page.slotTable) {
    for (uint16_t o : *page.slotTable) {
      if (o < kPageHeaderSize || o + 4 > kPageSize) continue;
      const uint8_t status = page.bytes[o];
      const ClassicFixedPart fixed = ReadClassicFixedPart(SubSpan(page.page(), o, 4));
      if ((status & 1) == 0 && fixed.plausible()) ends.insert(static_cast<uint16_t>(fixed.end));
    }
  }
  std::vector<uint32_t> markers;
  for (uint8_t status : {0x10, 0x30, 0x1C, 0x3C, 0x50, 0x70, 0x5C, 0x7C}) {
    for (uint16_t f : ends) markers.push_back(status | (uint32_t{f} << 16));
  }
  (void)context;
  return markers;
}

}  // namespace

void ScanForDeletedRecords(PrimaryRecordPage& page, const ReadContext& context) {
  if (!page.slotTable || !HeaderAllowsEnumeration(page.header)) return;
  const std::vector<uint32_t> markers = RecordStartMarkers(page, context);
  auto isMarker = [&](int at) {
    uint32_t v = U32At(page.page(), at, 0xFFFFFFFF);
    return std::find(markers.begin(), markers.end(), v) != markers.end();
  };
  page.foundOffsets.assign(page.slotTable->begin(), page.slotTable->end());
  const size_t slotCount = page.foundOffsets.size();
  const RecordContext ctx{page, context, 0};
  int p = kPageHeaderSize;
  int last = 0;
  while (p < kPageSize - 2 && !context.StopRequested()) {
    int r = MeasureRecord(ctx, p);
    int searchFrom;
    if (r > 0) {
      auto firstN = page.foundOffsets.begin() + static_cast<long>(slotCount);
      if (std::find(page.foundOffsets.begin(), firstN, p) == firstN) page.foundOffsets.push_back(static_cast<uint16_t>(p));
      int q = p + r;
      if (q >= kPageSize || isMarker(q)) {
        p = q;
        continue;
      }
      searchFrom = q;
    } else {
      searchFrom = p;
    }
    int x = searchFrom == last ? searchFrom + 1 : searchFrom;
    bool found = false;
    for (; x < kPageSize - 2 && !context.StopRequested(); ++x) {
      if (isMarker(x)) {
        found = true;
        break;
      }
    }
    if (!found) break;
    last = x;
    p = x;
  }
  page.header.slotCount = static_cast<int16_t>(std::min<size_t>(page.foundOffsets.size(), 32767));
  page.slotTable = std::vector<uint16_t>(page.foundOffsets.begin(),
                                         page.foundOffsets.begin() + page.header.slotCount);
}

void BuildPrimaryRecordPage(PrimaryRecordPage& page, const ReadContext& context) {
  ReadCompressionInformation(page, context);
  if (context.showAdvancedDeleted && context.showDeleted) ScanForDeletedRecords(page, context);
  EnumerateRecords(page, context);
  MarkRecordsReturnedThroughStubs(page, context);
}

void BuildPrimaryRecordPageForSlot(PrimaryRecordPage& page, const ReadContext& context, int slot, int forwardHops) {
  ReadCompressionInformation(page, context);
  EnumerateOneRecord(page, context, slot, forwardHops);
}

std::unique_ptr<CDataPage> LoadDataPage(DatabaseReader& reader, const ReadContext& context, PageId id) {
  auto page = reader.ReadDataPage(context, id);
  if (!page) {
    context.Report(DamageReason::kPageUnreadable, id.fileId, id.page);
    return nullptr;
  }
  BuildPrimaryRecordPage(*page, context);
  return page;
}

std::unique_ptr<CDataPage> LoadCatalogPage(DatabaseReader& reader, const ReadContext& context, PageId id) {
  auto page = reader.ReadCatalogPage(id);
  if (!page) {
    context.Report(DamageReason::kPageUnreadable, id.fileId, id.page);
    return nullptr;
  }
  BuildPrimaryRecordPage(*page, context);
  return page;
}

}  // namespace pagewright
