#include "records/forwarding.h"

namespace pagewright {

std::optional<RowLocator> ReadBackPointer(const CPrimaryRecord& record) {
  if (record.status.kind != kForwardedRecord || record.values.empty()) return std::nullopt;
  const ValueItem& last = record.values.back();
  ByteSpan v = record.Bytes(last);
  if (!last.complex || v.size() != static_cast<size_t>(kBackPointerLength)) return std::nullopt;
  if (U16At(v, 0) != kBackPointerKind) return std::nullopt;
  return RowLocator{ReadStoredPageRef(v, 2), I16At(v, 8)};
}

std::optional<RowLocator> ReadStubTarget(ByteSpan stub) {
  if (stub.size() < static_cast<size_t>(kForwardingStubLength)) return std::nullopt;
  RecordStatus status = DecodeRecordStatus(stub[0]);
  if (status.kind != kForwardingStub || status.compressed) return std::nullopt;
  return RowLocator{ReadStoredPageRef(stub, 1), I16At(stub, 7)};
}

bool StubNamesRecord(const DatabaseReader& reader, const ReadContext& context, RowLocator stub,
                     RowLocator forwarded) {
  if (stub.slot < 0) return false;
  auto bytes = reader.ReadRawPage(context, stub.page);
  if (!bytes) return false;
  std::span<uint8_t> page(bytes->data(), kPageSize);
  CPage_Header header = DecodeAndRepairHeader(page);
  auto slots = ReadSlotTable(page, header.slotCount);
  if (!slots || stub.slot >= static_cast<int>(slots->size())) return false;
  uint16_t offset = (*slots)[static_cast<size_t>(stub.slot)];
  if (offset < kPageHeaderSize) return false;
  auto target = ReadStubTarget(SubSpan(page, offset, kForwardingStubLength));
  return target && target->page == forwarded.page && target->slot == forwarded.slot;
}

void MarkRecordsReturnedThroughStubs(PrimaryRecordPage& page, const ReadContext& context) {
  if (page.reader == nullptr) return;
  for (size_t i = 0; i < page.records.size(); ++i) {
    auto* r = static_cast<CPrimaryRecord*>(page.records[i].get());
    if (r == nullptr || r->invalid || r->status.kind != kForwardedRecord) continue;
    auto back = ReadBackPointer(*r);
    if (!back) continue;
    RowLocator here{page.header.thisPage, static_cast<int16_t>(i)};
    if (StubNamesRecord(*page.reader, context, *back, here)) r->returnedThroughStub = true;
  }
}

}  // namespace pagewright
