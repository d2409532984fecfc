// A notification sink that records what it receives.
#ifndef PAGEWRIGHT_TESTS_SUPPORT_RECORDING_SINK_H_
#define PAGEWRIGHT_TESTS_SUPPORT_RECORDING_SINK_H_

#include <functional>
#include <string>
#include <vector>

#include "state/notifications.h"

namespace pagewright::testing {

class RecordingSink : public NotificationSink {
 public:
  void Notify(const Notification& n) override {
    received.push_back(n);
    if (onNotify) onNotify(n);
  }
  // Texts of the notifications with the given id, in order.
  std::vector<std::string> Texts(NotificationId id) const {
    std::vector<std::string> out;
    for (const auto& n : received)
      if (n.id == id) out.push_back(n.text);
    return out;
  }
  std::vector<int64_t> Positions() const {
    std::vector<int64_t> out;
    for (const auto& n : received)
      if (n.id == NotificationId::kProgressPos) out.push_back(n.wParam);
    return out;
  }
  std::vector<Notification> received;
  std::function<void(const Notification&)> onNotify;
};

}  // namespace pagewright::testing

#endif  // PAGEWRIGHT_TESTS_SUPPORT_RECORDING_SINK_H_
