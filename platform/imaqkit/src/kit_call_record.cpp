#include "kit_call_record.h"

#include <algorithm>

namespace imaqkit::detail {

void KitCallRecord::updateActive() { active_.store(recording_ || static_cast<bool>(observer_)); }

void KitCallRecord::enable(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  recording_ = on;
  updateActive();
}

void KitCallRecord::setObserver(std::function<void(const std::string &)> observer) {
  std::lock_guard<std::mutex> lock(mutex_);
  observer_ = std::move(observer);
  updateActive();
}

void KitCallRecord::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
}

std::vector<std::string> KitCallRecord::entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}

bool KitCallRecord::waitFor(const std::string &entry, std::size_t occurrences,
                            std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return added_.wait_for(lock, timeout, [&] {
    return static_cast<std::size_t>(std::count(entries_.begin(), entries_.end(), entry)) >= occurrences;
  });
}

void KitCallRecord::add(std::string entry) {
  std::function<void(const std::string &)> observer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    observer = observer_;
    if (recording_) entries_.push_back(entry);
  }
  added_.notify_all();
  // Outside the lock: an observer may well call back into the engine.
  if (observer) observer(entry);
}

} // namespace imaqkit::detail
