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
               "  info FILE                   database name, version, collation and page count\n"
               "  catalog FILE [--sql2000]    the tables, columns, keys and modules the catalog holds\n"
               "  dump FILE OBJECT_ID [--data] [--deleted]\n"
               "                              the records of the pages mapped under an object id\n");
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
  if (command == "--help" || command == "-h" || command == "help") {
    PrintUsage();
    return 0;
  }
  std::fprintf(stderr, "pagewright: unknown command '%s'\n", command.c_str());
  PrintUsage();
  return 2;
}
