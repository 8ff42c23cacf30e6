// camsim commands of the simulated QCam driver.
#include "camsimCommand.h"

#include "qcam_sim_control.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

void reset(const CamsimCall &) {
  if (!qcamSimReset())
    mexErrMsgIdAndTxt("camsim:qcam", "camsim: the QCam driver cannot be reset from its own thread.");
}

void addCamera(const CamsimCall &call) {
  int32_t handle = integerArgument(call, 0);
  std::string serial = textArgument(call, 1);
  int32_t width = integerArgument(call, 2), height = integerArgument(call, 3),
          depth = integerArgument(call, 4);
  int32_t status = -1;
  if (width > 0 && height > 0 && depth > 0)
    status = qcamSimAddCamera(handle, serial.c_str(), uint32_t(width), uint32_t(height), uint32_t(depth));
  if (status != QCAM_STATUS_SUCCESS)
    mexErrMsgIdAndTxt("camsim:qcam", "camsim: qcamAddCamera failed with status %d.", status);
}

void setFreeRunning(const CamsimCall &call) { qcamSimSetFreeRunning(numberArgument(call, 0) != 0); }

// (handle, seconds), or (seconds) for every camera there is.
void setFramePeriod(const CamsimCall &call) {
  if (call.nrhs == 2) {
    setScalarOutput(call, qcamSimSetFramePeriod(integerArgument(call, 0), numberArgument(call, 1)));
    return;
  }
  const double seconds = numberArgument(call, 0);
  std::vector<int32_t> handles(qcamSimCameraHandles(nullptr, 0));
  handles.resize(std::min(handles.size(), qcamSimCameraHandles(handles.data(), handles.size())));
  int32_t status = QCAM_STATUS_SUCCESS;
  for (int32_t handle : handles)
    if (status == QCAM_STATUS_SUCCESS) status = qcamSimSetFramePeriod(handle, seconds);
  setScalarOutput(call, status);
}

void setNextImageNumber(const CamsimCall &call) {
  setScalarOutput(call, qcamSimSetNextImageNumber(integerArgument(call, 0), unsigned32Argument(call, 1)));
}

void setSceneMotion(const CamsimCall &call) {
  setScalarOutput(call, qcamSimSetSceneMotion(integerArgument(call, 0), numberArgument(call, 1)));
}

void setSceneSeed(const CamsimCall &call) {
  setScalarOutput(call, qcamSimSetSceneSeed(integerArgument(call, 0), unsigned32Argument(call, 1)));
}

void produce(const CamsimCall &call) {
  setScalarOutput(call, qcamSimProduceImages(integerArgument(call, 0), integerArgument(call, 1)));
}

void injectStatus(const CamsimCall &call) {
  std::string operation = textArgument(call, 0);
  if (!qcamSimInjectStatus(operation.c_str(), integerArgument(call, 1), whenArgument(call, 2)))
    mexErrMsgIdAndTxt("camsim:qcam", "camsim: the QCam driver has no operation '%s'.", operation.c_str());
}

void clearStatuses(const CamsimCall &) { qcamSimClearInjectedStatuses(); }

void counters(const CamsimCall &call) {
  QCamSimCounters counts;
  int32_t handle = integerArgument(call, 0);
  if (qcamSimGetCounters(handle, &counts) != QCAM_STATUS_SUCCESS)
    mexErrMsgIdAndTxt("camsim:qcam", "camsim: there is no QCam camera %d.", handle);
  const char *fields[] = {"queued", "completed", "failed", "produced", "grabbed", "lost", "waiting"};
  mxArray *result = mxCreateStructMatrix(1, 1, 7, fields);
  const double values[] = {double(counts.queued),
                           double(counts.completed),
                           double(counts.failed),
                           double(counts.produced),
                           double(counts.grabbed),
                           double(counts.lost),
                           double(qcamSimQueuedFrames(handle))};
  for (int i = 0; i < 7; ++i) mxSetFieldByNumber(result, 0, i, mxCreateDoubleScalar(values[i]));
  setOutput(call, result);
}

// What the driver reports of the camera, asked as submitBuffers and
// snapPicture ask it: a test may have made the driver report another size.
void camera(const CamsimCall &call) {
  QCamSimCounters counts;
  int32_t handle = integerArgument(call, 0);
  if (qcamSimGetCounters(handle, &counts) != QCAM_STATUS_SUCCESS)
    mexErrMsgIdAndTxt("camsim:qcam", "camsim: there is no QCam camera %d.", handle);
  char serial[256] = "";
  int32_t status = qcamGetSerialString(handle, serial, sizeof serial);
  const uint32_t keys[] = {QCAM_INFO_IMAGE_WIDTH, QCAM_INFO_IMAGE_HEIGHT, QCAM_INFO_BIT_DEPTH};
  uint32_t values[3] = {0, 0, 0};
  for (int i = 0; i < 3 && status == QCAM_STATUS_SUCCESS; ++i)
    status = qcamGetInfo(handle, keys[i], &values[i]);
  if (status != QCAM_STATUS_SUCCESS)
    mexErrMsgIdAndTxt("camsim:qcam", "camsim: the QCam driver answered status %d about camera %d.", status,
                      handle);
  const char *fields[] = {"serial", "width", "height", "bitDepth"};
  mxArray *result = mxCreateStructMatrix(1, 1, 4, fields);
  mxSetFieldByNumber(result, 0, 0, mxCreateString(serial));
  for (int i = 0; i < 3; ++i) mxSetFieldByNumber(result, 0, i + 1, mxCreateDoubleScalar(double(values[i])));
  setOutput(call, result);
}

void waitForCompletions(const CamsimCall &call) {
  setScalarOutput(call, qcamSimWaitForCompletions(static_cast<uint64_t>(numberArgument(call, 0)),
                                                  static_cast<uint32_t>(integerArgument(call, 1))));
}

void waitUntilDrained(const CamsimCall &call) {
  setScalarOutput(call, qcamSimWaitUntilDrained(static_cast<uint32_t>(integerArgument(call, 0))));
}

void callLog(const CamsimCall &call) { setCallLogOutput(call, qcamSimCallLogCount(), qcamSimCallLogLine); }

void clearCallLog(const CamsimCall &) { qcamSimClearCallLog(); }

} // namespace

const CamsimCommand qcamCommands[] = {
    {"qcamReset", 0, 0, reset},
    {"qcamAddCamera", 5, 5, addCamera},
    {"qcamSetFreeRunning", 1, 1, setFreeRunning},
    {"qcamSetFramePeriod", 1, 2, setFramePeriod},
    {"qcamSetNextImageNumber", 2, 2, setNextImageNumber},
    {"qcamSetSceneMotion", 2, 2, setSceneMotion},
    {"qcamSetSceneSeed", 2, 2, setSceneSeed},
    {"qcamProduce", 2, 2, produce},
    {"qcamInjectStatus", 2, 3, injectStatus},
    {"qcamClearStatuses", 0, 0, clearStatuses},
    {"qcamCounters", 1, 1, counters},
    {"qcamCamera", 1, 1, camera},
    {"qcamWaitForCompletions", 2, 2, waitForCompletions},
    {"qcamWaitUntilDrained", 1, 1, waitUntilDrained},
    {"qcamCallLog", 0, 0, callLog},
    {"qcamClearCallLog", 0, 0, clearCallLog},
    {nullptr, 0, 0, nullptr},
};
