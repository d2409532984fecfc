#include "cli/terminal_progress.h"

#include <cstdio>

#include "pagestore/file_access.h"

namespace pagewright::cli {

TerminalProgress::TerminalProgress() : enabled_(StandardErrorIsTerminal()) {}
TerminalProgress::~TerminalProgress() { Clear(); }

void TerminalProgress::SetRange(int64_t lower, int64_t upper) {
  lower_ = lower;
  upper_ = upper;
  position_ = lower;
  lastPercent_ = -1;
  Draw();
}
void TerminalProgress::SetPosition(int64_t position) {
  position_ = position;
  Draw();
}
void TerminalProgress::SetLabel(const std::string& label) {
  label_ = label;
  lastPercent_ = -1;
  Draw();
}
void TerminalProgress::Show() {
  visible_ = true;
  Draw();
}
void TerminalProgress::Hide() {
  Clear();
  visible_ = false;
}

void TerminalProgress::Clear() {
  if (!enabled_ || !drawn_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  drawn_ = false;
  lastPercent_ = -1;
}

void TerminalProgress::Draw() {
  if (!enabled_ || !visible_) return;
  int64_t span = upper_ - lower_;
  int percent = span > 0 ? static_cast<int>(100 * (position_ - lower_) / span) : 0;
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  if (percent == lastPercent_ && drawn_) return;
  lastPercent_ = percent;
  constexpr int kWidth = 30;
  int filled = percent * kWidth / 100;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kWidth - filled), '-');
  std::fprintf(stderr, "\r\033[K[%s] %3d%% %.60s", bar.c_str(), percent, label_.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

}  // namespace pagewright::cli
