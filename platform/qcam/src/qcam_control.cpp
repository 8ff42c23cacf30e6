// The test controls of qcam_sim_control.h.
#include "qcam_sim.h"

using qcam_sim::QCamSim;

namespace {

QCamSim &sim() { return QCamSim::instance(); }

} // namespace

extern "C" {

int qcamSimReset(void) { return sim().reset() ? 1 : 0; }

int qcamSimConfigureFromEnvironment(void) { return sim().configureFromEnvironment() ? 1 : 0; }

int32_t qcamSimAddCamera(int32_t handle, const char *serial, uint32_t width, uint32_t height,
                         uint32_t bitDepth) {
  return sim().addCamera(handle, serial, width, height, bitDepth);
}

int32_t qcamSimReportInfo(int32_t handle, uint32_t key, uint32_t value) {
  return sim().reportInfo(handle, key, value);
}

void qcamSimSetFreeRunning(int freeRunning) { sim().setFreeRunning(freeRunning != 0); }

int32_t qcamSimSetFramePeriod(int32_t handle, double seconds) {
  return sim().setFramePeriod(handle, seconds);
}

int32_t qcamSimSetNextImageNumber(int32_t handle, uint32_t number) {
  return sim().setNextImageNumber(handle, number);
}

int32_t qcamSimSetSceneMotion(int32_t handle, double rate) { return sim().setSceneMotion(handle, rate); }

int32_t qcamSimSetSceneSeed(int32_t handle, uint32_t seed) { return sim().setSceneSeed(handle, seed); }

int32_t qcamSimSetStillPicture(int32_t handle, int still) {
  return sim().setStillPicture(handle, still != 0);
}

size_t qcamSimCameraHandles(int32_t *handles, size_t capacity) {
  return sim().cameraHandles(handles, capacity);
}

int32_t qcamSimProduceImages(int32_t handle, int32_t count) { return sim().produceImages(handle, count); }

int qcamSimInjectStatus(const char *operation, int32_t status, int when) {
  return sim().injector.inject(operation, status, when == QCAM_SIM_ALWAYS) ? 1 : 0;
}

void qcamSimClearInjectedStatuses(void) { sim().injector.clear(); }

size_t qcamSimCallLogCount(void) { return sim().log.count(); }

long qcamSimCallLogLine(size_t index, char *buffer, size_t size) {
  return sim().log.line(index, buffer, size);
}

void qcamSimClearCallLog(void) { sim().log.clear(); }

int32_t qcamSimGetCounters(int32_t handle, QCamSimCounters *counters) {
  return sim().getCounters(handle, counters);
}

int32_t qcamSimQueuedFrames(int32_t handle) { return sim().queuedFrames(handle); }

int qcamSimWaitForCompletions(uint64_t count, uint32_t timeoutMs) {
  return sim().waitForCompletions(count, timeoutMs) ? 1 : 0;
}

int qcamSimWaitUntilDrained(uint32_t timeoutMs) { return sim().waitUntilDrained(timeoutMs) ? 1 : 0; }

} // extern "C"
