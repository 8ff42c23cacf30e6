// The driver's operations, with C linkage and the driver's calling
// convention. Each logs its call, answers with a status a test injected if
// there is one, and otherwise hands over to the driver's state.
#include "qcam_sim.h"

using qcam_sim::QCamSim;
using sim_common::DriverCallText;

namespace {

QCamSim &sim() { return QCamSim::instance(); }

} // namespace

extern "C" {

int32_t WINAPI qcamGetSerialString(int32_t camera, char *buffer, uint32_t size) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(camera).arg(buffer).arg(size), __func__, status))
    return status;
  return sim().getSerialString(camera, buffer, size);
}

int32_t WINAPI qcamGetInfo(int32_t camera, uint32_t key, uint32_t *value) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(camera).arg(key).arg(value), __func__, status))
    return status;
  return sim().getInfo(camera, key, value);
}

int32_t WINAPI qcamQueueBuffer(int32_t camera, QCamFrameRecord *frame, QCamCompletionRoutine routine,
                               uint32_t callbackFlags, void *userPointer, uint32_t userData) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__)
                          .arg(camera)
                          .arg(frame)
                          .arg(reinterpret_cast<const void *>(routine))
                          .arg(callbackFlags)
                          .arg(userPointer)
                          .arg(userData),
                      __func__, status))
    return status;
  return sim().queueBuffer(camera,
                           qcam_sim::QueuedFrame{frame, routine, callbackFlags, userPointer, userData});
}

int32_t WINAPI qcamGrabImage(int32_t camera, QCamFrameRecord *frame) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(camera).arg(frame), __func__, status)) return status;
  return sim().grabImage(camera, frame);
}

} // extern "C"
