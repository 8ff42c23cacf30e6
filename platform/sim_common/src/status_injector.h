// Statuses that tests make a simulated driver return: per operation, for
// the next call only or for every call until cleared. An operation that
// meets an injected status does nothing else: it changes no state, writes
// no output and returns that status.
#ifndef CAMERA_SIM_STATUS_INJECTOR_H
#define CAMERA_SIM_STATUS_INJECTOR_H

#include <cstdint>
#include <initializer_list>
#include <map>
#include <mutex>
#include <set>
#include <string>

namespace sim_common {

class StatusInjector {
public:
  // The names that may be injected: the driver's operations, and any
  // pseudo-operation the driver consults (such as a frame's completion).
  explicit StatusInjector(std::initializer_list<const char *> operations);

  // False, and nothing set, for a name that is not an operation.
  bool inject(const char *operation, int32_t status, bool always);
  void clear();
  // True, with the status, when one is injected for this call; a one-time
  // status is used up.
  bool take(const char *operation, int32_t &status);

private:
  struct Injection {
    int32_t status;
    bool always;
  };
  std::set<std::string> operations_;
  std::mutex mutex_;
  std::map<std::string, Injection> injections_;
};

} // namespace sim_common

#endif
