// The eight notifications a worker sends to the user interface.
//
// A sender waits until the sink has handled each notification: `Notify`
// returns only then. Sinks that live on another thread (a window's event
// loop) marshal the call and block the sender until it has run, see
// BlockingRelay.
#ifndef PAGEWRIGHT_STATE_NOTIFICATIONS_H_
#define PAGEWRIGHT_STATE_NOTIFICATIONS_H_

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace pagewright {

// Numbers are the window-message numbers the notifications carry on Windows.
enum class NotificationId : uint32_t {
  kProgressRange = 1028,  // wParam lower bound, lParam upper bound
  kStatusText = 1029,     // text
  kOpenFailed = 1030,     // text: fatal open error
  kNodeSelected = 1174,   // wParam hit-test flags, lParam tree item
  kProgressPos = 1180,    // wParam position
  kLogLine = 1207,        // text
  kPagePrevious = 1214,
  kPageNext = 1215,
};

struct Notification {
  NotificationId id;
  int64_t wParam = 0;
  int64_t lParam = 0;
  std::string text;  // UTF-8
};

const char* NotificationName(NotificationId id);

class NotificationSink {
 public:
  virtual ~NotificationSink() = default;
  // Handles one notification; returns when it has been handled.
  virtual void Notify(const Notification& notification) = 0;
};

// Helpers used by senders; a null sink drops the notification.
void SendProgressRange(NotificationSink* sink, int64_t lower, int64_t upper);
void SendProgressPos(NotificationSink* sink, int64_t position);
void SendStatusText(NotificationSink* sink, const std::string& text);
void SendOpenFailed(NotificationSink* sink, const std::string& text);
void SendLogLine(NotificationSink* sink, const std::string& text);

// Carries notifications from worker threads to the thread that runs
// `Pump`/`PumpUntil`, and makes each sender wait until its notification has
// been handled there by the target sink.
class BlockingRelay : public NotificationSink {
 public:
  explicit BlockingRelay(NotificationSink& target) : target_(target) {}
  void Notify(const Notification& notification) override;

  // Handles every notification queued so far on the calling thread.
  void Pump();
  // Handles notifications as they arrive until `done()` is true or the
  // timeout passes; `done` is evaluated on this thread.
  void PumpUntil(const std::function<bool()>& done);
  // Wakes a PumpUntil so it re-evaluates its predicate.
  void Wake();

 private:
  struct Pending {
    const Notification* notification;
    bool handled = false;
  };
  NotificationSink& target_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable handled_;
  std::deque<Pending*> queue_;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_STATE_NOTIFICATIONS_H_
