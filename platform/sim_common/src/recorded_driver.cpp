#include "recorded_driver.h"

namespace sim_common {

bool RecordedDriver::intercept(const DriverCallText &call, const char *operation, int32_t &status) {
  log.record(call);
  return injector.take(operation, status);
}

} // namespace sim_common
