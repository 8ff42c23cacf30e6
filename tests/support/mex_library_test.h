// A MEX library called by name in a session of the test's own, in a scratch
// folder of its own, over a fresh simulated driver (simulatedAndor or
// simulatedQCam). Closing the session at the end clears every library, and
// whatever they leave behind is a leak that fails the test.
#ifndef CAMERA_TESTS_SUPPORT_MEX_LIBRARY_TEST_H
#define CAMERA_TESTS_SUPPORT_MEX_LIBRARY_TEST_H

#include "matlab_session.h"
#include "scratch_folder.h"
#include "simulated_driver_test.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

// How MATLAB called a callback, and the "tag" of each camera object it was
// handed first. A test that looks at more arguments hides record() with its
// own, which calls this one.
struct RecordedCalls {
  int count = 0;
  int arguments = -1;
  int nargout = -1;
  std::vector<std::string> tags;

  void record(const std::vector<const mxArray *> &args, int outputs) {
    ++count;
    arguments = static_cast<int>(args.size());
    nargout = outputs;
    if (args.empty()) return;
    char tag[64] = "";
    mxArray *property = mxGetProperty(args[0], 0, "tag");
    if (property != nullptr) mxGetString(property, tag, sizeof tag);
    tags.push_back(tag);
  }
};

template <const SimulatedDriver &driver> class MexLibraryTest : public SimulatedDriverTest<driver> {
protected:
  explicit MexLibraryTest(std::string library) : library_(std::move(library)) {}

  void SetUp() override {
    scratch.enter(library_);
    scratch.addLibraryPath(session);
    SimulatedDriverTest<driver>::SetUp();
  }

  void TearDown() override {
    const mexhost::SessionReport report = session.close();
    EXPECT_TRUE(report.leaked.empty())
        << "leaked arrays " << report.leaked.arrays << ", blocks " << report.leaked.blocks;
    SimulatedDriverTest<driver>::TearDown();
    scratch.leave();
  }

  mexhost::CallResult call(const std::vector<mexhost::Value> &inputs, int nlhs) {
    return session.call(library_, inputs, nlhs);
  }

  // A call that must succeed, with no output asked for.
  void mustCall(const std::vector<mexhost::Value> &inputs) {
    const mexhost::CallResult result = call(inputs, 0);
    ASSERT_TRUE(result.ok) << result.errorMessage;
  }

  // A camera object of the driver's class with the tag that tells objects
  // of one camera apart.
  mexhost::Value taggedCamera(mexhost::Value handle, const std::string &tag) {
    return session.object(driver.cameraClass, {{"cameraHandle", handle}, {"tag", session.text(tag)}});
  }

  // What the library keeps between calls while it is loaded.
  mexhost::MemoryCount keptByLibrary() const {
    for (const mexhost::LibraryMemory &library : session.memory())
      if (library.library == library_ && library.loaded) return library.persistent;
    return {};
  }

  // A callback that records each call with calls.record(), then fails with
  // the error, if one is given, as a MATLAB function that raises it.
  template <typename Calls> mexhost::Value recorder(Calls &calls, const std::string &error = "") {
    return session.functionHandle([&calls, error](const std::vector<const mxArray *> &args, int nargout) {
      calls.record(args, nargout);
      if (!error.empty()) mexhost::raiseError(error);
      return std::vector<mexhost::Value>{};
    });
  }

  // Runs the session's message loop until the callback has been called
  // `count` times in all.
  bool waitForCalls(const RecordedCalls &calls, int count) {
    return session.runUntil([&] { return calls.count >= count; }, std::chrono::seconds(5));
  }

  mexhost::Session session;
  ScratchFolder scratch;

private:
  std::string library_;
};

#endif
