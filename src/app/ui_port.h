// The user-interface operations the shell logic uses.
//
// An adapter (the terminal shell, the desktop window, the recording fake of
// the tests) implements them for its screen. Workers call them from their
// own thread: the adapter runs every call on its user-interface thread and
// returns only when the call has been handled there (MarshallingUiPort does
// that for adapters that are not thread-safe themselves).
#ifndef PAGEWRIGHT_APP_UI_PORT_H_
#define PAGEWRIGHT_APP_UI_PORT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace pagewright {

using TreeItem = int64_t;  // 0: no item
constexpr TreeItem kNoTreeItem = 0;

enum class MessageIcon { kInformation, kError, kQuestion };

class UiPort {
 public:
  virtual ~UiPort() = default;

  // Output pane: one list row per line.
  virtual void InsertPaneLine(int index, const std::string& text) = 0;
  virtual void SetPaneLine(int index, const std::string& text) = 0;

  // Caption bar and progress bar.
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetProgressRange(int64_t lower, int64_t upper) = 0;
  virtual void SetProgressPos(int64_t position) = 0;
  virtual void ShowProgress(bool visible) = 0;

  // Object tree. Items are inserted as the first child of their parent; a
  // parent of kNoTreeItem inserts a top-level item after the others.
  virtual TreeItem InsertTreeItem(TreeItem parent, const std::string& label) = 0;
  virtual void SetTreeItemData(TreeItem item, int32_t data) = 0;
  virtual int32_t TreeItemData(TreeItem item) = 0;
  virtual void SetTreeItemBold(TreeItem item, bool bold) = 0;
  virtual void SortTreeChildren(TreeItem item) = 0;  // by label, one level
  virtual void DeleteAllTreeItems() = 0;
  virtual std::string TreeItemLabel(TreeItem item) = 0;
  virtual TreeItem TreeItemParent(TreeItem item) = 0;
  virtual TreeItem TreeFirstChild(TreeItem item) = 0;
  virtual TreeItem TreeNextSibling(TreeItem item) = 0;
  virtual TreeItem SelectedTreeItem() = 0;
  virtual void SelectTreeItem(TreeItem item) = 0;
  virtual void RedrawTree() = 0;

  // Records panel: a grid with a page label and paging buttons, or a text box.
  virtual void ShowGridView() = 0;
  virtual void ShowTextView() = 0;
  virtual void SetRecordsText(const std::string& text) = 0;
  virtual void SetGridColumns(const std::vector<std::string>& headings) = 0;
  virtual void ClearGrid() = 0;  // rows and columns
  virtual void InsertGridRow(int index, const std::vector<std::string>& cells) = 0;
  virtual void DeleteGridRow(int index) = 0;
  virtual void DeleteAllGridRows() = 0;
  virtual int GridRowCount() = 0;
  virtual void SetPageLabel(const std::string& text) = 0;
  virtual void EnablePagingButtons(bool previous, bool next) = 0;
  virtual void RepaintGrid() = 0;

  // Message box (caption "Korvane Pagewright") and yes/no question.
  virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
  virtual bool AskYesNo(const std::string& text, MessageIcon icon) = 0;

  // A failure the user must see: a message box and an output-pane line as
  // ShowMessage and InsertPaneLine show them. An adapter that keeps failures
  // apart from progress and data (the terminal: standard error) overrides
  // these.
  virtual void ShowFailure(const std::string& text, MessageIcon icon) { ShowMessage(text, icon); }
  virtual void InsertFailureLine(int index, const std::string& text) { InsertPaneLine(index, text); }
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_APP_UI_PORT_H_
