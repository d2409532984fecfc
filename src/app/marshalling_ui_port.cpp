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
  queue_.push_back(Entry{{}, &task});
  queued_.notify_all();
  finished_.wait(lock, [&] { return task.done; });
}

void MarshallingUiPort::Post(std::function<void()> fn) {
  if (std::this_thread::get_id() == uiThread_) {
    fn();
    return;
  }
  std::unique_lock lock(mutex_);
  // The bound is looked at again on every wake: lifting it (0) must free a
  // worker already waiting here.
  room_.wait(lock, [&] { return limit_ == 0 || queue_.size() < limit_; });
  queue_.push_back(Entry{std::move(fn), nullptr});
  queued_.notify_all();
}

void MarshallingUiPort::LimitQueue(size_t calls) {
  std::lock_guard lock(mutex_);
  limit_ = calls;
  room_.notify_all();
}

bool MarshallingUiPort::PumpEntries(const std::function<bool()>* done) {
  std::unique_lock lock(mutex_);
  while (!queue_.empty()) {
    Entry entry = std::move(queue_.front());
    queue_.pop_front();
    room_.notify_all();
    lock.unlock();
    if (entry.waiter != nullptr) {
      entry.waiter->run();
    } else {
      entry.run();
    }
    lock.lock();
    if (entry.waiter != nullptr) {
      entry.waiter->done = true;
      finished_.notify_all();
    }
    // A condition is looked at after every call, so that a state the calls
    // pass through is seen even when the worker has queued more behind it.
    if (done != nullptr) {
      lock.unlock();
      const bool reached = (*done)();
      lock.lock();
      if (reached) return true;
    }
  }
  return false;
}

void MarshallingUiPort::Pump() { PumpEntries(nullptr); }

void MarshallingUiPort::PumpUntil(const std::function<bool()>& done) {
  for (;;) {
    if (PumpEntries(&done) || done()) {
      Pump();
      return;
    }
    std::unique_lock lock(mutex_);
    queued_.wait_for(lock, std::chrono::milliseconds(20), [&] { return !queue_.empty(); });
  }
}

void MarshallingUiPort::InsertPaneLine(int i, const std::string& t) { Post([this, i, t] { target_.InsertPaneLine(i, t); }); }
void MarshallingUiPort::SetPaneLine(int i, const std::string& t) { Post([this, i, t] { target_.SetPaneLine(i, t); }); }
void MarshallingUiPort::SetCaption(const std::string& t) { Post([this, t] { target_.SetCaption(t); }); }
void MarshallingUiPort::SetProgressRange(int64_t l, int64_t u) { Post([this, l, u] { target_.SetProgressRange(l, u); }); }
void MarshallingUiPort::SetProgressPos(int64_t p) { Post([this, p] { target_.SetProgressPos(p); }); }
void MarshallingUiPort::ShowProgress(bool v) { Post([this, v] { target_.ShowProgress(v); }); }
TreeItem MarshallingUiPort::InsertTreeItem(TreeItem p, const std::string& l) {
  return Call([&] { return target_.InsertTreeItem(p, l); });
}
void MarshallingUiPort::SetTreeItemData(TreeItem i, int32_t d) { Post([this, i, d] { target_.SetTreeItemData(i, d); }); }
int32_t MarshallingUiPort::TreeItemData(TreeItem i) { return Call([&] { return target_.TreeItemData(i); }); }
void MarshallingUiPort::SetTreeItemBold(TreeItem i, bool b) { Post([this, i, b] { target_.SetTreeItemBold(i, b); }); }
void MarshallingUiPort::SortTreeChildren(TreeItem i) { Post([this, i] { target_.SortTreeChildren(i); }); }
void MarshallingUiPort::DeleteAllTreeItems() { Post([this] { target_.DeleteAllTreeItems(); }); }
std::string MarshallingUiPort::TreeItemLabel(TreeItem i) { return Call([&] { return target_.TreeItemLabel(i); }); }
TreeItem MarshallingUiPort::TreeItemParent(TreeItem i) { return Call([&] { return target_.TreeItemParent(i); }); }
TreeItem MarshallingUiPort::TreeFirstChild(TreeItem i) { return Call([&] { return target_.TreeFirstChild(i); }); }
TreeItem MarshallingUiPort::TreeNextSibling(TreeItem i) { return Call([&] { return target_.TreeNextSibling(i); }); }
TreeItem MarshallingUiPort::SelectedTreeItem() { return Call([&] { return target_.SelectedTreeItem(); }); }
void MarshallingUiPort::SelectTreeItem(TreeItem i) { Post([this, i] { target_.SelectTreeItem(i); }); }
void MarshallingUiPort::RedrawTree() { Post([this] { target_.RedrawTree(); }); }
void MarshallingUiPort::ShowGridView() { Post([this] { target_.ShowGridView(); }); }
void MarshallingUiPort::ShowTextView() { Post([this] { target_.ShowTextView(); }); }
void MarshallingUiPort::SetRecordsText(const std::string& t) { Post([this, t] { target_.SetRecordsText(t); }); }
void MarshallingUiPort::SetGridColumns(const std::vector<std::string>& h) { Post([this, h] { target_.SetGridColumns(h); }); }
void MarshallingUiPort::ClearGrid() { Post([this] { target_.ClearGrid(); }); }
void MarshallingUiPort::InsertGridRow(int i, const std::vector<std::string>& c) {
  Post([this, i, c] { target_.InsertGridRow(i, c); });
}
void MarshallingUiPort::DeleteGridRow(int i) { Post([this, i] { target_.DeleteGridRow(i); }); }
void MarshallingUiPort::DeleteAllGridRows() { Post([this] { target_.DeleteAllGridRows(); }); }
int MarshallingUiPort::GridRowCount() { return Call([&] { return target_.GridRowCount(); }); }
void MarshallingUiPort::SetPageLabel(const std::string& t) { Post([this, t] { target_.SetPageLabel(t); }); }
void MarshallingUiPort::EnablePagingButtons(bool p, bool n) { Post([this, p, n] { target_.EnablePagingButtons(p, n); }); }
void MarshallingUiPort::RepaintGrid() { Post([this] { target_.RepaintGrid(); }); }
void MarshallingUiPort::ShowMessage(const std::string& t, MessageIcon i) { Call([&] { target_.ShowMessage(t, i); }); }
bool MarshallingUiPort::AskYesNo(const std::string& t, MessageIcon i) { return Call([&] { return target_.AskYesNo(t, i); }); }
void MarshallingUiPort::ShowFailure(const std::string& t, MessageIcon i) { Call([&] { target_.ShowFailure(t, i); }); }
void MarshallingUiPort::InsertFailureLine(int i, const std::string& t) {
  Post([this, i, t] { target_.InsertFailureLine(i, t); });
}

}  // namespace pagewright
