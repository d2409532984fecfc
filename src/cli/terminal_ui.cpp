#include "cli/terminal_ui.h"

#include <cstdio>

namespace pagewright::cli {

void TerminalUi::InsertPaneLine(int index, const std::string& text) {
  ScreenModel::InsertPaneLine(index, text);
  if (!echoLines_) return;
  progress_.Clear();
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

void TerminalUi::SetProgressRange(int64_t lower, int64_t upper) {
  ScreenModel::SetProgressRange(lower, upper);
  progress_.SetRange(lower, upper);
}

void TerminalUi::SetProgressPos(int64_t position) {
  ScreenModel::SetProgressPos(position);
  progress_.SetPosition(position);
}

void TerminalUi::ShowProgress(bool visible) {
  ScreenModel::ShowProgress(visible);
  if (visible) {
    progress_.Show();
  } else {
    progress_.Hide();
  }
}

void TerminalUi::SetRecordsText(const std::string& text) {
  ScreenModel::SetRecordsText(text);
  progress_.SetLabel(text.size() < 80 ? text : std::string());
}

void TerminalUi::ShowMessage(const std::string& text, MessageIcon icon) {
  ScreenModel::ShowMessage(text, icon);
  progress_.Clear();
  if (icon == MessageIcon::kError) {
    sawError_ = true;
    PrintFailure(text);
  } else if (echoLines_) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
  }
}

void TerminalUi::ShowFailure(const std::string& text, MessageIcon icon) {
  ScreenModel::ShowMessage(text, icon);
  failures.push_back(text);
  PrintFailure(text);
}

void TerminalUi::InsertFailureLine(int index, const std::string& text) {
  ScreenModel::InsertPaneLine(index, text);
  failures.push_back(text);
  PrintFailure(text);
}

void TerminalUi::PrintFailure(const std::string& text) {
  if (text == lastFailure_) return;
  lastFailure_ = text;
  progress_.Clear();
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

}  // namespace pagewright::cli
