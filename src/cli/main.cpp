// pagewright: the headless shell of Korvane Pagewright.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace {

constexpr const char* kVersion = "0.1.0";

constexpr const char* kScanOptions =
    "scan options:\n"
    "  --backup OLD_MDF        the backup file (default: MDF itself)\n"
    "  --advanced              find a table's pages by object id instead of its allocation pages\n"
    "  --show-deleted          deleted (ghost) records count as rows\n"
    "  --show-advanced-deleted also records no slot points to (scan, tree, rows, script)\n"
    "  --sql2000               read the SQL Server 2000 system tables\n"
    "  --collation auto|NAME   the collation of character data (default: from the boot page)\n"
    "  --log-dir DIR           folder of the activity log\n"
    "  --snapshot FILE.KVSNAPDB  the backup file's mapping from a snapshot (scan, tree, rows, script)\n";

struct CommandHelp {
  const char* name;
  const char* usage;
  const char* text;
};

const CommandHelp kCommands[] = {
    {"export", "export MDF [--tables T1,T2...] --format csv|sql|sqlite|jsonl --output PATH [--threads N] [scan options]",
     "Writes every row of the tables (all user tables unless --tables names some), large values in full.\n"
     "  csv     a folder with one schema.table.csv per table (RFC 4180, UTF-8, header line; NULL is an\n"
     "          empty field, the empty string \"\"; binary 0x hex); --output - writes one table to stdout\n"
     "  jsonl   a folder with one schema.table.jsonl per table, one JSON object per row\n"
     "  sqlite  one SQLite database file, a table per source table named schema.table\n"
     "  sql     one T-SQL script that re-creates the tables and their rows\n"
     "With --show-deleted every row carries a __deleted column. One summary line per table on stderr.\n"
     "Exit status: 0 everything read without damage, 2 written but damage counted, 1 failed.\n"},
    {"schema", "schema MDF [TABLE...] [scan options]", "The CREATE TABLE and CREATE INDEX statements of the tables (all user tables by default).\n"},
    {"tables", "tables MDF [--json] [scan options]", "Every user table with its row count and data page count.\n"},
    {"scan", "scan MDF [scan options]", "Scans MDF as the Open command does; log lines, then the object tree.\n"},
    {"tree", "tree MDF [scan options]", "The object tree with every table expanded.\n"},
    {"rows", "rows MDF TABLE [--page N] [scan options]", "Grid page N of a table as CSV, after its page label.\n"},
    {"script", "script MDF NAME [scan options]",
     "The SQL text of a view, procedure, function, trigger, default, key or constraint.\n"},
    {"snapshot", "snapshot save MDF OUT.KVSNAPDB [--force] [scan options]",
     "Scans and saves the snapshot; never over a file of the database, and over a file that is not a\n"
     "snapshot only with --force.\n"},
    {"info", "info FILE", "Database name, version, collation and page count.\n"},
    {"catalog", "catalog FILE [--sql2000]", "The tables, columns, keys and modules the catalog holds.\n"},
    {"dump", "dump FILE OBJECT_ID [--data] [--deleted]", "The records of the pages mapped under an object id.\n"},
    {"check", "check MDF [--json]",
     "Verifies every page of every file; damaged pages by object, and the tables that lose rows.\n"
     "Exit status: 0 clean, 2 damage found, 1 the check failed.\n"},
    {"page", "page MDF FILE:PAGE [--hex]", "One page: header fields, slot array, every record decoded.\n"},
};

const CommandHelp* FindCommand(const std::string& name) {
  for (const auto& c : kCommands)
    if (name == c.name) return &c;
  return nullptr;
}

void PrintUsage(std::FILE* out) {
  std::fprintf(out, "usage: pagewright COMMAND [ARGS]\n       pagewright help COMMAND\ncommands:\n");
  for (const auto& c : kCommands) std::fprintf(out, "  %s\n", c.usage);
  std::fprintf(out, "%s", kScanOptions);
}

void PrintCommandHelp(const CommandHelp& c) {
  std::printf("usage: pagewright %s\n%s", c.usage, c.text);
  if (std::strstr(c.usage, "scan options") != nullptr) std::printf("%s", kScanOptions);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return 1;
  }
  std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "--help" || command == "-h") {
    PrintUsage(stdout);
    return 0;
  }
  if (command == "--version") {
    std::printf("pagewright %s\n", kVersion);
    return 0;
  }
  if (command == "help") {
    if (args.empty()) {
      PrintUsage(stdout);
      return 0;
    }
    const CommandHelp* c = FindCommand(args[0]);
    if (c == nullptr) {
      std::fprintf(stderr, "pagewright: unknown command '%s'\n", args[0].c_str());
      return 1;
    }
    PrintCommandHelp(*c);
    return 0;
  }
  if (const CommandHelp* c = FindCommand(command)) {
    for (const auto& a : args) {
      if (a == "--help" || a == "-h") {
        PrintCommandHelp(*c);
        return 0;
      }
    }
  }
  if (command == "export") return pagewright::cli::RunExport(args);
  if (command == "schema") return pagewright::cli::RunSchema(args);
  if (command == "tables") return pagewright::cli::RunTables(args);
  if (command == "info") return pagewright::cli::RunInfo(args);
  if (command == "catalog") return pagewright::cli::RunCatalog(args);
  if (command == "dump") return pagewright::cli::RunDump(args);
  if (command == "scan") return pagewright::cli::RunScan(args);
  if (command == "tree") return pagewright::cli::RunTree(args);
  if (command == "rows") return pagewright::cli::RunRows(args);
  if (command == "script") return pagewright::cli::RunScript(args);
  if (command == "snapshot") return pagewright::cli::RunSnapshot(args);
  if (command == "check") return pagewright::cli::RunCheck(args);
  if (command == "page") return pagewright::cli::RunPage(args);
  std::fprintf(stderr, "pagewright: unknown command '%s'\n", command.c_str());
  PrintUsage(stderr);
  return 1;
}
