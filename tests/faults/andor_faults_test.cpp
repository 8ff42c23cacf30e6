// Every Andor driver operation made to fail, once and always, in each path
// that reaches the driver: corvid enumerating, opening, setting its exposure,
// acquiring and closing; watchDriverSignal registering, signalling and
// clearing; takeEarliest reading 16- and 32-bit images. Statuses that the
// libraries do not examine change nothing a user sees beyond the driver's own
// doing; the reads report the status with its exact text; nothing hangs and
// nothing is left behind.
#include "andor_sim_control.h"
#include "imaqkit_engine.h"
#include "imaqkit_test_control.h"
#include "matlab_session.h"
#include "process_counts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

constexpr int32_t failure = ANDOR_SIM_NO_CAMERA;
constexpr int32_t camera = 100;

const char *const operations[] = {
    "initializeDriver",   "shutDownDriver",   "getCameraCount",   "getCameraHandle",       "selectCamera",
    "getDetectorSize",    "setImageRegion",   "driverSetting123", "driverSetting152",      "driverSetting73",
    "driverSetting131",   "driverSetting219", "setExposureTime",  "getAcquisitionTimings", "startAcquisition",
    "waitForAcquisition", "getNewImageRange", "getImages16",      "abortAcquisition",      "setDriverEvent",
    "readOldestImage16",  "readOldestImage32"};

struct Fault {
  std::string operation;
  int when;
  std::string name() const { return operation + (when == ANDOR_SIM_ONCE ? " once" : " always"); }
};

std::vector<Fault> everyFault() {
  std::vector<Fault> faults;
  for (const char *operation : operations)
    for (int when : {ANDOR_SIM_ONCE, ANDOR_SIM_ALWAYS}) faults.push_back({operation, when});
  return faults;
}

std::string statusText(const char *library, int32_t status) {
  return std::string("ERROR in ") + library + " call. Status code " + std::to_string(status) +
         " was returned";
}

class AndorFaults : public ::testing::TestWithParam<Fault> {
protected:
  void SetUp() override {
    andorSimReset();
    imaqkit::clearWarnings();
    before_ = ProcessCounts::now();
    blocks_ = imaqkit::test::liveBlocks();
  }

  void TearDown() override {
    andorSimClearInjectedStatuses();
    andorSimReset();
    EXPECT_EQ(ProcessCounts::settled(before_.threads), before_) << "left behind by " << GetParam().name();
    EXPECT_EQ(imaqkit::test::liveBlocks(), blocks_);
    EXPECT_EQ(imaqkit::test::liveManagers(), 0);
  }

  void inject() {
    ASSERT_EQ(andorSimInjectStatus(GetParam().operation.c_str(), failure, GetParam().when), 1);
  }
  bool fails(const char *operation) const { return GetParam().operation == operation; }
  bool always(const char *operation) const { return fails(operation) && GetParam().when == ANDOR_SIM_ALWAYS; }

  static int warningCount(const std::string &id) {
    int count = 0;
    for (const imaqkit::AdaptorWarning &warning : imaqkit::warnings())
      count += warning.identifier == id ? 1 : 0;
    return count;
  }

  ProcessCounts before_;
  long blocks_ = 0;
};

// Enumerate, open, set the exposure, acquire three frames from a camera that
// runs free, close: the run ends by itself with the frames asked for,
// whatever the driver said, except when no image can be read at all.
TEST_P(AndorFaults, Corvid) {
  ASSERT_EQ(andorSimAddCamera(camera, 16, 8), ANDOR_STATUS_SUCCESS);
  andorSimSetFramePeriod(camera, 0.002);
  andorSimSetFreeRunning(1);
  inject();
  {
    imaqkit::AdaptorLibrary library(CORVID_FILE);
    std::vector<imaqkit::DeviceInfo> devices = library.enumerate();
    if (always("getCameraCount") || (fails("getCameraCount") && devices.empty())) {
      EXPECT_TRUE(devices.empty()) << "a count the driver did not write is no camera";
      return;
    }
    ASSERT_EQ(devices.size(), 1u);
    std::unique_ptr<imaqkit::VideoInput> vid = library.createVideoInput(0);
    vid->set("Exposure", 0.002);
    vid->set("FramesPerTrigger", 3);
    vid->open();
    vid->start();
    if (fails("getDetectorSize")) {
      // A detector size the driver never wrote leaves no picture to make:
      // the thread warns and reads nothing, and the user's stop and close
      // end the acquisition as for a camera that sends no image. A size
      // that was written on a later try acquires as usual.
      vid->waitForFrames(3, std::chrono::seconds(2));
      vid->stop();
      vid->close();
      const size_t frames = vid->getFrames().size();
      if (warningCount("corvid:imageSize") == 1 || always("getDetectorSize")) {
        EXPECT_EQ(frames, 0u);
        EXPECT_EQ(warningCount("corvid:imageSize"), 1);
      } else {
        EXPECT_EQ(frames, 3u);
      }
      return;
    }
    if (fails("startAcquisition")) {
      // A camera that did not start sends nothing: the run warns and ends,
      // and the user's stop and close end the acquisition.
      vid->waitForFrames(3, std::chrono::seconds(1));
      vid->stop();
      vid->close();
      EXPECT_EQ(vid->getFrames().size(), 0u);
      EXPECT_EQ(warningCount("corvid:startAcquisition"), 1);
      return;
    }
    if (always("getImages16") || always("getNewImageRange")) {
      // Images come but none can be read: each is counted, none is a frame.
      vid->recordCalls(true);
      EXPECT_TRUE(vid->waitForCall("countFrame", 3, std::chrono::seconds(10)));
      vid->stop();
      vid->close();
      EXPECT_EQ(vid->getFrames().size(), 0u);
      EXPECT_GT(vid->stats().framesWanted, 0u) << "reported as dropped";
      return;
    }
    EXPECT_TRUE(vid->waitUntilStopped(std::chrono::seconds(10))) << "the run did not end";
    EXPECT_EQ(vid->getFrames().size(), 3u);
    vid->close();
  }
}

// Register, let the driver signal twice, clear the registration and the
// library. Only a driver event that was never set keeps the callback silent.
TEST_P(AndorFaults, WatchDriverSignal) {
  ASSERT_EQ(andorSimAddCamera(camera, 16, 8), ANDOR_STATUS_SUCCESS);
  selectCamera(camera);
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  mexhost::Session session;
#ifdef MEX_DIR
  session.addPath(MEX_DIR);
#endif
  int calls = 0;
  mexhost::Value object = session.object("AndorCamera", {{"cameraHandle", session.number(camera)}});
  mexhost::Value callback = session.functionHandle([&calls](const std::vector<const mxArray *> &, int) {
    ++calls;
    return std::vector<mexhost::Value>{};
  });
  inject();
  mexhost::CallResult registered = session.call("watchDriverSignal", {object, callback}, 0);
  EXPECT_TRUE(registered.ok) << registered.errorMessage;
  const bool silent = fails("setDriverEvent");
  for (int image = 1; image <= 2; ++image) {
    ASSERT_EQ(andorSimProduceImages(camera, 1), 1);
    if (!silent) {
      EXPECT_TRUE(session.runUntil([&] { return calls >= image; }, std::chrono::seconds(5)));
    }
  }
  session.pumpMessages();
  EXPECT_TRUE(session.call("watchDriverSignal", {object}, 0).ok);
  EXPECT_TRUE(session.clear("watchDriverSignal").cleared);
  if (!silent) {
    EXPECT_EQ(calls, 2);
  }
  mexhost::SessionReport report = session.close();
  EXPECT_TRUE(report.leaked.empty());
}

// Two reads of the oldest image, 16 and 32 bits: a failed read is a MATLAB
// error with the driver's status, and the next read goes on.
TEST_P(AndorFaults, TakeEarliest) {
  ASSERT_EQ(andorSimAddCamera(camera, 16, 8), ANDOR_STATUS_SUCCESS);
  selectCamera(camera);
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimProduceImages(camera, 4), 4);
  mexhost::Session session;
#ifdef MEX_DIR
  session.addPath(MEX_DIR);
#endif
  mexhost::Value object =
      session.object("AndorCamera", {{"expectedM", session.number(8)}, {"expectedN", session.number(16)}});
  inject();
  for (int round = 0; round < 2; ++round) {
    for (int bits : {16, 32}) {
      const std::string read = bits == 16 ? "readOldestImage16" : "readOldestImage32";
      mexhost::CallResult result = session.call("takeEarliest", {object, session.number(bits)}, 1);
      const bool refused = fails(read.c_str()) && (GetParam().when == ANDOR_SIM_ALWAYS || round == 0);
      if (refused) {
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.errorMessage, statusText("takeEarliest", failure));
      } else {
        ASSERT_TRUE(result.ok) << read << ": " << result.errorMessage;
        EXPECT_EQ(result.outputs.at(0).elements(), 128u);
      }
    }
  }
  mexhost::SessionReport report = session.close();
  EXPECT_TRUE(report.leaked.empty());
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, AndorFaults, ::testing::ValuesIn(everyFault()),
                         [](const ::testing::TestParamInfo<Fault> &info) {
                           return info.param.operation +
                                  (info.param.when == ANDOR_SIM_ONCE ? "_once" : "_always");
                         });

} // namespace
