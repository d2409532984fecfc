// pagewright: the headless shell of Korvane Pagewright.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace {
void PrintUsage() {
  std::fprintf(stderr,
               "usage: pagewright COMMAND [ARGS]\n"
               "commands:\n"
               "  scan MDF [options]          scan MDF as the Open command does; log lines, then the object tree\n"
               "  tree MDF [options]          the object tree with every table expanded\n"
               "  rows MDF TABLE [--page N] [options]\n"
               "                              grid page N of a table as CSV, after its page label\n"
               "  script MDF NAME [options]   the SQL text of a view, procedure, function, trigger, default,\n"
               "                              key or constraint\n"
               "  snapshot save MDF OUT.KVSNAPDB [--force] [options]\n"
               "                              scan and save the snapshot; never over a file of the\n"
               "                              database, and over a file that is not a snapshot only\n"
               "                              with --force\n"
               "  info FILE                   database name, version, collation and page count\n"
               "  catalog FILE [--sql2000]    the tables, columns, keys and modules the catalog holds\n"
               "  dump FILE OBJECT_ID [--data] [--deleted]\n"
               "                              the records of the pages mapped under an object id\n"
               "  check MDF [--json]          verify every page of every file; damaged pages by object\n"
               "                              (exit 0 clean, 2 damage found, 1 the check failed)\n"
               "  page MDF FILE:PAGE [--hex]  one page: header fields, slot array, every record decoded\n"
               "options: --backup OLD_MDF (default: MDF), --advanced, --show-deleted, --show-advanced-deleted,\n"
               "         --sql2000, --collation auto|NAME, --log-dir DIR (default: the current folder),\n"
               "         --snapshot FILE.KVSNAPDB (the backup file's mapping from a snapshot)\n");
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage();
    return 2;
  }
  std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
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
  if (command == "--help" || command == "-h" || command == "help") {
    PrintUsage();
    return 0;
  }
  std::fprintf(stderr, "pagewright: unknown command '%s'\n", command.c_str());
  PrintUsage();
  return 2;
}
