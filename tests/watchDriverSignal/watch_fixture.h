// A session with simulated Andor cameras 3 and 101 acquiring in
// deterministic mode, and callbacks that record how MATLAB called them.
#ifndef CAMERA_TESTS_WATCHDRIVERSIGNAL_FIXTURE_H
#define CAMERA_TESTS_WATCHDRIVERSIGNAL_FIXTURE_H

#include "mex_library_test.h"
#include "simulated_andor.h"

#include <windows.h>
#ifndef _WIN32
#include <win32_test_control.h>
#endif

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Also what came as the second argument.
struct CallbackCalls : RecordedCalls {
  mxClassID secondClass = mxUNKNOWN_CLASS;
  size_t secondRows = 99, secondColumns = 99;
  int secondFields = -1;

  void record(const std::vector<const mxArray *> &args, int outputs) {
    RecordedCalls::record(args, outputs);
    if (args.size() < 2) return;
    secondClass = mxGetClassID(args[1]);
    secondRows = mxGetM(args[1]);
    secondColumns = mxGetN(args[1]);
    secondFields = mxIsStruct(args[1]) ? mxGetNumberOfFields(args[1]) : -1;
  }
};

class WatchDriverSignalTest : public MexLibraryTest<simulatedAndor> {
protected:
  WatchDriverSignalTest() : MexLibraryTest("watchDriverSignal") {}

  void SetUp() override {
#ifndef _WIN32
    // As on Windows: a handle used after it was closed reaches another object.
    win32ReuseHandleValues(1);
#endif
    MexLibraryTest::SetUp();
    for (int32_t handle : {3, 101}) {
      ASSERT_EQ(andorSimAddCamera(handle, 16, 8), ANDOR_STATUS_SUCCESS);
      selectCamera(handle);
      startAcquisition();
    }
    andorSimClearCallLog();
  }

  void TearDown() override {
    MexLibraryTest::TearDown();
#ifndef _WIN32
    win32ReuseHandleValues(0);
#endif
  }

  mexhost::Value camera(double handle, const std::string &tag = "first") {
    return taggedCamera(session.number(handle), tag);
  }

  mexhost::CallResult watch(const std::vector<mexhost::Value> &inputs) { return call(inputs, 0); }
  void mustWatch(const std::vector<mexhost::Value> &inputs) { mustCall(inputs); }

  // A callback that calls watchDriverSignal itself, as MATLAB code may
  // from a callback, and counts its calls.
  mexhost::Value reentering(int &calls, const std::vector<mexhost::Value> &inputs) {
    return session.functionHandle([this, &calls, inputs](const std::vector<const mxArray *> &, int) {
      ++calls;
      mexhost::CallResult result = watch(inputs);
      EXPECT_TRUE(result.ok) << result.errorMessage;
      return std::vector<mexhost::Value>{};
    });
  }

  // The camera's driver event, as the driver holds it.
  HANDLE driverEvent(int32_t handle) {
    AndorSimCameraState state{};
    andorSimGetCamera(handle, &state);
    return state.event;
  }

  // Blocks until a message is queued to the session's thread, without taking it.
  bool waitForQueuedMessage() {
    return MsgWaitForMultipleObjectsEx(0, nullptr, 5000, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0;
  }
};

#endif
