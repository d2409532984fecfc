// Damage reports: what a reader had to drop, skip or cut, and where.
//
// A reader that meets bytes it cannot use reports one event and goes on,
// in the manner of a log reader's corruption reporter: the reason, the
// place (file id, page, slot, offset) and how many bytes were lost. The
// counters keep totals per reason and per object for one read (a scan, a
// table) and may pass every event on to the counters of an enclosing read.
#ifndef PAGEWRIGHT_STATE_DAMAGE_H_
#define PAGEWRIGHT_STATE_DAMAGE_H_

#include <array>
#include <cstdint>
#include <map>
#include <mutex>

namespace pagewright {

enum class DamageReason : uint8_t {
  kPageUnreadable,         // a page a list or pointer names lies outside its file
  kRecordRejected,         // a slot's record could not be parsed
  kRowDropped,             // a parsed record gave no row
  kLargeValueSkipped,      // a large-value fragment could not be read
  kValueCut,               // a value was cut to the size limit
  kForwardUnreadable,      // a forwarding stub's target could not be read
  kSecondaryFileMissing,   // a file the catalog names was not found
  kChainLoop,              // a page chain came back to a page already walked
};
constexpr size_t kDamageReasonCount = static_cast<size_t>(DamageReason::kChainLoop) + 1;

struct DamageEvent {
  DamageReason reason = DamageReason::kPageUnreadable;
  int32_t objectId = 0;  // the object being read, 0 when none
  int16_t fileId = 0;
  int32_t page = -1;  // -1 when not on a page
  int32_t slot = -1;
  int32_t offset = -1;
  int64_t bytes = 0;  // bytes lost, 0 when unknown
};

class DamageReporter {
 public:
  virtual ~DamageReporter() = default;
  virtual void Report(const DamageEvent& event) = 0;
};

using DamageCounts = std::array<uint64_t, kDamageReasonCount>;

// Counts events per reason and per object; safe to report into from
// several threads. Every event is passed on to `parent` as well.
class DamageCounters : public DamageReporter {
 public:
  explicit DamageCounters(DamageReporter* parent = nullptr) : parent_(parent) {}
  void Report(const DamageEvent& event) override;

  DamageCounts Counts() const;
  std::map<int32_t, DamageCounts> CountsByObject() const;
  uint64_t Total() const;
  uint64_t Count(DamageReason reason) const { return Counts()[static_cast<size_t>(reason)]; }
  uint64_t BytesLost() const;
  void Clear();

 private:
  DamageReporter* parent_;
  mutable std::mutex mutex_;
  DamageCounts counts_{};
  std::map<int32_t, DamageCounts> byObject_;
  uint64_t bytes_ = 0;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_STATE_DAMAGE_H_
