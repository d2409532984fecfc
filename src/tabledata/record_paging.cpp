#include "tabledata/record_paging.h"

#include <cstdio>
#include <set>

#include "pagestore/allocation_map.h"
#include "records/record_enumeration.h"

namespace pagewright {

namespace {

// A page reference that can be read: page number above 0 and below its
// file's page count.
bool ValidPage(const DatabaseReader& reader, PageId id) {
  return id.page > 0 && static_cast<uint64_t>(id.page) < reader.PageCountOf(id.fileId);
}

bool NonZero(PageId id) { return id.fileId != 0 && id.page != 0; }

}  // namespace

std::vector<PageId> IamChainPages(DatabaseReader& reader, const ReadContext& context, PageId firstIam,
                                  const std::vector<PageId>& legacyIamPages, bool legacy) {
  std::vector<PageId> out;
  std::set<PageId> visited;
  size_t legacyIndex = 0;
  PageId current = legacy ? (legacyIamPages.empty() ? PageId{0, 0} : legacyIamPages[0]) : firstIam;
  while (current.page != 0 && !context.StopRequested()) {
    if (!visited.insert(current).second) {
      // A list of SQL Server 2000 IAM pages may name one twice; only a
      // next-page reference that comes back is a damaged chain.
      if (!legacy) context.Report(DamageReason::kChainLoop, current.fileId, current.page);
      break;
    }
    auto iam = reader.ReadIamPage(context, current);
    if (!iam) {
      context.Report(DamageReason::kPageUnreadable, current.fileId, current.page);
      break;
    }
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

namespace {

// The pages a chain of next-page references names from `start`, start
// first. A page's successor is listed when `everyPage` or when the page is
// a data page; the walk goes on either way. A chain that comes back to a
// page already walked is damaged: it ends there (and is reported when
// `reportLoop`).
std::vector<PageId> WalkChain(DatabaseReader& reader, const ReadContext& context, PageId start, bool everyPage,
                              bool reportLoop) {
  std::vector<PageId> out;
  std::set<PageId> visited;
  if (NonZero(start)) out.push_back(start);
  PageId current = start;
  while (current.page != 0 && !context.StopRequested() && visited.insert(current).second) {
    auto header = reader.ReadPageHeader(context, current);
    if (!header) break;  // the page itself is reported when its rows are read
    PageId next = header->nextPage;
    if (NonZero(next) && visited.count(next)) {
      if (reportLoop) context.Report(DamageReason::kChainLoop, current.fileId, current.page);
      break;
    }
    if (NonZero(next) && (everyPage || header->pageType == kDataPage)) out.push_back(next);
    current = next;
  }
  return out;
}

}  // namespace

std::vector<PageId> DataChainPages(DatabaseReader& reader, const ReadContext& context, PageId start) {
  return WalkChain(reader, context, start, false, true);
}

std::vector<DecodedRow> RecordPaging::LoadFrom(Bookmark start, bool placeholders, const Progress& progress) {
  RowDecodeContext context{columns_};
  ReadContext read = read_;
  read.placeholders = placeholders;
  std::vector<DecodedRow> rows;
  endReached_ = true;
  bool full = false;
  for (int64_t p = start.page; p < static_cast<int64_t>(pages_.size()) && !read.StopRequested(); ++p) {
    auto pageRows = ReadPageRows(reader_, read, pages_[static_cast<size_t>(p)], context, mode_);
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
  return rows;
}

std::vector<DecodedRow> RecordPaging::FillFirst(const Progress& progress) {
  starts_ = {Bookmark{0, 0}};
  current_ = 0;
  return LoadFrom(starts_[0], true, progress);
}

void RecordPaging::Dispatch(bool advancedMode, const Progress& progress, std::vector<DecodedRow>& rows) {
  const ReadContext& read = read_;
  auto useCatalogList = [&] {
    pages_.clear();
    for (PageId p : details_.tablePages)
      if (NonZero(p)) pages_.push_back(p);
    source_ = PageListSource::kCatalogList;
    rows = FillFirst(progress);
  };
  auto useIam = [&](PageId firstIam, const std::vector<PageId>& legacyList) {
    pages_ = IamChainPages(reader_, read, firstIam, legacyList, read.legacyCatalog);
    source_ = PageListSource::kIamChain;
    rows = FillFirst(progress);
  };
  auto useChain = [&](PageId start) {
    pages_ = DataChainPages(reader_, read, start);
    source_ = PageListSource::kDataChain;
    rows = FillFirst(progress);
  };

  if (advancedMode) {
    useCatalogList();
    return;
  }
  if (read.legacyCatalog) {
    const int32_t objectId = details_.currentObject.id;
    auto row = catalog_.legacyIndexMap.find(objectId);
    if (row != catalog_.legacyIndexMap.end()) {
      // The chain of the clustered index, then every page of the table the
      // chain did not reach.
      PageId start{static_cast<int16_t>(row->second.fileId), static_cast<int32_t>(row->second.firstPage)};
      // SQL Server 2000 leaves the last page of a small table naming a page
      // already walked: the walk ends there without loss.
      std::vector<PageId> chain = WalkChain(reader_, read, start, true, false);
      std::set<PageId> seen(chain.begin(), chain.end());
      if (chain.empty()) {
        useCatalogList();
        return;
      }
      for (PageId p : details_.tablePages) {
        if (read.StopRequested()) break;
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

  if (!details_.partitionAllocUnits.empty()) {
    // A partitioned table: the pages of every partition, in partition order,
    // each partition read as an unpartitioned table would be (its leaf chain
    // for a clustered index, else its IAM chain; the other where the first
    // gives nothing).
    const bool heap = details_.currentRowset.indexId == 0;
    std::set<PageId> seen;
    pages_.clear();
    for (const AllocUnitRow& unit : details_.partitionAllocUnits) {
      if (read.StopRequested()) break;
      std::vector<PageId> part;
      const bool chainFirst = !heap && ValidPage(reader_, unit.firstPage) && [&] {
        auto header = reader_.ReadPageHeader(read, unit.firstPage);
        return header && header->pageType == kDataPage && header->level == 0;
      }();
      if (chainFirst) part = DataChainPages(reader_, read, unit.firstPage);
      if (part.empty() && ValidPage(reader_, unit.firstIamPage))
        part = IamChainPages(reader_, read, unit.firstIamPage, {}, false);
      if (part.empty() && heap && ValidPage(reader_, unit.firstPage))
        part = DataChainPages(reader_, read, unit.firstPage);
      for (PageId p : part)
        if (seen.insert(p).second) pages_.push_back(p);
    }
    source_ = heap ? PageListSource::kIamChain : PageListSource::kDataChain;
    rows = FillFirst(progress);
    return;
  }

  const AllocUnitRow& unit = details_.currentAllocUnit;
  const PageId first = unit.firstPage;
  const PageId firstIam = unit.firstIamPage;
  if (firstIam.page <= 0) {
    // No IAM page: an allocation unit of a table its rowset counts as empty
    // owns no pages (pages still carrying its key are left over from before);
    // otherwise the catalog's page list is all there is to read.
    if (details_.currentRowset.rowCount == 0 && unit.firstPage.page == 0) {
      pages_.clear();
      source_ = PageListSource::kNone;
      return;
    }
    useCatalogList();
    return;
  }
  // The catalog names where the table's pages are listed: an IAM page past
  // the end of its file is lost, and with it every page it lists (the first
  // data page too when it lies there as well).
  if (!ValidPage(reader_, firstIam)) {
    read.Report(DamageReason::kPageUnreadable, firstIam.fileId, firstIam.page);
    if (first.page > 0 && !ValidPage(reader_, first)) read.Report(DamageReason::kPageUnreadable, first.fileId, first.page);
  }
  if (details_.currentRowset.indexId == 0) {  // a heap
    if (ValidPage(reader_, firstIam)) useIam(firstIam, {});
    if (rows.empty()) useChain(first);
    return;
  }
  if (ValidPage(reader_, first)) {
    auto header = reader_.ReadPageHeader(read, first);
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
  mode_ = DecodeMode{!read_.legacyCatalog && !details_.tableRowsetColumns.empty(), false};
  pages_.clear();
  source_ = PageListSource::kNone;
  starts_ = {Bookmark{0, 0}};
  current_ = 0;
  endReached_ = true;
  std::vector<DecodedRow> rows;
  Dispatch(advancedMode, progress, rows);
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

std::optional<TypedRow> RecordPaging::FullRow(int64_t index) const {
  if (index < 0 || index >= last_ - first_ || current_ >= static_cast<int>(starts_.size())) return std::nullopt;
  const Bookmark start = starts_[static_cast<size_t>(current_)];
  ReadContext read = read_;
  read.damage = nullptr;
  RowDecodeContext context{columns_};
  read.columns = &context;
  std::vector<TypedRow> rows;
  // Pages are counted with placeholders (no large value read); the page
  // that holds the record is decoded again in full, with the column state
  // it was first decoded with.
  for (int64_t p = start.page; p < static_cast<int64_t>(pages_.size()); ++p) {
    auto page = LoadDataPage(reader_, read, pages_[static_cast<size_t>(p)]);
    if (!page || page->header.pageType != kDataPage) continue;
    const RowDecodeContext before = context;
    read.placeholders = true;
    DecodePageCells(*page, context, reader_, read, mode_, rows);
    const int64_t from = p == start.page ? start.record : 0;
    const int64_t here = static_cast<int64_t>(rows.size()) - from;
    if (index >= here) {
      index -= std::max<int64_t>(here, 0);
      continue;
    }
    context = before;
    read.placeholders = false;
    DecodePageCells(*page, context, reader_, read, mode_, rows);
    const size_t k = static_cast<size_t>(from + index);
    if (k >= rows.size()) return std::nullopt;
    return std::move(rows[k]);
  }
  return std::nullopt;
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
