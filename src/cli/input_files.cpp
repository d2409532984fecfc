// Database and snapshot files are opened only when they are regular files:
// opening a named pipe waits for a writer and a device may never end, so
// anything else is refused before it is opened.
#include <cstdio>

#include "cli/commands.h"
#include "pagestore/collation_table.h"
#include "pagestore/file_access.h"

namespace pagewright::cli {

bool RefuseUnreadableInput(const std::string& path) {
  PathKind kind = KindOfPath(path);
  if (kind == PathKind::kRegular || kind == PathKind::kMissing) return false;  // missing: the open says so
  std::fprintf(stderr, "pagewright: cannot read %s: it is %s, not a regular file\n", path.c_str(), PathKindName(kind));
  return true;
}

bool OpenForInspection(const char* command, const std::string& file, InspectedDatabase& db) {
  db.state.collations = LoadCollationTable(ExecutableFolder());
  db.reader = DatabaseReader::OpenDatabase(db.state.MakeReadContext(), file, file, &db.events);
  if (db.reader->oldPageCount == 0) {
    std::fprintf(stderr, "pagewright %s: %s: not a database file or unreadable\n", command, file.c_str());
    return false;
  }
  if (db.reader->openSucceeded()) {
    db.catalog = DatabaseCatalog::Build(*db.reader, db.state.MakeReadContext(),
                                        CollationChoice{&db.state.collations, db.state.collationAutoDetect, 0});
    db.state.legacyCatalogMode = db.catalog->legacyCatalog;
  }
  return true;
}

}  // namespace pagewright::cli
