#include "export/export_run.h"

#include <cstdio>

namespace pagewright {

OpenedDatabase OpenForExport(const ReadContext& options, CollationTable collations, bool autoDetectCollation,
                             int64_t manualCollationKey, const std::string& backup, const std::string& damaged,
                             ReadEventSink* events) {
  OpenedDatabase db;
  db.collations = std::make_unique<CollationTable>(std::move(collations));
  ReadContext open = options;
  open.source = PageSource::kOldFile;
  open.collations = db.collations.get();
  db.reader = DatabaseReader::OpenDatabase(open, backup, damaged, events);
  if (!db.reader->openSucceeded()) {
    db.reader.reset();
    return db;
  }
  db.catalog = DatabaseCatalog::Build(*db.reader, open,
                                      CollationChoice{db.collations.get(), autoDetectCollation, manualCollationKey});
  if (!db.catalog) return db;
  db.read = open;
  db.read.legacyCatalog = db.catalog->legacyCatalog;
  if (db.catalog->identity) db.read.collation = db.catalog->identity->collation;
  db.read.source = PageSource::kNewFile;
  db.tables = UserTables(*db.catalog);
  return db;
}

namespace {

const char* ReasonText(DamageReason reason) {
  switch (reason) {
    case DamageReason::kPageUnreadable: return "pages unreadable";
    case DamageReason::kRecordRejected: return "records rejected";
    case DamageReason::kRowDropped: return "rows dropped";
    case DamageReason::kLargeValueSkipped: return "large-value parts skipped";
    case DamageReason::kValueCut: return "values cut";
    case DamageReason::kForwardUnreadable: return "forwarded records unreadable";
    case DamageReason::kSecondaryFileMissing: return "files missing";
    case DamageReason::kChainLoop: return "page chain loops";
  }
  return "other damage";
}

}  // namespace

std::string SummaryLine(const TableSummary& s) {
  char text[256];
  std::snprintf(text, sizeof text, ": %lld rows%s, %lld unreadable pages, %lld unreadable values",
                static_cast<long long>(s.rows),
                s.deletedRows ? (", " + std::to_string(s.deletedRows) + " deleted").c_str() : "",
                static_cast<long long>(s.counts.unreadablePages), static_cast<long long>(s.counts.unreadableValues));
  std::string line = s.name + text;
  for (size_t r = 0; r < kDamageReasonCount; ++r)
    if (s.counts.reported[r] != 0)
      line += ", " + std::to_string(s.counts.reported[r]) + " " + ReasonText(static_cast<DamageReason>(r));
  if (s.failed) line += "; failed: " + s.error;
  return line;
}

int ExportResult::ExitCode() const {
  if (!finished) return 1;
  size_t failed = 0;
  bool damage = false;
  for (const auto& t : tables) {
    if (t.failed) ++failed;
    if (t.counts.Damage() > 0) damage = true;
  }
  if (!tables.empty() && failed == tables.size()) return 1;
  return failed > 0 || damage ? 2 : 0;
}

std::unique_ptr<ExportWriter> MakeWriter(OpenedDatabase& db, const ExportSettings& settings, size_t tableCount,
                                         std::string& error) {
  const bool toStdout = settings.output == "-";
  const std::filesystem::path output = settings.output;
  std::error_code ec;
  switch (settings.format) {
    case ExportFormat::kCsv:
    case ExportFormat::kJsonl:
      if (toStdout) {
        if (tableCount != 1) {
          error = "--output -: standard output takes exactly one table (name it with --tables)";
          return nullptr;
        }
      } else {
        if (std::filesystem::exists(output, ec) && !std::filesystem::is_directory(output, ec)) {
          error = output.string() + ": not a folder";
          return nullptr;
        }
        std::filesystem::create_directories(output, ec);
        if (ec) {
          error = output.string() + ": cannot create the folder (" + ec.message() + ")";
          return nullptr;
        }
      }
      return settings.format == ExportFormat::kCsv ? MakeCsvWriter(output, toStdout)
                                                   : MakeJsonlWriter(output, toStdout);
    case ExportFormat::kSqlite:
      if (toStdout) {
        error = "--output -: a SQLite database must be written to a file";
        return nullptr;
      }
      if (std::filesystem::is_directory(output, ec)) {
        error = output.string() + ": is a folder, not a file";
        return nullptr;
      }
      return MakeSqliteWriter(output);
    case ExportFormat::kSql:
      if (!toStdout && std::filesystem::is_directory(output, ec)) {
        error = output.string() + ": is a folder, not a file";
        return nullptr;
      }
      return MakeSqlWriter(*db.reader, db.read, *db.catalog, output, toStdout);
  }
  return nullptr;
}

ExportResult RunExport(OpenedDatabase& db, const std::vector<const TableEntry*>& tables, const ExportSettings& settings,
                       const std::function<void(const ExportProgress&)>& progress,
                       const std::function<void(const TableSummary&)>& summary) {
  ExportResult result;
  std::unique_ptr<ExportWriter> writer = MakeWriter(db, settings, tables.size(), result.error);
  if (!writer) return result;
  ReadContext read = db.read;
  read.showDeleted = settings.showDeleted;
  for (size_t i = 0; i < tables.size() && !read.StopRequested(); ++i) {
    const TableEntry& entry = *tables[i];
    TableSummary s;
    s.name = entry.name;
    TableStream stream(*db.reader, *db.catalog, read, entry, settings.advanced);
    ExportTable table{entry, {}, settings.showDeleted};
    for (size_t k : stream.storedColumns()) table.columns.push_back(stream.columns()[k]);
    ExportProgress p{i, tables.size(), entry.name, 0, 0, static_cast<int64_t>(stream.pages().size())};
    if (progress) progress(p);
    if (!writer->BeginTable(table)) {
      s.failed = true;
      s.error = writer->error();
    } else {
      bool writeFailed = false;
      const bool parallel = writer->FormatsInParallel();
      const std::vector<size_t>& stored = stream.storedColumns();
      int64_t direct = 0, directDeleted = 0;  // rows the writer formatted itself
      TableStream::Prepare prepare;
      if (parallel)
        prepare = [&](const std::vector<TypedRow>& rows, std::string& text) { writer->FormatRows(rows, stored, text); };
      stream.Read(
          [&](std::vector<TypedRow>& rows, std::string& text) {
            // Prepared pages come as text; the rows of a page read a row at
            // a time come as rows, which the writer writes itself.
            if (parallel && rows.empty() && !text.empty() && !writer->WriteFormatted(text)) {
              writeFailed = true;
              return false;
            }
            const size_t written = rows.empty() ? 0 : writer->Rows(rows, stored);
            direct += static_cast<int64_t>(written);
            for (size_t k = 0; k < written; ++k) directDeleted += rows[k].deleted ? 1 : 0;
            s.rows = stream.counts().preparedRows + direct;
            s.deletedRows = stream.counts().preparedDeletedRows + directDeleted;
            if (written < rows.size()) {
              writeFailed = true;
              return false;
            }
            p.rows = s.rows;
            p.pagesDone = stream.counts().pagesDone;
            if (progress) progress(p);
            return true;
          },
          prepare, settings.threads);
      s.counts = stream.counts();
      if (writeFailed) {
        s.failed = true;
        s.error = writer->error();
      }
      if (!writer->EndTable(!writeFailed) && !s.failed) {
        s.failed = true;
        s.error = writer->error();
      }
    }
    if (summary) summary(s);
    result.tables.push_back(std::move(s));
  }
  result.finished = writer->Finish();
  if (!result.finished) result.error = writer->error();
  return result;
}

}  // namespace pagewright
