#include "tabledata/record_paging.h"

#include <cstdio>
#include <set>

#include "pagestore/allocation_map.h"

namespace pagewright {

namespace {

// A page reference that can be read: page number above 0 and below its
// file's page count.
bool ValidPage(const DatabaseReader& reader, PageId id) {
  return id.page > 0 && static_cast<uint64_t>(id.page) < reader.PageCountOf(id.fileId);
}

bool NonZero(PageId id) { return id.fileId != 0 && id.page != 0; }

}  // namespace

std::vector<PageId> IamChainPages(DatabaseReader& reader, PageId firstIam, const std::vector<PageId>& legacyIamPages,
                                  bool legacy) {
  std::vector<PageId> out;
  std::set<PageId> visited;
  const AppState& state = reader.state();
  size_t legacyIndex = 0;
  PageId current = legacy ? (legacyIamPages.empty() ? PageId{0, 0} : legacyIamPages[0]) : firstIam;
  while (current.page != 0 && !state.StopRequested() && visited.insert(current).second) {
    auto iam = reader.ReadIamPage(current);
    if (!iam) break;
    for (const PageId& single : iam->singlePages) {
      if (single.page > 0 && static_cast<uint64_t>(single.page) <= reader.oldPageCount && single.fileId != 0)
        out.push_back(single);
    }
    for (const ExtentItem& extent : EnumerateExtents(*iam, reader.oldExtentCount)) {
      for (PageId p : ExtentPages(extent)) out.push_back(p);
    }
    if (legacy) {
      if (++legacyIndex >= legacyIamPages.size()) break;
      current = legacyIamPages[legacyIndex];
    } else {
      current = iam->header.nextPage;
    }
  }
  return out;
}

std::vector<PageId> DataChainPages(DatabaseReader& reader, PageId start) {
  std::vector<PageId> out;
  std::set<PageId> visited;
  const AppState& state = reader.state();
  if (NonZero(start)) out.push_back(start);
  PageId current = start;
  // A chain that comes back to a page already walked is damaged: it ends there.
  while (current.page != 0 && !state.StopRequested() && visited.insert(current).second) {
    auto header = reader.ReadPageHeaderFromSource(current);
    if (!header) break;
    PageId next = header->nextPage;
    if (NonZero(next) && header->pageType == kDataPage && !visited.count(next)) out.push_back(next);
    current = next;
  }
  return out;
}

std::vector<DecodedRow> RecordPaging::LoadFrom(Bookmark start, bool placeholders, const Progress& progress) {
  AppState& state = reader_.state();
  RowDecodeContext context{columns_};
  state.currentDecodeContext = &context;
  state.placeholderMode = placeholders;
  std::vector<DecodedRow> rows;
  endReached_ = true;
  bool full = false;
  for (int64_t p = start.page; p < static_cast<int64_t>(pages_.size()) && !state.StopRequested(); ++p) {
    auto pageRows = ReadPageRows(reader_, pages_[static_cast<size_t>(p)], context, mode_);
    for (int64_t j = p == start.page ? start.record : 0; j < static_cast<int64_t>(pageRows.size()); ++j) {
      if (full) {
        // A record follows the full grid page: the next grid page starts here.
        resume_ = Bookmark{p, j};
        endReached_ = false;
        break;
      }
      rows.push_back(std::move(pageRows[static_cast<size_t>(j)]));
      full = static_cast<int64_t>(rows.size()) >= kGridPageRecords;
    }
    if (progress) progress(p + 1);
    if (!endReached_) break;
  }
  state.currentDecodeContext = nullptr;
  state.placeholderMode = false;
  return rows;
}

std::vector<DecodedRow> RecordPaging::FillFirst(const Progress& progress) {
  starts_ = {Bookmark{0, 0}};
  current_ = 0;
  return LoadFrom(starts_[0], true, progress);
}

void RecordPaging::Dispatch(bool advancedMode, const Progress& progress, std::vector<DecodedRow>& rows) {
  const AppState& state = reader_.state();
  auto useCatalogList = [&] {
    pages_.clear();
    for (PageId p : catalog_.tablePages)
      if (NonZero(p)) pages_.push_back(p);
    source_ = PageListSource::kCatalogList;
    rows = FillFirst(progress);
  };
  auto useIam = [&](PageId firstIam, const std::vector<PageId>& legacyList) {
    pages_ = IamChainPages(reader_, firstIam, legacyList, state.legacyCatalogMode);
    source_ = PageListSource::kIamChain;
    rows = FillFirst(progress);
  };
  auto useChain = [&](PageId start) {
    pages_ = DataChainPages(reader_, start);
    source_ = PageListSource::kDataChain;
    rows = FillFirst(progress);
  };

  if (advancedMode) {
    useCatalogList();
    return;
  }
  if (state.legacyCatalogMode) {
    const int32_t objectId = catalog_.currentObject.id;
    auto row = catalog_.legacyIndexMap.find(objectId);
    if (row != catalog_.legacyIndexMap.end()) {
      // The chain of the clustered index, then every page of the table the
      // chain did not reach.
      PageId start{static_cast<int16_t>(row->second.fileId), static_cast<int32_t>(row->second.firstPage)};
      std::vector<PageId> chain;
      std::set<PageId> seen;
      PageId current = start;
      while (NonZero(current) && !state.StopRequested() && seen.insert(current).second) {
        chain.push_back(current);
        auto page = reader_.ReadDataPage(current);
        if (!page) break;
        current = page->header.nextPage;
      }
      if (chain.empty()) {
        useCatalogList();
        return;
      }
      for (PageId p : catalog_.tablePages) {
        if (state.StopRequested()) break;
        if (NonZero(p) && seen.insert(p).second) chain.push_back(p);
      }
      pages_ = std::move(chain);
      source_ = PageListSource::kDataChain;
      rows = FillFirst(progress);
      return;
    }
    std::vector<PageId> iams;
    if (auto it = reader_.iamPageMap.find(objectId); it != reader_.iamPageMap.end())
      for (const auto& e : it->second) iams.push_back(e.id());
    if (!iams.empty() && ValidPage(reader_, iams.front())) useIam(iams.front(), iams);
    return;
  }

  if (!catalog_.partitionAllocUnits.empty()) {
    // A partitioned table: the pages of every partition, in partition order,
    // each partition read as an unpartitioned table would be (its leaf chain
    // for a clustered index, else its IAM chain; the other where the first
    // gives nothing).
    const bool heap = catalog_.currentRowset.indexId == 0;
    std::set<PageId> seen;
    pages_.clear();
    for (const AllocUnitRow& unit : catalog_.partitionAllocUnits) {
      if (state.StopRequested()) break;
      std::vector<PageId> part;
      const bool chainFirst = !heap && ValidPage(reader_, unit.firstPage) && [&] {
        auto header = reader_.ReadPageHeader(unit.firstPage);
        return header && header->pageType == kDataPage && header->level == 0;
      }();
      if (chainFirst) part = DataChainPages(reader_, unit.firstPage);
      if (part.empty() && ValidPage(reader_, unit.firstIamPage))
        part = IamChainPages(reader_, unit.firstIamPage, {}, false);
      if (part.empty() && heap && ValidPage(reader_, unit.firstPage)) part = DataChainPages(reader_, unit.firstPage);
      for (PageId p : part)
        if (seen.insert(p).second) pages_.push_back(p);
    }
    source_ = heap ? PageListSource::kIamChain : PageListSource::kDataChain;
    rows = FillFirst(progress);
    return;
  }

  const AllocUnitRow& unit = catalog_.currentAllocUnit;
  const PageId first = unit.firstPage;
  const PageId firstIam = unit.firstIamPage;
  if (firstIam.page <= 0) {
    // No IAM page: an allocation unit of a table its rowset counts as empty
    // owns no pages (pages still carrying its key are left over from before);
    // otherwise the catalog's page list is all there is to read.
    if (catalog_.currentRowset.rowCount == 0 && unit.firstPage.page == 0) {
      pages_.clear();
      source_ = PageListSource::kNone;
      return;
    }
    useCatalogList();
    return;
  }
  if (catalog_.currentRowset.indexId == 0) {  // a heap
    if (ValidPage(reader_, firstIam)) useIam(firstIam, {});
    if (rows.empty()) useChain(first);
    return;
  }
  if (ValidPage(reader_, first)) {
    auto header = reader_.ReadPageHeader(first);
    if (header && header->pageType == kDataPage && header->level == 0) {
      useChain(first);
      if (rows.empty() && ValidPage(reader_, firstIam)) useIam(firstIam, {});
      return;
    }
  }
  if (ValidPage(reader_, firstIam)) useIam(firstIam, {});
}

std::vector<DecodedRow> RecordPaging::ShowTable(const std::vector<ColumnDescriptor>& columns, bool advancedMode,
                                                const Progress& progress) {
  columns_ = columns;
  mode_ = DecodeMode{!reader_.state().legacyCatalogMode && !catalog_.tableRowsetColumns.empty(), false};
  pages_.clear();
  source_ = PageListSource::kNone;
  starts_ = {Bookmark{0, 0}};
  current_ = 0;
  endReached_ = true;
  std::vector<DecodedRow> rows;
  Dispatch(advancedMode, progress, rows);
  AppState& state = reader_.state();
  if (state.StopRequested()) state.stopRequested = false;
  state.placeholderMode = false;
  first_ = 0;
  last_ = static_cast<int64_t>(rows.size());
  return rows;
}

bool RecordPaging::HasNext() const { return current_ + 1 < static_cast<int>(starts_.size()) || !endReached_; }

std::vector<DecodedRow> RecordPaging::NextPage(const Progress& progress) {
  if (!HasNext()) return {};
  Bookmark start = current_ + 1 < static_cast<int>(starts_.size()) ? starts_[static_cast<size_t>(current_) + 1] : resume_;
  auto rows = LoadFrom(start, false, progress);
  if (rows.empty()) {
    endReached_ = true;  // the records that seemed to follow could not be read
    return rows;
  }
  ++current_;
  if (current_ == static_cast<int>(starts_.size())) starts_.push_back(start);
  first_ = static_cast<int64_t>(current_) * kGridPageRecords;
  last_ = first_ + static_cast<int64_t>(rows.size());
  return rows;
}

std::vector<DecodedRow> RecordPaging::PreviousPage(const Progress& progress) {
  if (!HasPrevious()) return {};
  --current_;
  auto rows = LoadFrom(starts_[static_cast<size_t>(current_)], false, progress);
  first_ = static_cast<int64_t>(current_) * kGridPageRecords;
  last_ = first_ + static_cast<int64_t>(rows.size());
  return rows;
}

std::string RecordPaging::PageLabel() const {
  char text[128];
  std::snprintf(text, sizeof text, "%s%d - [%lld](%lld-%lld) Records", "Page", gridPageNumber(),
                static_cast<long long>(last_ - first_), static_cast<long long>(first_ + 1),
                static_cast<long long>(last_));
  return text;
}

std::string RecordPaging::Summary() const {
  char text[96];
  std::snprintf(text, sizeof text, "%lld rows to %lld", static_cast<long long>(first_), static_cast<long long>(last_));
  return text;
}

}  // namespace pagewright
