// A session in a scratch folder with simulated QCam cameras in
// deterministic mode, and callbacks that record what MATLAB handed them.
#ifndef CAMERA_TESTS_SUBMITBUFFERS_FIXTURE_H
#define CAMERA_TESTS_SUBMITBUFFERS_FIXTURE_H

#include "matlab_session.h"
#include "qcam_sim_control.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

struct FrameCalls {
  int count = 0;
  int arguments = -1;
  int nargout = -1;
  std::vector<std::string> tags; // the camera object's "tag"
  // Of the struct handed over, and of its frameData matrix:
  size_t structElements = 0;
  int fields = -1;
  std::string fieldName;
  mxClassID frameClass = mxUNKNOWN_CLASS;
  size_t rows = 0, columns = 0;
  std::vector<uint16_t> firstPixels; // the image number the driver stamps
  std::vector<const uint16_t *> data;
};

inline const char *callLogPath() { return "C:\\QCamLog.txt"; }

class SubmitBuffersTest : public ::testing::Test {
protected:
  mexhost::Session session;
  ScratchFolder scratch;

  void SetUp() override {
    // The log's path names a file in the working folder where there is no
    // drive C:, so every test gets a fresh folder; on Windows it is the real
    // C:\QCamLog.txt, removed before and after each test.
    scratch.enter("submitBuffers");
    scratch.addLibraryPath(session);
    removeCallLog();
    qcamSimReset();
    ASSERT_EQ(qcamSimAddCamera(200, "QSIM0200", 8, 6, 16), 0);
    ASSERT_EQ(qcamSimAddCamera(201, "QSIM0201", 5, 4, 12), 0);
  }

  void TearDown() override {
    mexhost::SessionReport report = session.close();
    EXPECT_TRUE(report.leaked.empty())
        << "leaked arrays " << report.leaked.arrays << ", blocks " << report.leaked.blocks;
    qcamSimReset();
    removeCallLog();
    scratch.leave();
  }

  static void removeCallLog() {
    std::error_code ignored;
    std::filesystem::remove_all(callLogPath(), ignored);
  }

  mexhost::Value camera(int32_t handle, const std::string &tag = "first") {
    return session.object("QCamCamera",
                          {{"cameraHandle", session.int32(handle)}, {"tag", session.text(tag)}});
  }

  mexhost::Value recorder(FrameCalls &calls, const std::string &error = "") {
    return session.functionHandle([&calls, error](const std::vector<const mxArray *> &args, int nargout) {
      ++calls.count;
      calls.arguments = static_cast<int>(args.size());
      calls.nargout = nargout;
      if (!args.empty()) {
        char tag[64] = "";
        mxArray *property = mxGetProperty(args[0], 0, "tag");
        if (property != nullptr) mxGetString(property, tag, sizeof tag);
        calls.tags.push_back(tag);
      }
      if (args.size() > 1 && mxIsStruct(args[1])) {
        calls.structElements = mxGetNumberOfElements(args[1]);
        calls.fields = mxGetNumberOfFields(args[1]);
        calls.fieldName = calls.fields > 0 ? mxGetFieldNameByNumber(args[1], 0) : "";
        const mxArray *frame = mxGetField(args[1], 0, "frameData");
        if (frame != nullptr) {
          calls.frameClass = mxGetClassID(frame);
          calls.rows = mxGetM(frame);
          calls.columns = mxGetN(frame);
          const uint16_t *pixels = static_cast<const uint16_t *>(mxGetData(frame));
          calls.data.push_back(pixels);
          calls.firstPixels.push_back(pixels != nullptr ? pixels[0] : 0xFFFF);
        }
      }
      if (!error.empty()) mexhost::raiseError(error);
      return std::vector<mexhost::Value>{};
    });
  }

  mexhost::CallResult submit(const std::vector<mexhost::Value> &inputs) {
    return session.call("submitBuffers", inputs, 0);
  }

  void mustSubmit(const std::vector<mexhost::Value> &inputs) {
    mexhost::CallResult result = submit(inputs);
    ASSERT_TRUE(result.ok) << result.errorMessage;
  }

  // Images arrive for the camera's queued frames; waits until the driver has
  // run every completion routine since the reset, up to total.
  void produce(int32_t handle, int32_t images, uint64_t totalCompletions) {
    qcamSimProduceImages(handle, images);
    ASSERT_EQ(qcamSimWaitForCompletions(totalCompletions, 5000), 1);
  }

  bool waitForCalls(const FrameCalls &calls, int count) {
    return session.runUntil([&] { return calls.count >= count; }, std::chrono::seconds(5));
  }

  mexhost::MemoryCount keptByLibrary() {
    for (const mexhost::LibraryMemory &library : session.memory())
      if (library.library == "submitBuffers" && library.loaded) return library.persistent;
    return {};
  }

  std::vector<std::string> callLog() {
    std::vector<std::string> lines;
    for (size_t i = 0; i < qcamSimCallLogCount(); ++i) {
      char line[256];
      qcamSimCallLogLine(i, line, sizeof line);
      lines.push_back(line);
    }
    return lines;
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
