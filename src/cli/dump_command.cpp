// pagewright dump FILE OBJECT_ID [--data]: the records of every page the
// mapping scan registered under an object id (the system object map, or the
// data page map with --data), one line per record: page, slot, kind, fixed
// data in hex, then each variable-length value in hex.
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <string>

#include "cli/commands.h"
#include "pagestore/collation_table.h"
#include "records/record_enumeration.h"
#include "records/value_format.h"

namespace pagewright::cli {

int RunDump(const std::vector<std::string>& args) {
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: pagewright dump FILE OBJECT_ID [--data] [--deleted]\n");
    return 1;
  }
  if (RefuseUnreadableInput(args[0])) return 1;
  ReadContext read;
  bool data = false;
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--data") data = true;
    if (args[i] == "--deleted") read.showDeleted = true;
  }
  ProgressSink sink;
  NotificationEvents events(&sink);
  auto reader = DatabaseReader::OpenDatabase(read, args[0], args[0], &events);
  if (!reader->openSucceeded()) return 1;
  char* end = nullptr;
  const long parsed = std::strtol(args[1].c_str(), &end, 10);
  if (args[1].empty() || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) {
    std::fprintf(stderr,
                 "pagewright dump: %s: OBJECT_ID must be the number in the page headers, not a name "
                 "(pagewright page FILE FILE:PAGE shows a page's object id)\n",
                 args[1].c_str());
    return 1;
  }
  const auto objectId = static_cast<int32_t>(parsed);
  const PageMap& map = data ? reader->dataPageMap : reader->objectPageMap;
  auto it = map.find(objectId);
  if (it == map.end() || it->second.empty()) {
    std::fprintf(stderr, "pagewright dump: %s: no %s carries object id %d%s\n", args[0].c_str(),
                 data ? "data page" : "system table page", objectId,
                 data ? "" : " (user tables: add --data)");
    return 1;
  }
  for (const auto& entry : it->second) {
    auto page = LoadCatalogPage(*reader, read, entry.id());
    if (!page) continue;
    std::printf("page %s type %u slots %d ghosts %d\n", entry.id().ToString().c_str(), page->header.pageType,
                page->header.slotCount, page->header.ghostRecordCount);
    for (size_t i = 0; i < page->records.size(); ++i) {
      const CPrimaryRecord* r = RecordAt(*page, i);
      if (r == nullptr) continue;
      std::printf("  %zu kind %d%s%s cols %d fixed[%d] %s", i, r->status.kind, r->invalid ? " invalid" : "",
                  r->status.compressed ? " compressed" : "", r->columnCount, r->fixedLength,
                  FormatHex(r->FixedData()).c_str());
      for (const auto& v : r->values) std::printf(" | %s%s", v.complex ? "*" : "", FormatHex(r->Bytes(v)).c_str());
      std::printf("\n");
    }
  }
  return 0;
}

}  // namespace pagewright::cli
