#ifndef CAMERA_TESTS_SUPPORT_SIMULATED_ANDOR_H
#define CAMERA_TESTS_SUPPORT_SIMULATED_ANDOR_H

#include "andor_sim_control.h"
#include "simulated_driver.h"

inline constexpr SimulatedDriver simulatedAndor = {"AndorCamera", andorSimReset, andorSimCallLogCount,
                                                   andorSimCallLogLine};

#endif
