// Reading a table's rows for export: the user tables of an open database,
// found by name, and every row of one of them streamed page by page as
// typed values with large values read in full.
//
// Pages are decoded by worker threads and handed to the caller in page
// order; at most a few pages are decoded ahead of the caller, so memory
// stays bounded by those pages plus the largest value whatever the table
// size.
#ifndef PAGEWRIGHT_EXPORT_TABLE_STREAM_H_
#define PAGEWRIGHT_EXPORT_TABLE_STREAM_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "catalog/database_catalog.h"
#include "catalog/object_details.h"
#include "state/damage.h"
#include "tabledata/row_decoder.h"

namespace pagewright {

// A user table of the catalog.
struct TableEntry {
  std::string name;    // schema-qualified where the schema is known: "dbo.Orders"
  std::string schema;  // "dbo"; empty when unknown
  std::string bareName;
};

// `text` with A-Z made a-z (names compare so: SQL Server's and SQLite's
// default rules, and file systems that ignore case).
std::string AsciiLower(std::string text);

// Every user table ("U ") with a name, in catalog order.
std::vector<TableEntry> UserTables(const DatabaseCatalog& catalog);

// The table a user's name means: the exact name, else case-insensitively,
// in "schema.name", "[schema].[name]" or bare "name" form (bare only when
// one schema holds it). `suggestion` gets the closest name on a miss.
const TableEntry* FindTable(const std::vector<TableEntry>& tables, const std::string& wanted,
                            std::string* suggestion = nullptr);

// Damage met while reading one table: what the stream saw itself, and the
// events the decoders reported through the read context.
struct TableReadCounts {
  int64_t pages = 0;             // data pages of the table's page list
  int64_t pagesDone = 0;         // of them, handed over whole so far
  int64_t unreadablePages = 0;   // pages that could not be read as data pages
  int64_t unreadableValues = 0;  // values whose bytes could not be decoded
  int64_t preparedRows = 0, preparedDeletedRows = 0;  // rows handed over as prepared text
  DamageCounts reported{};       // per reason
  uint64_t ReportedTotal() const {
    uint64_t total = 0;
    for (uint64_t n : reported) total += n;
    return total;
  }
  int64_t Damage() const { return unreadablePages + unreadableValues + static_cast<int64_t>(ReportedTotal()); }
};

// One table prepared for reading: its columns and page list.
class TableStream {
 public:
  // Loads the working set of `table` and finds its pages as the grid
  // would (`advanced`: every data page carrying its object id). `read`
  // gives the options, page source and code pages; its damage reporter, if
  // any, gets every event of this table's read as well.
  TableStream(DatabaseReader& reader, const DatabaseCatalog& catalog, const ReadContext& read, const TableEntry& table,
              bool advanced);

  // Every column descriptor of the table, and the positions among them of
  // the stored columns an export writes (computed columns hold no data).
  const std::vector<ColumnDescriptor>& columns() const { return columns_; }
  const std::vector<size_t>& storedColumns() const { return stored_; }
  const std::vector<PageId>& pages() const { return pages_; }
  const ObjectDetails& details() const { return details_; }

  // Decodes every page and hands each page's rows to `sink` in page order;
  // stops early when `sink` returns false or a stop is requested. `threads`
  // decoders run at once (0: one per processor). A page whose large values
  // are too big to read ahead is handed over a row at a time.
  using PageSink = std::function<bool(std::vector<TypedRow>& rows)>;
  void Read(const PageSink& sink, unsigned threads = 0);
  // As Read, and `prepare` (safe to call from several threads at once)
  // runs in the decoding threads on each page's rows, giving the text the
  // sink is handed with them (instead of the rows, which the decoder
  // keeps for its next page): a writer formats pages in parallel and
  // writes them in order. counts() tells how many rows the texts hold.
  // The rows of a page handed over a row at a time come unprepared: the
  // sink gets the row and an empty text.
  using PreparedSink = std::function<bool(std::vector<TypedRow>& rows, std::string& prepared)>;
  using Prepare = std::function<void(const std::vector<TypedRow>& rows, std::string& prepared)>;
  void Read(const PreparedSink& sink, const Prepare& prepare, unsigned threads = 0);

  const TableReadCounts& counts() const { return counts_; }

 private:
  // Whether the page's PFS byte marks it allocated (true when unknown).
  bool Allocated(PageId id) const;

  DatabaseReader& reader_;
  ReadContext read_;
  DamageCounters damage_;
  ObjectDetails details_;
  std::vector<ColumnDescriptor> columns_;
  std::vector<size_t> stored_;
  std::vector<PageId> pages_;
  DecodeMode mode_;
  TableReadCounts counts_;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_EXPORT_TABLE_STREAM_H_
