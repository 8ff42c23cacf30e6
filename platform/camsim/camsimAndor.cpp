// camsim commands of the simulated Andor driver.
#include "camsimCommand.h"

#include "andor_sim_control.h"

#include <string>

namespace {

void reset(const CamsimCall &) {
  if (!andorSimReset())
    mexErrMsgIdAndTxt("camsim:andor", "camsim: the Andor driver cannot be reset from its own thread.");
}

void addCamera(const CamsimCall &call) {
  int32_t status =
      andorSimAddCamera(integerArgument(call, 0), integerArgument(call, 1), integerArgument(call, 2));
  if (status != ANDOR_STATUS_SUCCESS)
    mexErrMsgIdAndTxt("camsim:andor", "camsim: andorAddCamera failed with status %d.", status);
}

void setFreeRunning(const CamsimCall &call) { andorSimSetFreeRunning(numberArgument(call, 0) != 0); }

void setFramePeriod(const CamsimCall &call) {
  setScalarOutput(call, andorSimSetFramePeriod(integerArgument(call, 0), numberArgument(call, 1)));
}

void setFirstImageNumber(const CamsimCall &call) {
  setScalarOutput(call, andorSimSetFirstImageNumber(integerArgument(call, 0), unsigned32Argument(call, 1)));
}

void setSceneMotion(const CamsimCall &call) {
  setScalarOutput(call, andorSimSetSceneMotion(integerArgument(call, 0), numberArgument(call, 1)));
}

void setSceneSeed(const CamsimCall &call) {
  setScalarOutput(call, andorSimSetSceneSeed(integerArgument(call, 0), unsigned32Argument(call, 1)));
}

void setRingCapacity(const CamsimCall &call) {
  int32_t images = integerArgument(call, 1);
  if (images < 1) mexErrMsgIdAndTxt("camsim:arguments", "camsim: the ring holds at least one image.");
  setScalarOutput(call, andorSimSetRingCapacity(integerArgument(call, 0), static_cast<uint32_t>(images)));
}

// The camera's own operations, as the toolkit's camera class calls them.
void start(const CamsimCall &call) {
  selectCamera(integerArgument(call, 0));
  setScalarOutput(call, startAcquisition());
}

void stop(const CamsimCall &call) {
  selectCamera(integerArgument(call, 0));
  setScalarOutput(call, abortAcquisition());
}

void select(const CamsimCall &call) { setScalarOutput(call, selectCamera(integerArgument(call, 0))); }

void produce(const CamsimCall &call) {
  setScalarOutput(call, andorSimProduceImages(integerArgument(call, 0), integerArgument(call, 1)));
}

void injectStatus(const CamsimCall &call) {
  std::string operation = textArgument(call, 0);
  if (!andorSimInjectStatus(operation.c_str(), integerArgument(call, 1), whenArgument(call, 2)))
    mexErrMsgIdAndTxt("camsim:andor", "camsim: the Andor driver has no operation '%s'.", operation.c_str());
}

void clearStatuses(const CamsimCall &) { andorSimClearInjectedStatuses(); }

void camera(const CamsimCall &call) {
  AndorSimCameraState state;
  int32_t handle = integerArgument(call, 0);
  if (andorSimGetCamera(handle, &state) != ANDOR_STATUS_SUCCESS)
    mexErrMsgIdAndTxt("camsim:andor", "camsim: there is no Andor camera %d.", handle);
  const char *fields[] = {"width",    "height",   "acquiring", "lastImage",
                          "hasEvent", "produced", "read",      "lost"};
  mxArray *result = mxCreateStructMatrix(1, 1, 8, fields);
  const double values[] = {
      double(state.detectorWidth), double(state.detectorHeight),       double(state.acquiring),
      double(state.lastImage),     state.event != nullptr ? 1.0 : 0.0, double(state.counters.produced),
      double(state.counters.read), double(state.counters.lost)};
  for (int i = 0; i < 8; ++i) mxSetFieldByNumber(result, 0, i, mxCreateDoubleScalar(values[i]));
  setOutput(call, result);
}

void currentCamera(const CamsimCall &call) { setScalarOutput(call, andorSimCurrentCamera()); }

void waitForImages(const CamsimCall &call) {
  setScalarOutput(call, andorSimWaitForImages(integerArgument(call, 0),
                                              static_cast<uint64_t>(numberArgument(call, 1)),
                                              static_cast<uint32_t>(integerArgument(call, 2))));
}

void callLog(const CamsimCall &call) { setCallLogOutput(call, andorSimCallLogCount(), andorSimCallLogLine); }

void clearCallLog(const CamsimCall &) { andorSimClearCallLog(); }

} // namespace

const CamsimCommand andorCommands[] = {
    {"andorReset", 0, 0, reset},
    {"andorAddCamera", 3, 3, addCamera},
    {"andorSetFreeRunning", 1, 1, setFreeRunning},
    {"andorSetFramePeriod", 2, 2, setFramePeriod},
    {"andorSetRingCapacity", 2, 2, setRingCapacity},
    {"andorSetFirstImageNumber", 2, 2, setFirstImageNumber},
    {"andorSetSceneMotion", 2, 2, setSceneMotion},
    {"andorSetSceneSeed", 2, 2, setSceneSeed},
    {"andorStart", 1, 1, start},
    {"andorStop", 1, 1, stop},
    {"andorSelect", 1, 1, select},
    {"andorProduce", 2, 2, produce},
    {"andorInjectStatus", 2, 3, injectStatus},
    {"andorClearStatuses", 0, 0, clearStatuses},
    {"andorCamera", 1, 1, camera},
    {"andorCurrentCamera", 0, 0, currentCamera},
    {"andorWaitForImages", 3, 3, waitForImages},
    {"andorCallLog", 0, 0, callLog},
    {"andorClearCallLog", 0, 0, clearCallLog},
    {nullptr, 0, 0, nullptr},
};
