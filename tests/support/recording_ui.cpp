#include "support/recording_ui.h"

namespace pagewright::testing {

namespace {
std::string Joined(const std::vector<std::string>& cells) {
  std::string out;
  for (size_t i = 0; i < cells.size(); ++i) out += (i ? "|" : "") + cells[i];
  return out;
}
std::string Flag(bool on) { return on ? "1" : "0"; }
}  // namespace

const char* IconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kInformation: return "information";
    case MessageIcon::kError: return "error";
    case MessageIcon::kQuestion: return "question";
  }
  return "?";
}

void RecordingUi::Record(const std::string& operation, const std::string& arguments) {
  if (std::this_thread::get_id() != uiThread_) ++offThreadCalls;
  calls.push_back(arguments.empty() ? operation : operation + " " + arguments);
  // The hook may itself call the screen (a command shows a message): those
  // calls are recorded but do not run the hook again. It runs from a copy,
  // so that it may replace or clear itself.
  if (!afterCall || inHook_) return;
  inHook_ = true;
  auto hook = afterCall;
  hook(calls.back());
  inHook_ = false;
}

std::string RecordingUi::Label(TreeItem item) const {
  if (item == kNoTreeItem) return "-";
  const Node* node = NodeOf(item);
  return node ? node->label : "#" + std::to_string(item);
}

void RecordingUi::InsertPaneLine(int index, const std::string& text) {
  ScreenModel::InsertPaneLine(index, text);
  Record("InsertPaneLine", std::to_string(index) + " " + text);
}
void RecordingUi::SetPaneLine(int index, const std::string& text) {
  ScreenModel::SetPaneLine(index, text);
  Record("SetPaneLine", std::to_string(index) + " " + text);
}
void RecordingUi::SetCaption(const std::string& text) {
  ScreenModel::SetCaption(text);
  Record("SetCaption", text);
}
void RecordingUi::SetProgressRange(int64_t lower, int64_t upper) {
  ScreenModel::SetProgressRange(lower, upper);
  Record("SetProgressRange", std::to_string(lower) + " " + std::to_string(upper));
}
void RecordingUi::SetProgressPos(int64_t position) {
  ScreenModel::SetProgressPos(position);
  Record("SetProgressPos", std::to_string(position));
}
void RecordingUi::ShowProgress(bool visible) {
  ScreenModel::ShowProgress(visible);
  Record("ShowProgress", visible ? "shown" : "hidden");
}
TreeItem RecordingUi::InsertTreeItem(TreeItem parent, const std::string& label) {
  const std::string parentLabel = Label(parent);
  TreeItem item = ScreenModel::InsertTreeItem(parent, label);
  Record("InsertTreeItem", parentLabel + " " + label);
  return item;
}
void RecordingUi::SetTreeItemData(TreeItem item, int32_t data) {
  ScreenModel::SetTreeItemData(item, data);
  Record("SetTreeItemData", Label(item) + " " + std::to_string(data));
}
int32_t RecordingUi::TreeItemData(TreeItem item) {
  Record("TreeItemData", Label(item));
  return ScreenModel::TreeItemData(item);
}
void RecordingUi::SetTreeItemBold(TreeItem item, bool bold) {
  ScreenModel::SetTreeItemBold(item, bold);
  Record("SetTreeItemBold", Label(item) + " " + Flag(bold));
}
void RecordingUi::SortTreeChildren(TreeItem item) {
  ScreenModel::SortTreeChildren(item);
  Record("SortTreeChildren", Label(item));
}
void RecordingUi::DeleteAllTreeItems() {
  ScreenModel::DeleteAllTreeItems();
  Record("DeleteAllTreeItems", "");
}
std::string RecordingUi::TreeItemLabel(TreeItem item) {
  Record("TreeItemLabel", Label(item));
  return ScreenModel::TreeItemLabel(item);
}
TreeItem RecordingUi::TreeItemParent(TreeItem item) {
  Record("TreeItemParent", Label(item));
  return ScreenModel::TreeItemParent(item);
}
TreeItem RecordingUi::TreeFirstChild(TreeItem item) {
  Record("TreeFirstChild", Label(item));
  return ScreenModel::TreeFirstChild(item);
}
TreeItem RecordingUi::TreeNextSibling(TreeItem item) {
  Record("TreeNextSibling", Label(item));
  return ScreenModel::TreeNextSibling(item);
}
TreeItem RecordingUi::SelectedTreeItem() {
  Record("SelectedTreeItem", "");
  return ScreenModel::SelectedTreeItem();
}
void RecordingUi::SelectTreeItem(TreeItem item) {
  ScreenModel::SelectTreeItem(item);
  Record("SelectTreeItem", Label(item));
}
void RecordingUi::RedrawTree() {
  ScreenModel::RedrawTree();
  Record("RedrawTree", "");
}
void RecordingUi::ShowGridView() {
  ScreenModel::ShowGridView();
  Record("ShowGridView", "");
}
void RecordingUi::ShowTextView() {
  ScreenModel::ShowTextView();
  Record("ShowTextView", "");
}
void RecordingUi::SetRecordsText(const std::string& text) {
  ScreenModel::SetRecordsText(text);
  Record("SetRecordsText", text);
}
void RecordingUi::SetGridColumns(const std::vector<std::string>& headings) {
  ScreenModel::SetGridColumns(headings);
  Record("SetGridColumns", Joined(headings));
}
void RecordingUi::ClearGrid() {
  ScreenModel::ClearGrid();
  Record("ClearGrid", "");
}
void RecordingUi::InsertGridRow(int index, const std::vector<std::string>& cells) {
  ScreenModel::InsertGridRow(index, cells);
  Record("InsertGridRow", std::to_string(index) + " " + Joined(cells));
}
void RecordingUi::DeleteGridRow(int index) {
  ScreenModel::DeleteGridRow(index);
  Record("DeleteGridRow", std::to_string(index));
}
void RecordingUi::DeleteAllGridRows() {
  ScreenModel::DeleteAllGridRows();
  Record("DeleteAllGridRows", "");
}
int RecordingUi::GridRowCount() {
  Record("GridRowCount", "");
  return ScreenModel::GridRowCount();
}
void RecordingUi::SetPageLabel(const std::string& text) {
  ScreenModel::SetPageLabel(text);
  Record("SetPageLabel", text);
}
void RecordingUi::EnablePagingButtons(bool previous, bool next) {
  ScreenModel::EnablePagingButtons(previous, next);
  Record("EnablePagingButtons", Flag(previous) + " " + Flag(next));
}
void RecordingUi::RepaintGrid() {
  ScreenModel::RepaintGrid();
  Record("RepaintGrid", "");
}
void RecordingUi::ShowMessage(const std::string& text, MessageIcon icon) {
  ScreenModel::ShowMessage(text, icon);
  Record("ShowMessage", text + " " + IconName(icon));
}
bool RecordingUi::AskYesNo(const std::string& text, MessageIcon icon) {
  bool yes = ScreenModel::AskYesNo(text, icon);
  Record("AskYesNo", text + " " + IconName(icon));
  return yes;
}

std::vector<std::string> RecordingUi::Of(const std::string& operation) const {
  std::vector<std::string> out;
  for (const auto& call : calls) {
    if (call == operation) out.emplace_back();
    if (call.size() > operation.size() && call.compare(0, operation.size(), operation) == 0 &&
        call[operation.size()] == ' ')
      out.push_back(call.substr(operation.size() + 1));
  }
  return out;
}

std::vector<std::string> RecordingUi::InsertedLines() const {
  std::vector<std::string> out;
  for (const auto& args : Of("InsertPaneLine")) out.push_back(args.substr(args.find(' ') + 1));
  return out;
}

long RecordingUi::IndexOf(const std::string& call, size_t from) const {
  for (size_t i = from; i < calls.size(); ++i)
    if (calls[i] == call) return static_cast<long>(i);
  return -1;
}

}  // namespace pagewright::testing
