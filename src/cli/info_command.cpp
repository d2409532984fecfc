// pagewright info FILE: the identity of one database file.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/terminal_progress.h"
#include "pagestore/boot_page.h"
#include "pagestore/collation_table.h"
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
  AppState state;
  LoadCollationTable(state, ExecutableFolder());
  ProgressSink sink;
  sink.progress.Show();
  auto reader = DatabaseReader::OpenDatabase(state, args[0], args[0], &sink);
  sink.progress.Hide();
  if (!reader->openSucceeded()) return 1;
  ReadBootPage(*reader);
  std::string name = reader->databaseName.empty() ? "RepairDataBase" : reader->databaseName;
  std::string version = state.versionText.empty() ? "Unknown SQL Version" : state.versionText;
  std::string collation = state.collationName.empty() ? "Unknown Collation" : state.collationName;
  std::printf("Database name: %s\n", name.c_str());
  std::printf("Database version: %s\n", version.c_str());
  std::printf("Collation Type: %s\n", collation.c_str());
  std::printf("Pages: %llu\n", static_cast<unsigned long long>(reader->oldPageCount));
  return 0;
}

}  // namespace pagewright::cli
