#include "pagestore/allocation_map.h"

#include <algorithm>

#include "pagestore/database_reader.h"

namespace pagewright {

std::optional<ByteSpan> ClassicFixedData(const RecordPage& page, int slot) {
  if (!page.slotTable || slot < 0 || static_cast<size_t>(slot) >= page.slotTable->size()) return std::nullopt;
  int o = (*page.slotTable)[static_cast<size_t>(slot)];
  if (o < kPageHeaderSize || o >= kPageSize) return std::nullopt;
  int length = I16At(page.page(), o + 2) - 4;
  if (length <= 0 || length >= 8060 || length > kPageSize - o - 4) return std::nullopt;
  return SubSpan(page.page(), o + 4, length);
}

ExtentAllocationMap::ExtentAllocationMap(std::vector<uint8_t> pageBytes, DatabaseReader* source)
    : PrimaryRecordPage(std::move(pageBytes), source) {
  auto bitmap = ClassicFixedData(*this, 1);
  if (!bitmap) return;
  size_t bytes = std::min<size_t>(bitmap->size(), kExtentBitmapBytes);
  extentBits.assign(kMaxExtentBits, 0);
  for (size_t i = 0; i < bytes; ++i) {
    for (int j = 0; j < 8; ++j) extentBits[8 * i + static_cast<size_t>(j)] = ((*bitmap)[i] >> j) & 1;
  }
  bitCount = static_cast<int32_t>(bytes * 8);
}

ExtentAllocationMap::~ExtentAllocationMap() = default;

IamPage::IamPage(std::vector<uint8_t> pageBytes, DatabaseReader* source)
    : ExtentAllocationMap(std::move(pageBytes), source) {
  singlePages.fill(PageId{});
  auto header = ClassicFixedData(*this, 0);
  if (!header || header->size() < static_cast<size_t>(kIamHeaderLength)) return;
  ByteSpan h = *header;
  sequenceNumber = I32At(h, 0);
  status = I16At(h, 14);
  objectId = I32At(h, 28);
  indexId = I16At(h, 32);
  pageCount = U8At(h, 34);
  startPage = ReadStoredPageRef(h, 36);
  for (int k = 0; k < kSinglePageSlots; ++k) singlePages[static_cast<size_t>(k)] = ReadStoredPageRef(h, 42 + 6 * k);
}

IamPage::~IamPage() = default;

std::vector<ExtentItem> EnumerateExtents(IamPage& page, uint64_t extentLimit) {
  std::vector<ExtentItem> out;
  const int32_t base = page.header.thisPage.page / kPagesPerIamInterval * kPagesPerIamInterval;
  const int16_t file = page.header.thisPage.fileId;
  const uint64_t limit = std::min<uint64_t>(static_cast<uint64_t>(page.bitCount), extentLimit);
  for (uint64_t i = 0; i < limit; ++i) {
    if (page.extentBits[i] != 1) continue;
    int64_t first = static_cast<int64_t>(base) + 8 * static_cast<int64_t>(i);
    if (first + 7 > INT32_MAX) break;
    out.push_back(ExtentItem{PageId{file, static_cast<int32_t>(first)}, PageId{file, static_cast<int32_t>(first + 7)}});
  }
  page.allocatedExtentCount = static_cast<int32_t>(out.size());
  return out;
}

std::vector<PageId> ExtentPages(const ExtentItem& item) {
  std::vector<PageId> out;
  if (item.last.page < item.first.page) return out;
  for (int64_t p = item.first.page; p <= item.last.page; ++p)
    out.push_back(PageId{item.first.fileId, static_cast<int32_t>(p)});
  return out;
}

}  // namespace pagewright
