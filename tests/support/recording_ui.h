// A screen for the shell tests: keeps the state every UI-port call leaves
// behind (ScreenModel) and also records each call, in order, as one line of
// text, so that a test can check sequences and exact texts:
//
//   "InsertPaneLine 3 Scanning of file starts..."
//   "ShowMessage Scanning process completed. information"
//   "InsertTreeItem User Tables dbo.Orders"   (parent label, label; "-" for
//   none) "ShowProgress shown", "EnablePagingButtons 0 1", "InsertGridRow 0
//   1|ALFKI"
//
// Tree items appear by their label. The screen belongs to the thread that
// created it (wrap it in MarshallingUiPort for workers); a call from any
// other thread is counted in offThreadCalls.
#ifndef PAGEWRIGHT_TESTS_SUPPORT_RECORDING_UI_H_
#define PAGEWRIGHT_TESTS_SUPPORT_RECORDING_UI_H_

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/screen_model.h"

namespace pagewright::testing {

class RecordingUi : public ScreenModel {
 public:
  // Inline so that a test that creates the screen links ScreenModel itself.
  RecordingUi() : uiThread_(std::this_thread::get_id()) {}

  void InsertPaneLine(int index, const std::string& text) override;
  void SetPaneLine(int index, const std::string& text) override;
  void SetCaption(const std::string& text) override;
  void SetProgressRange(int64_t lower, int64_t upper) override;
  void SetProgressPos(int64_t position) override;
  void ShowProgress(bool visible) override;
  TreeItem InsertTreeItem(TreeItem parent, const std::string& label) override;
  void SetTreeItemData(TreeItem item, int32_t data) override;
  int32_t TreeItemData(TreeItem item) override;
  void SetTreeItemBold(TreeItem item, bool bold) override;
  void SortTreeChildren(TreeItem item) override;
  void DeleteAllTreeItems() override;
  std::string TreeItemLabel(TreeItem item) override;
  TreeItem TreeItemParent(TreeItem item) override;
  TreeItem TreeFirstChild(TreeItem item) override;
  TreeItem TreeNextSibling(TreeItem item) override;
  TreeItem SelectedTreeItem() override;
  void SelectTreeItem(TreeItem item) override;
  void RedrawTree() override;
  void ShowGridView() override;
  void ShowTextView() override;
  void SetRecordsText(const std::string& text) override;
  void SetGridColumns(const std::vector<std::string>& headings) override;
  void ClearGrid() override;
  void InsertGridRow(int index, const std::vector<std::string>& cells) override;
  void DeleteGridRow(int index) override;
  void DeleteAllGridRows() override;
  int GridRowCount() override;
  void SetPageLabel(const std::string& text) override;
  void EnablePagingButtons(bool previous, bool next) override;
  void RepaintGrid() override;
  void ShowMessage(const std::string& text, MessageIcon icon) override;
  bool AskYesNo(const std::string& text, MessageIcon icon) override;

  // The arguments of every call of one operation, in order:
  // Of("SetCaption") -> {"Creating Tree.........", ...}.
  std::vector<std::string> Of(const std::string& operation) const;
  // The texts of the output-pane lines inserted, in order (the pane itself
  // shows the last line replaced by row counts).
  std::vector<std::string> InsertedLines() const;
  // Position of the first recorded call equal to `call` at or after `from`;
  // -1 when there is none.
  long IndexOf(const std::string& call, size_t from = 0) const;
  // Forgets the calls recorded so far (the screen state stays).
  void ClearCalls() { calls.clear(); }

  std::vector<std::string> calls;
  int offThreadCalls = 0;
  // Runs after each recorded call, on the screen's thread: lets a test act
  // at a chosen moment of a worker's run, as a user would.
  std::function<void(const std::string& call)> afterCall;

 private:
  void Record(const std::string& operation, const std::string& arguments);
  std::string Label(TreeItem item) const;

  std::thread::id uiThread_;
  bool inHook_ = false;
};

const char* IconName(MessageIcon icon);

}  // namespace pagewright::testing

#endif  // PAGEWRIGHT_TESTS_SUPPORT_RECORDING_UI_H_
