#ifndef CAMERA_TESTS_SUPPORT_SIMULATED_QCAM_H
#define CAMERA_TESTS_SUPPORT_SIMULATED_QCAM_H

#include "qcam_sim_control.h"
#include "simulated_driver.h"

inline constexpr SimulatedDriver simulatedQCam = {"QCamCamera", qcamSimReset, qcamSimCallLogCount,
                                                  qcamSimCallLogLine};

#endif
