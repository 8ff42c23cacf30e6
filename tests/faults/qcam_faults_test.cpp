// Every QCam driver operation made to fail, once and always, in each path
// that calls it: submitBuffers queueing frames and handing each completion to
// MATLAB (the completion's own error code included), snapPicture grabbing.
// Unexamined statuses change nothing beyond the driver's own doing; every
// frame the driver completes reaches the callback; a failed grab is a MATLAB
// error with the status; nothing hangs and nothing is left behind.
#include "matlab_session.h"
#include "process_counts.h"
#include "qcam_sim_control.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int32_t failure = 13;
constexpr int32_t camera = 200;     // 16-bit, for queued frames
constexpr int32_t grabCamera = 201; // 8-bit, as grabs are

struct Fault {
  std::string operation;
  int when;
};

std::vector<Fault> everyFault() {
  std::vector<Fault> faults;
  for (const char *operation :
       {"qcamGetSerialString", "qcamGetInfo", "qcamQueueBuffer", "qcamGrabImage", "frameCompletion"})
    for (int when : {QCAM_SIM_ONCE, QCAM_SIM_ALWAYS}) faults.push_back({operation, when});
  return faults;
}

class QCamFaults : public ::testing::TestWithParam<Fault> {
protected:
  void SetUp() override {
    scratch_.enter("qcam-faults");
    qcamSimReset();
    ASSERT_EQ(qcamSimAddCamera(camera, "QSIM0200", 8, 6, 16), 0);
    ASSERT_EQ(qcamSimAddCamera(grabCamera, "QSIM0201", 8, 6, 8), 0);
    before_ = ProcessCounts::now();
  }

  void TearDown() override {
    qcamSimClearInjectedStatuses();
    qcamSimReset();
    EXPECT_EQ(ProcessCounts::settled(before_.threads), before_);
    scratch_.leave();
  }

  void inject() { ASSERT_EQ(qcamSimInjectStatus(GetParam().operation.c_str(), failure, GetParam().when), 1); }
  bool fails(const char *operation) const { return GetParam().operation == operation; }

  ScratchFolder scratch_;
  ProcessCounts before_;
};

TEST_P(QCamFaults, SubmitBuffers) {
  mexhost::Session session;
  scratch_.addLibraryPath(session);
  int calls = 0;
  mexhost::Value object = session.object("QCamCamera", {{"cameraHandle", session.int32(camera)}});
  mexhost::Value callback = session.functionHandle([&calls](const std::vector<const mxArray *> &, int) {
    ++calls;
    return std::vector<mexhost::Value>{};
  });
  inject();
  mexhost::CallResult submitted = session.call("submitBuffers", {object, callback, session.number(3)}, 0);
  if (!submitted.ok) {
    // Sizes the driver did not give may not fit the image: then the call
    // is refused before any frame is queued.
    EXPECT_TRUE(fails("qcamGetInfo")) << submitted.errorMessage;
    EXPECT_EQ(submitted.errorMessage.rfind("submitBuffers: the camera's images of ", 0), 0u)
        << submitted.errorMessage;
  }
  // Images for every frame the driver accepted; each completion, whatever
  // its error code, must reach the callback.
  const int32_t completing = qcamSimProduceImages(camera, 3);
  if (fails("qcamQueueBuffer")) {
    EXPECT_EQ(completing, GetParam().when == QCAM_SIM_ONCE ? 2 : 0);
  } else {
    EXPECT_EQ(completing, submitted.ok ? 3 : 0);
  }
  ASSERT_EQ(qcamSimWaitForCompletions(uint64_t(completing), 5000), 1);
  EXPECT_TRUE(session.runUntil([&] { return calls >= completing; }, std::chrono::seconds(5)));
  session.pumpMessages();
  EXPECT_EQ(calls, completing) << "a completed frame never reached MATLAB";
  // Frames still queued are the driver's until it is reset; then the
  // library may go.
  ASSERT_EQ(qcamSimReset(), 1);
  mexhost::SessionReport report = session.close();
  EXPECT_TRUE(report.leaked.empty());
}

TEST_P(QCamFaults, SnapPicture) {
  mexhost::Session session;
  scratch_.addLibraryPath(session);
  mexhost::Value object = session.object("QCamCamera", {{"cameraHandle", session.int32(grabCamera)}});
  inject();
  for (int round = 0; round < 2; ++round) {
    mexhost::CallResult result = session.call("snapPicture", {object}, 1);
    const bool grabFails = fails("qcamGrabImage") && (GetParam().when == QCAM_SIM_ALWAYS || round == 0);
    if (grabFails) {
      EXPECT_FALSE(result.ok);
      EXPECT_EQ(result.errorMessage, "ERROR in snapPicture call. Status code 13 was returned");
    } else if (!fails("qcamGetInfo")) {
      ASSERT_TRUE(result.ok) << result.errorMessage;
      EXPECT_EQ(result.outputs.at(0).elements(), 48u);
    } else if (!result.ok) {
      // Sizes the driver never gave: refused before the grab, or a grab
      // into a buffer the driver will not fill.
      const bool refused = result.errorMessage.rfind("snapPicture: the camera's images of ", 0) == 0 ||
                           result.errorMessage.rfind("ERROR in snapPicture call. Status code ", 0) == 0;
      EXPECT_TRUE(refused) << result.errorMessage;
    }
  }
  mexhost::SessionReport report = session.close();
  EXPECT_TRUE(report.leaked.empty());
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, QCamFaults, ::testing::ValuesIn(everyFault()),
                         [](const ::testing::TestParamInfo<Fault> &info) {
                           return info.param.operation +
                                  (info.param.when == QCAM_SIM_ONCE ? "_once" : "_always");
                         });

} // namespace
