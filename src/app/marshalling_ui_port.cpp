#include "app/marshalling_ui_port.h"

#include <chrono>

namespace pagewright {

MarshallingUiPort::MarshallingUiPort(UiPort& target) : target_(target), uiThread_(std::this_thread::get_id()) {}

void MarshallingUiPort::RunOnUiThread(const std::function<void()>& fn) {
  if (std::this_thread::get_id() == uiThread_) {
    fn();
    return;
  }
  Task task{fn};
  std::unique_lock lock(mutex_);
  queue_.push_back(&task);
  queued_.notify_all();
  finished_.wait(lock, [&] { return task.done; });
}

void MarshallingUiPort::Pump() {
  std::unique_lock lock(mutex_);
  while (!queue_.empty()) {
    Task* task = queue_.front();
    queue_.pop_front();
    lock.unlock();
    task->run();
    lock.lock();
    task->done = true;
    finished_.notify_all();
  }
}

void MarshallingUiPort::PumpUntil(const std::function<bool()>& done) {
  for (;;) {
    Pump();
    if (done()) {
      Pump();
      return;
    }
    std::unique_lock lock(mutex_);
    queued_.wait_for(lock, std::chrono::milliseconds(20), [&] { return !queue_.empty(); });
  }
}

void MarshallingUiPort::InsertPaneLine(int i, const std::string& t) { Call([&] { target_.InsertPaneLine(i, t); }); }
void MarshallingUiPort::SetPaneLine(int i, const std::string& t) { Call([&] { target_.SetPaneLine(i, t); }); }
void MarshallingUiPort::SetCaption(const std::string& t) { Call([&] { target_.SetCaption(t); }); }
void MarshallingUiPort::SetProgressRange(int64_t l, int64_t u) { Call([&] { target_.SetProgressRange(l, u); }); }
void MarshallingUiPort::SetProgressPos(int64_t p) { Call([&] { target_.SetProgressPos(p); }); }
void MarshallingUiPort::ShowProgress(bool v) { Call([&] { target_.ShowProgress(v); }); }
TreeItem MarshallingUiPort::InsertTreeItem(TreeItem p, const std::string& l) {
  return Call([&] { return target_.InsertTreeItem(p, l); });
}
void MarshallingUiPort::SetTreeItemData(TreeItem i, int32_t d) { Call([&] { target_.SetTreeItemData(i, d); }); }
int32_t MarshallingUiPort::TreeItemData(TreeItem i) { return Call([&] { return target_.TreeItemData(i); }); }
void MarshallingUiPort::SetTreeItemBold(TreeItem i, bool b) { Call([&] { target_.SetTreeItemBold(i, b); }); }
void MarshallingUiPort::SortTreeChildren(TreeItem i) { Call([&] { target_.SortTreeChildren(i); }); }
void MarshallingUiPort::DeleteAllTreeItems() { Call([&] { target_.DeleteAllTreeItems(); }); }
std::string MarshallingUiPort::TreeItemLabel(TreeItem i) { return Call([&] { return target_.TreeItemLabel(i); }); }
TreeItem MarshallingUiPort::TreeItemParent(TreeItem i) { return Call([&] { return target_.TreeItemParent(i); }); }
TreeItem MarshallingUiPort::TreeFirstChild(TreeItem i) { return Call([&] { return target_.TreeFirstChild(i); }); }
TreeItem MarshallingUiPort::TreeNextSibling(TreeItem i) { return Call([&] { return target_.TreeNextSibling(i); }); }
TreeItem MarshallingUiPort::SelectedTreeItem() { return Call([&] { return target_.SelectedTreeItem(); }); }
void MarshallingUiPort::SelectTreeItem(TreeItem i) { Call([&] { target_.SelectTreeItem(i); }); }
void MarshallingUiPort::RedrawTree() { Call([&] { target_.RedrawTree(); }); }
void MarshallingUiPort::ShowGridView() { Call([&] { target_.ShowGridView(); }); }
void MarshallingUiPort::ShowTextView() { Call([&] { target_.ShowTextView(); }); }
void MarshallingUiPort::SetRecordsText(const std::string& t) { Call([&] { target_.SetRecordsText(t); }); }
void MarshallingUiPort::SetGridColumns(const std::vector<std::string>& h) { Call([&] { target_.SetGridColumns(h); }); }
void MarshallingUiPort::ClearGrid() { Call([&] { target_.ClearGrid(); }); }
void MarshallingUiPort::InsertGridRow(int i, const std::vector<std::string>& c) {
  Call([&] { target_.InsertGridRow(i, c); });
}
void MarshallingUiPort::DeleteGridRow(int i) { Call([&] { target_.DeleteGridRow(i); }); }
void MarshallingUiPort::DeleteAllGridRows() { Call([&] { target_.DeleteAllGridRows(); }); }
int MarshallingUiPort::GridRowCount() { return Call([&] { return target_.GridRowCount(); }); }
void MarshallingUiPort::SetPageLabel(const std::string& t) { Call([&] { target_.SetPageLabel(t); }); }
void MarshallingUiPort::EnablePagingButtons(bool p, bool n) { Call([&] { target_.EnablePagingButtons(p, n); }); }
void MarshallingUiPort::RepaintGrid() { Call([&] { target_.RepaintGrid(); }); }
void MarshallingUiPort::ShowMessage(const std::string& t, MessageIcon i) { Call([&] { target_.ShowMessage(t, i); }); }
bool MarshallingUiPort::AskYesNo(const std::string& t, MessageIcon i) { return Call([&] { return target_.AskYesNo(t, i); }); }

}  // namespace pagewright
