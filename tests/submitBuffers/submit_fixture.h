// A session in a scratch folder with simulated QCam cameras in
// deterministic mode, and callbacks that record what MATLAB handed them.
#ifndef CAMERA_TESTS_SUBMITBUFFERS_FIXTURE_H
#define CAMERA_TESTS_SUBMITBUFFERS_FIXTURE_H

#include "mex_library_test.h"
#include "simulated_qcam.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// Also the struct handed over with the frame, and its frameData matrix.
struct FrameCalls : RecordedCalls {
  size_t structElements = 0;
  int fields = -1;
  std::vector<std::string> fieldNames;
  std::vector<double> errorCodes;
  mxClassID frameClass = mxUNKNOWN_CLASS;
  size_t rows = 0, columns = 0;
  std::vector<uint16_t> firstPixels; // the image number the driver stamps
  std::vector<const uint16_t *> data;

  void record(const std::vector<const mxArray *> &args, int outputs) {
    RecordedCalls::record(args, outputs);
    if (args.size() < 2 || !mxIsStruct(args[1])) return;
    structElements = mxGetNumberOfElements(args[1]);
    fields = mxGetNumberOfFields(args[1]);
    fieldNames.clear();
    for (int f = 0; f < fields; ++f) fieldNames.push_back(mxGetFieldNameByNumber(args[1], f));
    const mxArray *code = mxGetField(args[1], 0, "errorCode");
    errorCodes.push_back(code != nullptr && mxIsDouble(code) ? mxGetScalar(code) : -1.0);
    const mxArray *frame = mxGetField(args[1], 0, "frameData");
    if (frame == nullptr) return;
    frameClass = mxGetClassID(frame);
    rows = mxGetM(frame);
    columns = mxGetN(frame);
    const uint16_t *pixels = static_cast<const uint16_t *>(mxGetData(frame));
    data.push_back(pixels);
    firstPixels.push_back(pixels != nullptr ? pixels[0] : 0xFFFF);
  }
};

inline const char *callLogPath() { return "C:\\QCamLog.txt"; }

class SubmitBuffersTest : public MexLibraryTest<simulatedQCam> {
protected:
  SubmitBuffersTest() : MexLibraryTest("submitBuffers") {}

  void SetUp() override {
    // The log's path names a file in the working folder where there is no
    // drive C:, and the scratch folder is fresh for every test; on Windows
    // it is the real C:\QCamLog.txt, removed before and after each test.
    MexLibraryTest::SetUp();
    removeCallLog();
    ASSERT_EQ(qcamSimAddCamera(200, "QSIM0200", 8, 6, 16), 0);
    ASSERT_EQ(qcamSimAddCamera(201, "QSIM0201", 5, 4, 12), 0);
  }

  void TearDown() override {
    MexLibraryTest::TearDown();
#ifdef _WIN32
    removeCallLog(); // elsewhere it went with the scratch folder
#endif
  }

  static void removeCallLog() {
    std::error_code ignored;
    std::filesystem::remove_all(callLogPath(), ignored);
  }

  mexhost::Value camera(int32_t handle, const std::string &tag = "first") {
    return taggedCamera(session.int32(handle), tag);
  }

  mexhost::CallResult submit(const std::vector<mexhost::Value> &inputs) { return call(inputs, 0); }
  void mustSubmit(const std::vector<mexhost::Value> &inputs) { mustCall(inputs); }

  // Images arrive for the camera's queued frames; waits until the driver has
  // run every completion routine since the reset, up to total.
  void produce(int32_t handle, int32_t images, uint64_t totalCompletions) {
    qcamSimProduceImages(handle, images);
    ASSERT_EQ(qcamSimWaitForCompletions(totalCompletions, 5000), 1);
  }

  size_t countCalls(const std::string &prefix) {
    size_t count = 0;
    for (const std::string &line : callLog()) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
  }

  std::vector<std::string> logLines() {
    std::vector<std::string> lines;
    std::ifstream file(callLogPath());
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

  size_t printedCount(const std::string &text) {
    size_t count = 0;
    for (const std::string &entry : session.printed()) count += entry == text ? 1 : 0;
    return count;
  }

  size_t printedStarting(const std::string &prefix) {
    size_t count = 0;
    for (const std::string &entry : session.printed()) count += entry.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
  }
};

#endif
