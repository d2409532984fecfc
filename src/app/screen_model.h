// An in-memory screen: the state every UI-port call leaves behind (tree,
// grid, text box, page label, buttons, output pane, caption, progress).
// The terminal shell and the tests' recording fake build on it; it must be
// used from one thread (wrap it in MarshallingUiPort for workers).
#ifndef PAGEWRIGHT_APP_SCREEN_MODEL_H_
#define PAGEWRIGHT_APP_SCREEN_MODEL_H_

#include <map>
#include <string>
#include <vector>

#include "app/ui_port.h"

namespace pagewright {

class ScreenModel : public UiPort {
 public:
  struct Node {
    std::string label;
    TreeItem parent = kNoTreeItem;
    std::vector<TreeItem> children;  // display order
    int32_t data = 0;
    bool bold = false;
  };
  struct Message {
    std::string text;
    MessageIcon icon;
  };

  void InsertPaneLine(int index, const std::string& text) override;
  void SetPaneLine(int index, const std::string& text) override;
  void SetCaption(const std::string& text) override { caption = text; }
  void SetProgressRange(int64_t lower, int64_t upper) override;
  void SetProgressPos(int64_t position) override { progressPos = position; }
  void ShowProgress(bool visible) override { progressVisible = visible; }
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
  TreeItem SelectedTreeItem() override { return selected; }
  void SelectTreeItem(TreeItem item) override { selected = item; }
  void RedrawTree() override {}
  void ShowGridView() override { gridView = true; }
  void ShowTextView() override { gridView = false; }
  void SetRecordsText(const std::string& text) override { recordsText = text; }
  void SetGridColumns(const std::vector<std::string>& headings) override;
  void ClearGrid() override;
  void InsertGridRow(int index, const std::vector<std::string>& cells) override;
  void DeleteGridRow(int index) override;
  void DeleteAllGridRows() override { gridRows.clear(); }
  int GridRowCount() override { return static_cast<int>(gridRows.size()); }
  void SetPageLabel(const std::string& text) override { pageLabel = text; }
  void EnablePagingButtons(bool previous, bool next) override;
  void RepaintGrid() override {}
  void ShowMessage(const std::string& text, MessageIcon icon) override { messages.push_back({text, icon}); }
  bool AskYesNo(const std::string& text, MessageIcon icon) override;
  // Kept in `failures` as well, then shown as a message box or pane line.
  void ShowFailure(const std::string& text, MessageIcon icon) override {
    failures.push_back(text);
    ShowMessage(text, icon);
  }
  void InsertFailureLine(int index, const std::string& text) override {
    failures.push_back(text);
    InsertPaneLine(index, text);
  }

  // The tree as text, one item per line, two spaces per level, display
  // order.
  std::string TreeText() const;
  // The item with this label under `parent` (any depth when parent is
  // kNoTreeItem), or kNoTreeItem.
  TreeItem FindTreeItem(const std::string& label, TreeItem under = kNoTreeItem) const;
  const Node* NodeOf(TreeItem item) const;

  std::vector<std::string> paneLines;
  std::string caption;
  int64_t progressLower = 0, progressUpper = 0, progressPos = 0;
  bool progressVisible = false;
  std::vector<TreeItem> topLevel;
  std::map<TreeItem, Node> nodes;
  TreeItem selected = kNoTreeItem;
  bool gridView = false;
  std::string recordsText;
  std::vector<std::string> gridColumns;
  std::vector<std::vector<std::string>> gridRows;
  std::string pageLabel;
  bool previousEnabled = false, nextEnabled = false;
  std::vector<Message> messages;
  std::vector<std::string> failures;  // texts of ShowFailure and InsertFailureLine, in order
  std::vector<std::string> questions;
  bool answerYes = true;

 private:
  TreeItem nextItem_ = 1;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_APP_SCREEN_MODEL_H_
