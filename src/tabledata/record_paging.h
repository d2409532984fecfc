// Record paging: the data pages of the selected table, read 1000 records at
// a time (a grid page), with the start of every grid page kept so that the
// next and previous grid pages can be loaded again.
//
// The pages of a table are found, in standard mode, through its allocation
// (IAM) pages or its chain of data pages, whichever the catalog's first
// page and first IAM page allow; in advanced mode they are every data page
// that carries the table's object id (the catalog page list).
#ifndef PAGEWRIGHT_TABLEDATA_RECORD_PAGING_H_
#define PAGEWRIGHT_TABLEDATA_RECORD_PAGING_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalog/database_catalog.h"
#include "catalog/object_details.h"
#include "tabledata/row_decoder.h"

namespace pagewright {

constexpr int64_t kGridPageRecords = 1000;

// The start of a grid page: page index in the page list and record index
// within that page's decoded rows.
struct Bookmark {
  int64_t page = 0;
  int64_t record = 0;
  friend bool operator==(const Bookmark&, const Bookmark&) = default;
};

// How a table's page list was found.
enum class PageListSource { kNone, kIamChain, kDataChain, kCatalogList };

// Page lists, as the loaders build them.
// The pages an IAM chain names: each IAM page's single pages, then the
// pages of its allocated extents; the chain follows next-page references
// (or, for SQL Server 2000 catalogs, the given list of IAM pages).
// An IAM page that cannot be read and a chain that loops are reported.
std::vector<PageId> IamChainPages(DatabaseReader& reader, const ReadContext& context, PageId firstIam,
                                  const std::vector<PageId>& legacyIamPages, bool legacy);
// The doubly linked chain of data pages from `start`; a chain that comes
// back to a page already walked ends there and is reported.
std::vector<PageId> DataChainPages(DatabaseReader& reader, const ReadContext& context, PageId start);

class RecordPaging {
 public:
  using Progress = std::function<void(int64_t position)>;

  // Every read of the table goes through `read` (its page source, options
  // and damage reporter); the first grid page adds placeholders to it.
  RecordPaging(DatabaseReader& reader, const DatabaseCatalog& catalog, ObjectDetails details, const ReadContext& read)
      : reader_(reader), catalog_(catalog), details_(std::move(details)), read_(read) {}

  // A tree click on a table: finds its pages and loads the first grid page
  // (large values shown as placeholders). `columns` are the table's
  // descriptors (the working set given at construction describes it).
  std::vector<DecodedRow> ShowTable(const std::vector<ColumnDescriptor>& columns, bool advancedMode,
                                    const Progress& progress);
  // The following / preceding grid page; empty when there is none.
  std::vector<DecodedRow> NextPage(const Progress& progress);
  std::vector<DecodedRow> PreviousPage(const Progress& progress);

  bool HasNext() const;
  bool HasPrevious() const { return current_ > 0; }

  // Grid page number (1 for the first), and the records before it and up
  // to its end.
  int gridPageNumber() const { return current_ + 1; }
  int64_t firstRecordNumber() const { return first_; }
  int64_t lastRecordNumber() const { return last_; }
  // "Page2 - [1000](1001-2000) Records" and "1000 rows to 2000".
  std::string PageLabel() const;
  std::string Summary() const;

  // Record `index` (0-based) of the grid page shown, read again with every
  // large value in full (the first grid page shows placeholders for them);
  // empty when there is no such record. Damage met again is not counted
  // again.
  std::optional<TypedRow> FullRow(int64_t index) const;

  const std::vector<PageId>& pageList() const { return pages_; }
  PageListSource source() const { return source_; }

 private:
  std::vector<DecodedRow> LoadFrom(Bookmark start, bool placeholders, const Progress& progress);
  std::vector<DecodedRow> FillFirst(const Progress& progress);
  void Dispatch(bool advancedMode, const Progress& progress, std::vector<DecodedRow>& rows);

  DatabaseReader& reader_;
  const DatabaseCatalog& catalog_;
  ObjectDetails details_;
  ReadContext read_;
  std::vector<ColumnDescriptor> columns_;
  DecodeMode mode_;
  std::vector<PageId> pages_;
  PageListSource source_ = PageListSource::kNone;
  std::vector<Bookmark> starts_;  // start of every grid page loaded so far
  Bookmark resume_;               // where the grid page after the current one starts
  bool endReached_ = true;        // no record after the current grid page
  int current_ = 0;               // index of the grid page shown
  int64_t first_ = 0, last_ = 0;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_TABLEDATA_RECORD_PAGING_H_
