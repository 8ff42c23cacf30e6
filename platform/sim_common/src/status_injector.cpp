#include "status_injector.h"

namespace sim_common {

StatusInjector::StatusInjector(std::initializer_list<const char *> operations)
    : operations_(operations.begin(), operations.end()) {}

bool StatusInjector::inject(const char *operation, int32_t status, bool always) {
  if (!operation || !operations_.count(operation)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  injections_[operation] = Injection{status, always};
  return true;
}

void StatusInjector::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  injections_.clear();
}

bool StatusInjector::take(const char *operation, int32_t &status) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = injections_.find(operation);
  if (found == injections_.end()) return false;
  status = found->second.status;
  if (!found->second.always) injections_.erase(found);
  return true;
}

} // namespace sim_common
