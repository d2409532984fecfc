// pagewright info FILE: the identity of one database file.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/terminal_progress.h"
#include "pagestore/boot_page.h"
#include "pagestore/collation_table.h"
#include "app/read_texts.h"
#include "pagestore/database_reader.h"

namespace pagewright::cli {

void ProgressSink::Notify(const Notification& n) {
  switch (n.id) {
    case NotificationId::kProgressRange: progress.SetRange(n.wParam, n.lParam); break;
    case NotificationId::kProgressPos: progress.SetPosition(n.wParam); break;
    case NotificationId::kStatusText: progress.SetLabel(n.text); break;
    case NotificationId::kOpenFailed:
      progress.Clear();
      std::fprintf(stderr, "%s\n", n.text.c_str());
      break;
    default: break;
  }
}

int RunInfo(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: pagewright info FILE\n");
    return 1;
  }
  if (RefuseUnreadableInput(args[0])) return 1;
  const CollationTable collations = LoadCollationTable(ExecutableFolder());
  ProgressSink sink;
  NotificationEvents events(&sink);
  sink.progress.Show();
  const ReadContext read;
  auto reader = DatabaseReader::OpenDatabase(read, args[0], args[0], &events);
  sink.progress.Hide();
  if (!reader->openSucceeded()) return 1;
  const auto boot = ReadBootPage(*reader, read, CollationChoice{&collations, true, 0});
  std::string name = !boot || boot->databaseName.empty() ? "RepairDataBase" : boot->databaseName;
  std::string version = !boot || boot->versionText.empty() ? "Unknown SQL Version" : boot->versionText;
  std::string collation = !boot || boot->collationName.empty() ? "Unknown Collation" : boot->collationName;
  std::printf("Database name: %s\n", name.c_str());
  std::printf("Database version: %s\n", version.c_str());
  std::printf("Collation Type: %s\n", collation.c_str());
  std::printf("Pages: %llu\n", static_cast<unsigned long long>(reader->oldPageCount));
  return 0;
}

}  // namespace pagewright::cli
