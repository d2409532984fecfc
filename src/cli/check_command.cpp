// pagewright check MDF [--json]: reads every page of every file of the
// database once and reports the damaged ones by object. Exit 0 when the
// allocated space is sound, 2 when damage was found, 1 when the check could
// not run.
#include <cstdio>
#include <string>

#include "app/database_check.h"
#include "catalog/database_catalog.h"
#include "app/app_state.h"
#include "cli/commands.h"
#include "pagestore/collation_table.h"

namespace pagewright::cli {

namespace {
constexpr const char* kUsage = "usage: pagewright check MDF [--json]\n";
}  // namespace

int RunCheck(const std::vector<std::string>& args) {
  std::string file;
  bool json = false;
  for (const auto& a : args) {
    if (a == "--json") {
      json = true;
    } else if (a == "--help") {
      std::printf("%s", kUsage);
      return 0;
    } else if (file.empty() && a.rfind("--", 0) != 0) {
      file = a;
    } else {
      std::fprintf(stderr, "%s", kUsage);
      return 1;
    }
  }
  if (file.empty()) {
    std::fprintf(stderr, "%s", kUsage);
    return 1;
  }
  InspectedDatabase db;
  if (!OpenForInspection("check", file, db)) return 1;
  // Without a catalog (no system page found) the pages are still checked,
  // named by the object ids in their headers.
  if (!db.catalog) std::fprintf(stderr, "pagewright check: %s: no catalog found; objects are named by id\n", file.c_str());
  const std::unique_ptr<DatabaseReader>& reader = db.reader;
  const std::unique_ptr<DatabaseCatalog>& catalog = db.catalog;
  DatabaseCheck check = CheckDatabase(*reader, catalog.get());
  for (const auto& missing : check.missingFiles)
    std::fprintf(stderr, "pagewright check: secondary file not found: %s\n", missing.c_str());
  const std::string report = json ? FormatCheckJson(check) : FormatCheckText(check);
  std::fwrite(report.data(), 1, report.size(), stdout);
  return check.clean() ? 0 : 2;
}

}  // namespace pagewright::cli
