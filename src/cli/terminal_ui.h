// The terminal adapter of the shell: an in-memory screen whose output pane
// lines go to standard output as they are written, whose message boxes go
// to standard output, and whose progress bar is drawn on standard error when
// it is a terminal. Every failure (an error box, a failure line or message)
// goes to standard error, whether lines are echoed or not, so that standard
// output carries only progress and data.
#ifndef PAGEWRIGHT_CLI_TERMINAL_UI_H_
#define PAGEWRIGHT_CLI_TERMINAL_UI_H_

#include "app/screen_model.h"
#include "cli/terminal_progress.h"

namespace pagewright::cli {

class TerminalUi : public ScreenModel {
 public:
  // `echoLines`: print output-pane lines and information messages.
  explicit TerminalUi(bool echoLines) : echoLines_(echoLines) {}

  void InsertPaneLine(int index, const std::string& text) override;
  void SetProgressRange(int64_t lower, int64_t upper) override;
  void SetProgressPos(int64_t position) override;
  void ShowProgress(bool visible) override;
  void SetRecordsText(const std::string& text) override;
  void ShowMessage(const std::string& text, MessageIcon icon) override;
  void ShowFailure(const std::string& text, MessageIcon icon) override;
  void InsertFailureLine(int index, const std::string& text) override;

  // Prints a failure on standard error, unless it is the one printed last
  // (a failure that is both a log line and a message box is said once).
  void PrintFailure(const std::string& text);

  bool sawError() const { return sawError_; }
  void set_echoLines(bool echo) { echoLines_ = echo; }

 private:
  bool echoLines_;
  bool sawError_ = false;
  std::string lastFailure_;
  TerminalProgress progress_;
};

}  // namespace pagewright::cli

#endif  // PAGEWRIGHT_CLI_TERMINAL_UI_H_
