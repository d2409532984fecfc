// Progress bar on standard error, drawn only when it is a terminal.
#ifndef PAGEWRIGHT_CLI_TERMINAL_PROGRESS_H_
#define PAGEWRIGHT_CLI_TERMINAL_PROGRESS_H_

#include <cstdint>
#include <string>

namespace pagewright::cli {

class TerminalProgress {
 public:
  TerminalProgress();
  ~TerminalProgress();
  void SetRange(int64_t lower, int64_t upper);
  void SetPosition(int64_t position);
  void SetLabel(const std::string& label);
  void Show();
  void Hide();
  // Clears the bar so a line can be printed, then redraws on next update.
  void Clear();

 private:
  void Draw();
  bool enabled_;
  bool visible_ = false;
  bool drawn_ = false;
  int64_t lower_ = 0, upper_ = 0, position_ = 0;
  int lastPercent_ = -1;
  std::string label_;
};

}  // namespace pagewright::cli

#endif  // PAGEWRIGHT_CLI_TERMINAL_PROGRESS_H_
