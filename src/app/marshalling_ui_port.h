// Runs every UI-port call on one user-interface thread.
//
// Wraps an adapter that may only be used from its own thread: a call made
// on another thread is queued and the user-interface thread runs it in
// Pump(); calls made on the user-interface thread itself run at once. Calls
// run in the order they were made. A caller waits for calls that return a
// value and for message boxes; the others (log lines, grid rows, progress)
// take copies of their arguments and return at once, so filling a grid page
// costs no thread round trip per row.
#ifndef PAGEWRIGHT_APP_MARSHALLING_UI_PORT_H_
#define PAGEWRIGHT_APP_MARSHALLING_UI_PORT_H_

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

#include "app/ui_port.h"

namespace pagewright {

class MarshallingUiPort : public UiPort {
 public:
  // The calling thread becomes the user-interface thread.
  explicit MarshallingUiPort(UiPort& target);

  // Runs the queued calls (user-interface thread only).
  void Pump();
  // Runs calls as they come until `done()` is true (checked after each
  // call and at least every 20 ms), then the calls queued by then.
  void PumpUntil(const std::function<bool()>& done);
  // Keeps at most `calls` calls queued: a worker further ahead of the
  // user-interface thread waits in its next call (0, the default: no bound).
  void LimitQueue(size_t calls);

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
  void ShowFailure(const std::string& text, MessageIcon icon) override;
  void InsertFailureLine(int index, const std::string& text) override;

 private:
  // Runs queued calls until none is left or `done` (when given) holds after
  // one; true when it held.
  bool PumpEntries(const std::function<bool()>* done);
  struct Task {
    std::function<void()> run;
    bool done = false;
  };
  struct Entry {
    std::function<void()> run;  // posted calls (no waiter)
    Task* waiter = nullptr;     // a caller waiting for its call
  };
  void RunOnUiThread(const std::function<void()>& fn);
  // Runs `fn` now on the user-interface thread, else queues it and returns.
  void Post(std::function<void()> fn);
  template <typename F>
  auto Call(F f) -> decltype(f()) {
    using R = decltype(f());
    if constexpr (std::is_void_v<R>) {
      RunOnUiThread(f);
    } else {
      std::optional<R> result;
      RunOnUiThread([&] { result = f(); });
      return *result;
    }
  }

  UiPort& target_;
  std::thread::id uiThread_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::condition_variable room_;
  std::deque<Entry> queue_;
  size_t limit_ = 0;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_APP_MARSHALLING_UI_PORT_H_
