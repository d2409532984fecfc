// The commands of the headless shell.
#ifndef PAGEWRIGHT_CLI_COMMANDS_H_
#define PAGEWRIGHT_CLI_COMMANDS_H_

#include <string>
#include <vector>

#include "app/read_texts.h"
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
