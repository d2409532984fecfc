// pagewright catalog FILE [--sql2000]: the catalog as a stable text.
#include <cstdio>
#include <string>

#include "catalog/database_catalog.h"
#include "catalog/object_details.h"
#include "catalog/object_labels.h"
#include "cli/commands.h"
#include "cli/terminal_progress.h"
#include "app/read_texts.h"
#include "pagestore/collation_table.h"

namespace pagewright::cli {

int RunCatalog(const std::vector<std::string>& args) {
  std::string file;
  ReadContext read;
  for (const auto& a : args) {
    if (a == "--sql2000") {
      read.legacyCatalog = true;
    } else if (file.empty() && a.rfind("--", 0) != 0) {
      file = a;
    } else {
      std::fprintf(stderr, "usage: pagewright catalog FILE [--sql2000]\n");
      return 1;
    }
  }
  if (file.empty()) {
    std::fprintf(stderr, "usage: pagewright catalog FILE [--sql2000]\n");
    return 1;
  }
  if (RefuseUnreadableInput(file)) return 1;
  const CollationTable collations = LoadCollationTable(ExecutableFolder());
  ProgressSink sink;
  NotificationEvents events(&sink);
  sink.progress.Show();
  auto reader = DatabaseReader::OpenDatabase(read, file, file, &events);
  if (!reader->openSucceeded()) return 1;
  auto catalog = DatabaseCatalog::Build(*reader, read, CollationChoice{&collations, true, 0});
  sink.progress.Hide();
  std::string name = reader->databaseName.empty() ? "RepairDataBase" : reader->databaseName;
  const std::string version = catalog->identity ? catalog->identity->versionText : std::string();
  const std::string collation = catalog->identity ? catalog->identity->collationName : std::string();
  std::printf("Database name: %s\n", name.c_str());
  std::printf("Database version: %s\n", version.empty() ? "Unknown SQL Version" : version.c_str());
  std::printf("Collation Type: %s\n", collation.empty() ? "Unknown Collation" : collation.c_str());
  const std::vector<CatalogObject> objects = catalog->objects;
  for (const auto& o : objects) {
    std::string kind = ObjectKindWord(o.typeCode);
    if (kind.empty() || o.name.empty()) continue;
    if (o.typeCode == "U ") {
      auto loaded = LoadObjectDetails(*catalog, o.name, o.typeCode, {});
      const auto& columns = loaded.descriptors;
      std::printf("TABLE %s (%zu data pages)\n", o.name.c_str(), loaded.details.tablePages.size());
      for (const auto& c : columns) {
        if (c.name.empty()) continue;
        std::printf("  %s\n", ColumnListing(c).c_str());
      }
    } else {
      std::printf("%s %s\n", kind.c_str(), o.name.c_str());
    }
  }
  return 0;
}

}  // namespace pagewright::cli
