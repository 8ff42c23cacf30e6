// What every simulated driver does first on each call: writes it to the call
// log, then answers with a status a test injected for the operation, if any.
// The drivers' states derive from it; their exports call intercept before
// handing over to the state.
#ifndef CAMERA_SIM_RECORDED_DRIVER_H
#define CAMERA_SIM_RECORDED_DRIVER_H

#include "driver_call_log.h"
#include "status_injector.h"

#include <cstdint>
#include <initializer_list>

namespace sim_common {

class RecordedDriver {
public:
  // Logs the call; true, with the status, when a test injected one for it.
  bool intercept(const DriverCallText &call, const char *operation, int32_t &status);
  // An empty log and no injected status, as after a reset.
  void forgetCalls() {
    injector.clear();
    log.clear();
  }

  DriverCallLog log;
  StatusInjector injector;

protected:
  // The operations that may be injected (see StatusInjector).
  explicit RecordedDriver(std::initializer_list<const char *> operations) : injector(operations) {}
};

} // namespace sim_common

#endif
