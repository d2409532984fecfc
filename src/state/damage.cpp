#include "state/damage.h"

namespace pagewright {

void DamageCounters::Report(const DamageEvent& event) {
  {
    std::lock_guard lock(mutex_);
    const auto r = static_cast<size_t>(event.reason);
    if (r < kDamageReasonCount) {
      ++counts_[r];
      ++byObject_[event.objectId][r];
    }
    if (event.bytes > 0) bytes_ += static_cast<uint64_t>(event.bytes);
  }
  if (parent_ != nullptr) parent_->Report(event);
}

DamageCounts DamageCounters::Counts() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

std::map<int32_t, DamageCounts> DamageCounters::CountsByObject() const {
  std::lock_guard lock(mutex_);
  return byObject_;
}

uint64_t DamageCounters::Total() const {
  std::lock_guard lock(mutex_);
  uint64_t total = 0;
  for (uint64_t c : counts_) total += c;
  return total;
}

uint64_t DamageCounters::BytesLost() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

void DamageCounters::Clear() {
  std::lock_guard lock(mutex_);
  counts_ = {};
  byObject_.clear();
  bytes_ = 0;
}

}  // namespace pagewright
