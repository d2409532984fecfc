#include "app/loss_report.h"

#include "pagestore/page_check.h"

namespace pagewright {

namespace {
constexpr int32_t kLogFileStatus = 0x40;  // sysfiles1: a transaction log file

std::string PageText(int16_t fileId, uint32_t page) {
  return "(" + std::to_string(fileId) + ":" + std::to_string(page) + ")";
}
}  // namespace

std::vector<uint32_t> PagesPastTheEnd(const DatabaseReader& reader, int16_t fileId, uint64_t pageCount) {
  std::vector<uint32_t> out;
  for (uint64_t pfsAt = 1; pfsAt < pageCount; pfsAt = pfsAt == 1 ? kPfsInterval : pfsAt + kPfsInterval) {
    auto pfs = reader.ReadFilePage(ReadContext(), PageId{fileId, static_cast<int32_t>(pfsAt)});
    if (!pfs || (*pfs)[1] != kPfsPageType) continue;
    const uint64_t base = pfsAt == 1 ? 0 : pfsAt;
    for (uint64_t p = std::max(base, pageCount); p < base + kPfsInterval; ++p)
      if (PfsSaysAllocated(*pfs, static_cast<uint32_t>(p))) out.push_back(static_cast<uint32_t>(p));
  }
  return out;
}

std::vector<std::string> OpenLosses(const DatabaseReader& reader, const DatabaseCatalog& catalog) {
  std::vector<std::string> out;
  for (const auto& row : catalog.databaseFiles) {
    if (row.fileId <= 1 || (row.status & kLogFileStatus) != 0 || reader.secondaryFileMap.count(row.fileId) != 0)
      continue;
    out.push_back("Secondary file not found: " + (row.physicalName.empty() ? row.logicalName : row.physicalName) +
                  " (file id " + std::to_string(row.fileId) + "); its pages cannot be read.");
  }
  std::vector<std::pair<int16_t, std::string>> files = {{1, reader.oldPath}};
  for (const auto& [fileId, row] : reader.secondaryFileMap) files.emplace_back(static_cast<int16_t>(fileId), row.physicalName);
  for (const auto& [fileId, path] : files) {
    const std::vector<uint32_t> lost = PagesPastTheEnd(reader, fileId, reader.PageCountOf(fileId));
    if (lost.empty()) continue;
    out.push_back("File " + path + " is shorter than its allocation maps: " + std::to_string(lost.size()) +
                  " allocated pages are missing, " + PageText(fileId, lost.front()) + " to " +
                  PageText(fileId, lost.back()) + ".");
  }
  return out;
}

std::string NoRowsInStandardMode(const DatabaseReader& reader, const std::string& table, int32_t pageKey,
                                 std::optional<uint16_t> indexId) {
  auto it = reader.dataPageMap.find(pageKey);
  if (it == reader.dataPageMap.end()) return {};
  size_t holding = 0;
  for (const PageListEntry& e : it->second) {
    auto bytes = reader.ReadFilePage(ReadContext(), e.id());
    if (!bytes) continue;
    const CPage_Header h = DecodePageHeader(*bytes);
    if (indexId && h.indexId != *indexId) continue;
    if (h.slotCount <= h.ghostRecordCount) continue;
    // Leftovers in free space carry ids too.
    auto pfs = reader.ReadFilePage(ReadContext(), PageId{e.id().fileId, static_cast<int32_t>(PfsPageOf(e.page))});
    if (pfs && (*pfs)[1] == kPfsPageType && !PfsSaysAllocated(*pfs, e.page)) continue;
    ++holding;
  }
  if (holding == 0) return {};
  return "Table " + table + " gave no rows through its allocation pages, but " + std::to_string(holding) +
         " data pages carrying its id hold records; the advanced mode (--advanced) reads them.";
}

}  // namespace pagewright
