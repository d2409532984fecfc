// The terminal adapter of the shell: an in-memory screen whose output pane
// lines go to standard output as they are written, whose message boxes go
// to standard error (errors) or standard output, and whose progress bar is
// drawn on standard error when it is a terminal.
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

  bool sawError() const { return sawError_; }
  void set_echoLines(bool echo) { echoLines_ = echo; }

 private:
  bool echoLines_;
  bool sawError_ = false;
  TerminalProgress progress_;
};

}  // namespace pagewright::cli

#endif  // PAGEWRIGHT_CLI_TERMINAL_UI_H_
