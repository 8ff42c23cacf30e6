// The test controls of andor_sim_control.h.
#include "andor_sim.h"

using andor_sim::AndorSim;

namespace {

AndorSim &sim() { return AndorSim::instance(); }

} // namespace

extern "C" {

int andorSimReset(void) { return sim().reset() ? 1 : 0; }

int andorSimConfigureFromEnvironment(void) { return sim().configureFromEnvironment() ? 1 : 0; }

int32_t andorSimAddCamera(int32_t handle, int32_t width, int32_t height) {
  return sim().addCamera(handle, width, height);
}

int32_t andorSimSetRingCapacity(int32_t handle, uint32_t images) {
  return sim().setRingCapacity(handle, images);
}

int32_t andorSimSetFramePeriod(int32_t handle, double seconds) {
  return sim().setFramePeriod(handle, seconds);
}

int32_t andorSimSetFirstImageNumber(int32_t handle, uint32_t number) {
  return sim().setFirstImageNumber(handle, number);
}

int32_t andorSimSetSceneMotion(int32_t handle, double rate) { return sim().setSceneMotion(handle, rate); }

int32_t andorSimSetSceneSeed(int32_t handle, uint32_t seed) { return sim().setSceneSeed(handle, seed); }

int32_t andorSimSetStillPicture(int32_t handle, int still) {
  return sim().setStillPicture(handle, still != 0);
}

void andorSimSetFreeRunning(int freeRunning) { sim().setFreeRunning(freeRunning != 0); }

int32_t andorSimProduceImages(int32_t handle, int32_t count) { return sim().produceImages(handle, count); }

int andorSimInjectStatus(const char *operation, int32_t status, int when) {
  return sim().injector.inject(operation, status, when == ANDOR_SIM_ALWAYS) ? 1 : 0;
}

void andorSimClearInjectedStatuses(void) { sim().injector.clear(); }

size_t andorSimCallLogCount(void) { return sim().log.count(); }

long andorSimCallLogLine(size_t index, char *buffer, size_t size) {
  return sim().log.line(index, buffer, size);
}

void andorSimClearCallLog(void) { sim().log.clear(); }

int32_t andorSimGetCamera(int32_t handle, AndorSimCameraState *state) {
  return sim().getCamera(handle, state);
}

int32_t andorSimCurrentCamera(void) { return sim().currentCamera(); }

int andorSimDriverInitialized(void) { return sim().initialized() ? 1 : 0; }

int andorSimWaitForImages(int32_t handle, uint64_t count, uint32_t timeoutMs) {
  return sim().waitForImages(handle, count, timeoutMs) ? 1 : 0;
}

int andorSimWaitForWaiters(int32_t count, uint32_t timeoutMs) {
  return sim().waitForWaiters(count, timeoutMs) ? 1 : 0;
}

int andorSimWaitForDriverEvent(int32_t handle, uint32_t timeoutMs) {
  return sim().waitForDriverEvent(handle, timeoutMs) ? 1 : 0;
}

} // extern "C"
