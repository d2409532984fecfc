// The data commands: export (every row of the chosen tables into CSV, JSON
// Lines, SQLite or T-SQL), schema (their CREATE TABLE and CREATE INDEX
// statements) and tables (the user tables with their row and page counts).
// They open the database and build the catalog without the shell's tree.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/activity_log.h"
#include "app/loss_report.h"
#include "app/output_guard.h"
#include "app/read_texts.h"
#include "catalog/object_details.h"
#include "cli/commands.h"
#include "export/export_run.h"
#include "export/schema_script.h"
#include "pagestore/collation_table.h"

namespace pagewright::cli {

namespace {

struct DataArguments {
  std::vector<std::string> positional;
  std::string backup;
  bool advanced = false, showDeleted = false, sql2000 = false, json = false;
  std::string collation = "auto";
  std::string logFolder;
  std::vector<std::string> tables;
  bool tablesGiven = false;
  std::string format;
  std::string output;
  unsigned threads = 0;
  std::string error;
};

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> out;
  std::string item;
  int depth = 0;  // commas inside [ ] belong to the name
  for (char c : text) {
    if (c == '[') ++depth;
    if (c == ']' && depth > 0) --depth;
    if (c == ',' && depth == 0) {
      if (!item.empty()) out.push_back(item);
      item.clear();
    } else {
      item.push_back(c);
    }
  }
  if (!item.empty()) out.push_back(item);
  return out;
}

// `allowed`: the options of the command beyond the scan options.
DataArguments ParseDataArguments(const std::vector<std::string>& args, const std::vector<std::string>& allowed) {
  DataArguments a;
  auto permitted = [&](const std::string& name) {
    return std::find(allowed.begin(), allowed.end(), name) != allowed.end();
  };
  for (size_t i = 0; i < args.size() && a.error.empty(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        a.error = "option " + arg + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string v;
    if (arg == "--backup") {
      value(a.backup);
    } else if (arg == "--advanced") {
      a.advanced = true;
    } else if (arg == "--show-deleted") {
      a.showDeleted = true;
    } else if (arg == "--sql2000") {
      a.sql2000 = true;
    } else if (arg == "--collation") {
      value(a.collation);
    } else if (arg == "--log-dir") {
      value(a.logFolder);
    } else if (arg == "--tables" && permitted(arg)) {
      if (value(v)) {
        a.tables = SplitList(v);
        a.tablesGiven = true;
        if (a.tables.empty()) a.error = "option --tables: no table named";
      }
    } else if (arg == "--format" && permitted(arg)) {
      if (value(a.format) && a.format != "csv" && a.format != "jsonl" && a.format != "sqlite" && a.format != "sql")
        a.error = "option --format: unknown format '" + a.format + "' (csv, sql, sqlite or jsonl)";
    } else if (arg == "--output" && permitted(arg)) {
      value(a.output);
    } else if (arg == "--threads" && permitted(arg)) {
      if (value(v)) {
        char* end = nullptr;
        long n = std::strtol(v.c_str(), &end, 10);
        if (v.empty() || *end != '\0' || n < 1 || n > 64)
          a.error = "option --threads: '" + v + "' is not a number from 1 to 64";
        else
          a.threads = static_cast<unsigned>(n);
      }
    } else if (arg == "--json" && permitted(arg)) {
      a.json = true;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      a.error = "unknown option " + arg;
    } else {
      a.positional.push_back(arg);
    }
  }
  return a;
}

// A message about a database file: its path and the reason.
bool CheckDatabaseFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    std::fprintf(stderr, "pagewright: %s: no such file\n", path.c_str());
    return false;
  }
  if (!std::filesystem::is_regular_file(path, ec)) {
    std::fprintf(stderr, "pagewright: %s: not a regular file\n", path.c_str());
    return false;
  }
  return true;
}

// Opens the database as the arguments say; a message on standard error when
// that fails.
bool Open(const DataArguments& a, OpenedDatabase& db) {
  const std::string& mdf = a.positional[0];
  const std::string backup = a.backup.empty() ? mdf : a.backup;
  if (!CheckDatabaseFile(mdf) || (backup != mdf && !CheckDatabaseFile(backup))) return false;
  CollationTable collations = LoadCollationTable(ExecutableFolder());
  bool autoDetect = true;
  int64_t manualKey = 0;
  if (a.collation != "auto") {
    bool found = false;
    for (const auto& [key, entry] : collations) {
      if (entry.name == a.collation) {
        autoDetect = false;
        manualKey = key;
        found = true;
        break;
      }
    }
    if (!found) {
      std::fprintf(stderr, "pagewright: option --collation: unknown collation %s\n", a.collation.c_str());
      return false;
    }
  }
  ReadContext options;
  options.legacyCatalog = a.sql2000;
  options.showDeleted = a.showDeleted;
  // The reader keeps its event sink for the secondary files it finds later:
  // both live as long as the process.
  static ProgressSink sink;
  static NotificationEvents events(&sink);
  sink.progress.Show();
  db = OpenForExport(options, std::move(collations), autoDetect, manualKey, backup, mdf, &events);
  sink.progress.Hide();
  if (!db.reader) {
    std::fprintf(stderr, "pagewright: %s: cannot be read as a database file\n", mdf.c_str());
    return false;
  }
  if (!db.catalog) {
    std::fprintf(stderr, "pagewright: %s: the catalog cannot be read\n", mdf.c_str());
    return false;
  }
  return true;
}

// What the open found lost (secondary files not found, files shorter than
// their allocation maps), each on standard error and in `log` when open;
// true when there was something. A database whose catalog gave no user
// table is said so too.
bool ReportOpenLosses(const OpenedDatabase& db, const std::string& mdf, ActivityLog* log = nullptr) {
  const std::vector<std::string> losses = OpenLosses(*db.reader, *db.catalog);
  for (const std::string& line : losses) {
    std::fprintf(stderr, "pagewright: %s\n", line.c_str());
    if (log != nullptr && log->isOpen()) log->Line(line);
  }
  if (db.tables.empty()) std::fprintf(stderr, "pagewright: %s: the catalog names no user table\n", mdf.c_str());
  return !losses.empty();
}

// The tables the user named (all when none); false with a message for a
// name that matches none.
bool PickTables(const OpenedDatabase& db, const std::vector<std::string>& names, std::vector<const TableEntry*>& out) {
  if (names.empty()) {
    for (const auto& t : db.tables) out.push_back(&t);
    return true;
  }
  for (const auto& name : names) {
    std::string suggestion;
    const TableEntry* t = FindTable(db.tables, name, &suggestion);
    if (t == nullptr) {
      std::fprintf(stderr, "pagewright: no table named %s%s\n", name.c_str(),
                   suggestion.empty() ? "" : ("; did you mean " + suggestion + "?").c_str());
      return false;
    }
    if (std::find(out.begin(), out.end(), t) == out.end()) out.push_back(t);
  }
  return true;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out + "\"";
}

}  // namespace

int RunExport(const std::vector<std::string>& args) {
  DataArguments a = ParseDataArguments(args, {"--tables", "--format", "--output", "--threads"});
  if (a.error.empty() && a.positional.size() != 1) a.error = a.positional.empty() ? "no database file named" : "one database file only";
  if (a.error.empty() && a.format.empty()) a.error = "option --format is required (csv, sql, sqlite or jsonl)";
  if (a.error.empty() && a.output.empty()) a.error = "option --output is required";
  if (!a.error.empty()) {
    std::fprintf(stderr, "pagewright export: %s\n", a.error.c_str());
    return 1;
  }
  OpenedDatabase db;
  if (!Open(a, db)) return 1;
  ActivityLog log;
  if (!a.logFolder.empty() && !log.Open(a.logFolder))
    std::fprintf(stderr, "pagewright: %s: cannot write the activity log there\n", a.logFolder.c_str());
  if (log.isOpen()) log.Line("Export of " + a.positional[0] + " as " + a.format + " to " + a.output);
  const bool lost = ReportOpenLosses(db, a.positional[0], &log);
  std::vector<const TableEntry*> tables;
  if (!PickTables(db, a.tables, tables)) return 1;

  // No output may be a file the recovery reads.
  if (a.output != "-") {
    const std::vector<std::filesystem::path> inputs = {a.positional[0], a.backup.empty() ? a.positional[0] : a.backup};
    std::vector<std::filesystem::path> outputs;
    if (a.format == "csv" || a.format == "jsonl") {
      std::set<std::string> taken;
      for (const TableEntry* t : tables)
        outputs.push_back(std::filesystem::path(a.output) / TableFileName(*t, a.format, &taken));
    } else {
      outputs.push_back(a.output);
    }
    for (const auto& output : outputs) {
      if (auto refusal = OutputRefusal(output, inputs)) {
        std::fprintf(stderr, "pagewright export: %s\n", refusal->c_str());
        return 1;
      }
    }
  }

  ExportSettings settings;
  settings.format = a.format == "csv"     ? ExportFormat::kCsv
                    : a.format == "jsonl" ? ExportFormat::kJsonl
                    : a.format == "sqlite" ? ExportFormat::kSqlite
                                           : ExportFormat::kSql;
  settings.output = a.output;
  settings.advanced = a.advanced;
  settings.showDeleted = a.showDeleted;
  settings.threads = a.threads;

  TerminalProgress bar;
  bar.Show();
  auto started = std::chrono::steady_clock::now();
  auto lastDraw = started - std::chrono::seconds(1);
  auto progress = [&](const ExportProgress& p) {
    auto now = std::chrono::steady_clock::now();
    if (p.pagesDone == 0) {
      started = now;
      bar.SetRange(0, std::max<int64_t>(p.pageCount, 1));
    }
    if (now - lastDraw < std::chrono::milliseconds(200) && p.pagesDone != 0) return;
    lastDraw = now;
    const double seconds = std::chrono::duration<double>(now - started).count();
    char label[160];
    std::snprintf(label, sizeof label, "table %zu of %zu: %s, %lld rows, %.0f rows/s", p.table + 1, p.tableCount,
                  p.name.c_str(), static_cast<long long>(p.rows), seconds > 0 ? p.rows / seconds : 0.0);
    bar.SetPosition(p.pagesDone);
    bar.SetLabel(label);
  };
  auto summary = [&](const TableSummary& s) {
    bar.Clear();
    const std::string line = SummaryLine(s);
    std::fprintf(stderr, "%s\n", line.c_str());
    if (log.isOpen()) log.Line(line);
  };
  ExportResult result = RunExport(db, tables, settings, progress, summary);
  bar.Hide();
  if (!result.finished) std::fprintf(stderr, "pagewright export: %s\n", result.error.c_str());
  // Pages lost with the file's end or a missing file are lost rows even
  // when every table read cleanly; with no table at all nothing was saved.
  const int code = result.ExitCode();
  if (lost && code == 0) return tables.empty() ? 1 : 2;
  return code;
}

int RunSchema(const std::vector<std::string>& args) {
  DataArguments a = ParseDataArguments(args, {});
  if (a.error.empty() && a.positional.empty()) a.error = "no database file named";
  if (!a.error.empty()) {
    std::fprintf(stderr, "pagewright schema: %s\n", a.error.c_str());
    return 1;
  }
  OpenedDatabase db;
  if (!Open(a, db)) return 1;
  const bool lost = ReportOpenLosses(db, a.positional[0]);
  std::vector<const TableEntry*> tables;
  if (!PickTables(db, std::vector<std::string>(a.positional.begin() + 1, a.positional.end()), tables)) return 1;
  SchemaSource source = LoadSchemaSource(*db.reader, db.read, *db.catalog);
  for (const TableEntry* t : tables) {
    std::string text = CreateTableScript(source, *t);
    for (const std::string& index : IndexScripts(source, *t)) text += index;
    std::printf("%s\n", text.c_str());
  }
  return lost ? 2 : 0;
}

int RunTables(const std::vector<std::string>& args) {
  DataArguments a = ParseDataArguments(args, {"--json"});
  if (a.error.empty() && a.positional.size() != 1) a.error = a.positional.empty() ? "no database file named" : "one database file only";
  if (!a.error.empty()) {
    std::fprintf(stderr, "pagewright tables: %s\n", a.error.c_str());
    return 1;
  }
  OpenedDatabase db;
  if (!Open(a, db)) return 1;
  const bool lost = ReportOpenLosses(db, a.positional[0]);
  if (a.json) std::printf("[");
  bool first = true;
  for (const TableEntry& t : db.tables) {
    // The pages an export reads, and the row count the catalog keeps.
    TableStream stream(*db.reader, *db.catalog, db.read, t, a.advanced);
    long long rows = stream.details().currentRowset.rowCount;
    const size_t pages = stream.pages().size();
    if (rows < 0) {
      // No row count kept (SQL Server 2000 catalogs): the rows on its pages.
      rows = 0;
      stream.Read([&](std::vector<TypedRow>& page) {
        rows += static_cast<long long>(page.size());
        return true;
      });
    }
    if (a.json) {
      std::printf("%s\n  {\"name\": %s, \"schema\": %s, \"table\": %s, \"rows\": %lld, \"dataPages\": %zu}",
                  first ? "" : ",", JsonString(t.name).c_str(), JsonString(t.schema).c_str(),
                  JsonString(t.bareName).c_str(), rows, pages);
    } else {
      std::printf("%s\t%lld rows\t%zu data pages\n", t.name.c_str(), rows, pages);
    }
    first = false;
  }
  if (a.json) std::printf("%s]\n", first ? "" : "\n");
  return lost ? 2 : 0;
}

}  // namespace pagewright::cli
