// The UI port of the desktop window.
//
// Workers call it from their own threads; every call runs on the thread
// that owns the window, in the order the calls were made (each goes through
// that thread's event queue). Calls that return a value and message boxes
// wait for their answer; the others (log lines, grid rows, progress) are
// queued with copies of their arguments and return at once. Calls made on
// the window's own thread run at once.
#ifndef PAGEWRIGHT_GUI_WINDOW_PORT_H_
#define PAGEWRIGHT_GUI_WINDOW_PORT_H_

#include <QLabel>
#include <QListWidget>
#include <QObject>
#include <QProgressBar>
#include <QThread>
#include <functional>
#include <optional>
#include <type_traits>

#include "app/ui_port.h"
#include "gui/object_tree_view.h"
#include "gui/records_panel.h"

namespace pagewright {

constexpr const char* kProductName = "Korvane Pagewright";

// How the window tells and asks the user: message boxes captioned
// "Korvane Pagewright"; the tests put their own answers in.
struct Messages {
  std::function<void(const QString& text, MessageIcon icon)> inform;
  std::function<bool(const QString& text, MessageIcon icon)> ask;
  static Messages Boxes(QWidget* owner);
};

// The widgets the port draws on.
struct WindowParts {
  ObjectTreeView* tree = nullptr;
  QListWidget* output = nullptr;
  RecordsPanel* records = nullptr;
  QLabel* caption = nullptr;
  QProgressBar* progress = nullptr;
};

class WindowPort : public QObject, public UiPort {
  Q_OBJECT
 public:
  WindowPort(WindowParts parts, Messages messages, QObject* parent = nullptr);

  Messages& messages() { return messages_; }

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

 private:
  bool OnWindowThread() const { return QThread::currentThread() == thread(); }
  // Queued for the window's thread (run at once when called there).
  void Post(std::function<void()> call);
  // Run on the window's thread; the caller waits for the result.
  template <typename F>
  auto Wait(F call) -> decltype(call()) {
    using R = decltype(call());
    if (OnWindowThread()) return call();
    if constexpr (std::is_void_v<R>) {
      QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection);
    } else {
      std::optional<R> result;
      QMetaObject::invokeMethod(this, [&] { result = call(); }, Qt::BlockingQueuedConnection);
      return *result;
    }
  }
  void SetProgressNow(int64_t position);

  WindowParts parts_;
  Messages messages_;
  int64_t lower_ = 0, upper_ = 0;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_GUI_WINDOW_PORT_H_
