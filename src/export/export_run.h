// A whole export: the chosen tables of an open database, one after the
// other, each streamed into the writer of the chosen format. One table that
// cannot be written never stops the others.
#ifndef PAGEWRIGHT_EXPORT_EXPORT_RUN_H_
#define PAGEWRIGHT_EXPORT_EXPORT_RUN_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/export_writer.h"
#include "export/table_stream.h"

namespace pagewright {

// The database a data command works on: reader and catalog, and the read
// context its tables are read with (the damaged file, as a completed scan
// leaves it, with the database's collation).
struct OpenedDatabase {
  std::unique_ptr<CollationTable> collations;
  std::unique_ptr<DatabaseReader> reader;
  std::unique_ptr<DatabaseCatalog> catalog;
  ReadContext read;
  std::vector<TableEntry> tables;
};

// Opens `damaged` with `backup` as the backup file (the same path for one
// file) and builds the catalog. `options` carries the user's choices
// (deleted rows, SQL Server 2000 layout, stop token, damage reporter);
// `collation` names the collation table and whether the collation is
// detected or chosen. Null reader or catalog when that failed (`events`
// were told why).
OpenedDatabase OpenForExport(const ReadContext& options, CollationTable collations, bool autoDetectCollation,
                             int64_t manualCollationKey, const std::string& backup, const std::string& damaged,
                             ReadEventSink* events);

struct ExportSettings {
  ExportFormat format = ExportFormat::kCsv;
  std::string output;  // folder, file or "-"
  bool advanced = false;
  bool showDeleted = false;  // deleted rows come back, and every row carries __deleted
  unsigned threads = 0;      // page decoders (0: one per processor)
};

struct TableSummary {
  std::string name;
  int64_t rows = 0;
  int64_t deletedRows = 0;
  TableReadCounts counts;
  bool failed = false;
  std::string error;
};

// "dbo.Orders: 830 rows, 0 unreadable pages, 0 unreadable values" (and the
// error of a table that failed).
std::string SummaryLine(const TableSummary& summary);

struct ExportProgress {
  size_t table = 0;  // 0-based
  size_t tableCount = 0;
  std::string name;
  int64_t rows = 0;
  int64_t pagesDone = 0, pageCount = 0;
};

struct ExportResult {
  std::vector<TableSummary> tables;
  bool finished = false;  // the output was completed (false: see error)
  std::string error;
  // 0: every table written without damage; 2: something written but damage
  // counted or a table failed; 1: nothing could be written.
  int ExitCode() const;
};

// Exports `tables` (entries of db.tables). `progress` is called after every
// page; `summary` once per table when it is done.
ExportResult RunExport(OpenedDatabase& db, const std::vector<const TableEntry*>& tables, const ExportSettings& settings,
                       const std::function<void(const ExportProgress&)>& progress,
                       const std::function<void(const TableSummary&)>& summary);

// The writer of a format; null with `error` for an output it cannot take.
std::unique_ptr<ExportWriter> MakeWriter(OpenedDatabase& db, const ExportSettings& settings, size_t tableCount,
                                         std::string& error);

}  // namespace pagewright

#endif  // PAGEWRIGHT_EXPORT_EXPORT_RUN_H_
