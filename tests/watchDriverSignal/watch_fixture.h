// A session with simulated Andor cameras 3 and 101 acquiring in
// deterministic mode, and callbacks that record how MATLAB called them.
#ifndef CAMERA_TESTS_WATCHDRIVERSIGNAL_FIXTURE_H
#define CAMERA_TESTS_WATCHDRIVERSIGNAL_FIXTURE_H

#include "andor_sim_control.h"
#include "matlab_session.h"

#include <windows.h>
#ifndef _WIN32
#include <win32_test_control.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

struct CallbackCalls {
  int count = 0;
  std::vector<std::string> tags; // the "tag" property of the camera object received
  int arguments = -1;
  int nargout = -1;
  mxClassID secondClass = mxUNKNOWN_CLASS;
  size_t secondRows = 99, secondColumns = 99;
  int secondFields = -1;
};

class WatchDriverSignalTest : public ::testing::Test {
protected:
  mexhost::Session session;

  void SetUp() override {
#ifndef _WIN32
    // As on Windows: a handle used after it was closed reaches another object.
    win32ReuseHandleValues(1);
#endif
    andorSimReset();
    for (int32_t handle : {3, 101}) {
      ASSERT_EQ(andorSimAddCamera(handle, 16, 8), ANDOR_STATUS_SUCCESS);
      selectCamera(handle);
      startAcquisition();
    }
    andorSimClearCallLog();
  }

  void TearDown() override {
    mexhost::SessionReport report = session.close();
    EXPECT_TRUE(report.leaked.empty())
        << "leaked arrays " << report.leaked.arrays << ", blocks " << report.leaked.blocks;
    andorSimReset();
#ifndef _WIN32
    win32ReuseHandleValues(0);
#endif
  }

  mexhost::Value camera(double handle, const std::string &tag = "first") {
    return session.object("AndorCamera",
                          {{"cameraHandle", session.number(handle)}, {"tag", session.text(tag)}});
  }

  mexhost::Value recorder(CallbackCalls &calls, const std::string &error = "") {
    return session.functionHandle([&calls, error](const std::vector<const mxArray *> &args, int nargout) {
      ++calls.count;
      calls.arguments = static_cast<int>(args.size());
      calls.nargout = nargout;
      if (!args.empty()) {
        char tag[64] = "";
        mxArray *property = mxGetProperty(args[0], 0, "tag");
        if (property) mxGetString(property, tag, sizeof tag);
        calls.tags.push_back(tag);
      }
      if (args.size() > 1) {
        calls.secondClass = mxGetClassID(args[1]);
        calls.secondRows = mxGetM(args[1]);
        calls.secondColumns = mxGetN(args[1]);
        calls.secondFields = mxIsStruct(args[1]) ? mxGetNumberOfFields(args[1]) : -1;
      }
      if (!error.empty()) mexhost::raiseError(error);
      return std::vector<mexhost::Value>{};
    });
  }

  mexhost::CallResult watch(const std::vector<mexhost::Value> &inputs) {
    return session.call("watchDriverSignal", inputs, 0);
  }

  void mustWatch(const std::vector<mexhost::Value> &inputs) {
    mexhost::CallResult result = watch(inputs);
    ASSERT_TRUE(result.ok) << result.errorMessage;
  }

  mexhost::MemoryCount keptByLibrary() {
    for (const mexhost::LibraryMemory &library : session.memory())
      if (library.library == "watchDriverSignal") return library.persistent;
    return {};
  }

  // The camera's driver event, as the driver holds it.
  HANDLE driverEvent(int32_t handle) {
    AndorSimCameraState state{};
    andorSimGetCamera(handle, &state);
    return state.event;
  }

  bool waitForCalls(const CallbackCalls &calls, int count) {
    return session.runUntil([&] { return calls.count >= count; }, std::chrono::seconds(5));
  }

  // Blocks until a message is queued to the session's thread, without taking it.
  bool waitForQueuedMessage() {
    return MsgWaitForMultipleObjectsEx(0, nullptr, 5000, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0;
  }

  std::vector<std::string> callLog() {
    std::vector<std::string> lines;
    for (size_t i = 0; i < andorSimCallLogCount(); ++i) {
      char line[256];
      andorSimCallLogLine(i, line, sizeof line);
      lines.push_back(line);
    }
    return lines;
  }
};

#endif
