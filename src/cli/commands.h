// The commands of the headless shell.
#ifndef PAGEWRIGHT_CLI_COMMANDS_H_
#define PAGEWRIGHT_CLI_COMMANDS_H_

#include <string>
#include <vector>

#include <memory>

#include "app/app_state.h"
#include "app/read_texts.h"
#include "catalog/database_catalog.h"
#include "cli/terminal_progress.h"
#include "state/notifications.h"

namespace pagewright::cli {

// Shows the open sequence's progress on standard error; failures are
// printed there as they come.
class ProgressSink : public NotificationSink {
 public:
  void Notify(const Notification& n) override;
  TerminalProgress progress;
};

// True, after saying on standard error which kind of file it is, when
// `path` exists but is not a regular file (a directory, pipe, device or
// socket).
bool RefuseUnreadableInput(const std::string& path);

// One database file opened as both old and new file, for the commands that
// inspect it page by page: the reader, and the catalog when the file's
// system pages were found (null otherwise), with its layout taken into
// the state.
struct InspectedDatabase {
  AppState state;
  ProgressSink sink;
  NotificationEvents events{&sink};
  std::unique_ptr<DatabaseReader> reader;
  std::unique_ptr<DatabaseCatalog> catalog;
};
// False, after saying "pagewright COMMAND: FILE: not a database file or
// unreadable" on standard error, when no page of the file could be read.
bool OpenForInspection(const char* command, const std::string& file, InspectedDatabase& db);

int RunInfo(const std::vector<std::string>& args);
int RunCatalog(const std::vector<std::string>& args);
int RunDump(const std::vector<std::string>& args);
int RunScan(const std::vector<std::string>& args);
int RunTree(const std::vector<std::string>& args);
int RunRows(const std::vector<std::string>& args);
int RunScript(const std::vector<std::string>& args);
int RunSnapshot(const std::vector<std::string>& args);
int RunCheck(const std::vector<std::string>& args);
int RunPage(const std::vector<std::string>& args);
int RunExport(const std::vector<std::string>& args);
int RunSchema(const std::vector<std::string>& args);
int RunTables(const std::vector<std::string>& args);

}  // namespace pagewright::cli

#endif  // PAGEWRIGHT_CLI_COMMANDS_H_
