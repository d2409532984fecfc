#include "state/notifications.h"

#include <chrono>

namespace pagewright {

const char* NotificationName(NotificationId id) {
  switch (id) {
    case NotificationId::kProgressRange: return "WM_PROGRESS_RANGE";
    case NotificationId::kStatusText: return "WM_STATUS_TEXT";
    case NotificationId::kOpenFailed: return "WM_OPEN_FAILED";
    case NotificationId::kNodeSelected: return "WM_NODE_SELECTED";
    case NotificationId::kProgressPos: return "WM_PROGRESS_POS";
    case NotificationId::kLogLine: return "WM_LOG_LINE";
    case NotificationId::kPagePrevious: return "WM_PAGE_PREVIOUS";
    case NotificationId::kPageNext: return "WM_PAGE_NEXT";
  }
  return "WM_UNKNOWN";
}

namespace {
void Send(NotificationSink* sink, NotificationId id, int64_t w, int64_t l, std::string text) {
  if (sink == nullptr) return;
  Notification n{id, w, l, std::move(text)};
  sink->Notify(n);
}
}  // namespace

void SendProgressRange(NotificationSink* sink, int64_t lower, int64_t upper) {
  Send(sink, NotificationId::kProgressRange, lower, upper, {});
}
void SendProgressPos(NotificationSink* sink, int64_t position) {
  Send(sink, NotificationId::kProgressPos, position, 0, {});
}
void SendStatusText(NotificationSink* sink, const std::string& text) {
  Send(sink, NotificationId::kStatusText, 0, 0, text);
}
void SendOpenFailed(NotificationSink* sink, const std::string& text) {
  Send(sink, NotificationId::kOpenFailed, 0, 0, text);
}
void SendLogLine(NotificationSink* sink, const std::string& text) {
  Send(sink, NotificationId::kLogLine, 0, 0, text);
}

void BlockingRelay::Notify(const Notification& notification) {
  Pending pending{&notification};
  std::unique_lock lock(mutex_);
  queue_.push_back(&pending);
  queued_.notify_all();
  handled_.wait(lock, [&] { return pending.handled; });
}

void BlockingRelay::Pump() {
  std::unique_lock lock(mutex_);
  while (!queue_.empty()) {
    Pending* p = queue_.front();
    queue_.pop_front();
    lock.unlock();
    target_.Notify(*p->notification);
    lock.lock();
    p->handled = true;
    handled_.notify_all();
  }
}

void BlockingRelay::PumpUntil(const std::function<bool()>& done) {
  for (;;) {
    Pump();
    if (done()) return;
    std::unique_lock lock(mutex_);
    queued_.wait_for(lock, std::chrono::milliseconds(20), [&] { return !queue_.empty(); });
  }
}

void BlockingRelay::Wake() {
  std::lock_guard lock(mutex_);
  queued_.notify_all();
}

}  // namespace pagewright
