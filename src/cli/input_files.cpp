// Database and snapshot files are opened only when they are regular files:
// opening a named pipe waits for a writer and a device may never end, so
// anything else is refused before it is opened.
#include <cstdio>

#include "cli/commands.h"
#include "pagestore/file_access.h"

namespace pagewright::cli {

bool RefuseUnreadableInput(const std::string& path) {
  PathKind kind = KindOfPath(path);
  if (kind == PathKind::kRegular || kind == PathKind::kMissing) return false;  // missing: the open says so
  std::fprintf(stderr, "pagewright: cannot read %s: it is %s, not a regular file\n", path.c_str(), PathKindName(kind));
  return true;
}

}  // namespace pagewright::cli
