// One synchronous grab per call, from the camera of the first call.
#include "mex_library_test.h"
#include "simulated_qcam.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class SnapPictureTest : public MexLibraryTest<simulatedQCam> {
protected:
  SnapPictureTest() : MexLibraryTest("snapPicture") {}

  void SetUp() override {
    MexLibraryTest::SetUp();
    ASSERT_EQ(qcamSimAddCamera(200, "QSIM0200", 640, 480, 8), 0);
    ASSERT_EQ(qcamSimAddCamera(201, "QSIM0201", 4, 3, 8), 0);
    ASSERT_EQ(qcamSimAddCamera(202, "QSIM0202", 4, 3, 16), 0);
  }

  mexhost::Value camera(int32_t handle) {
    return session.object("QCamCamera", {{"cameraHandle", session.int32(handle)}});
  }

  mexhost::CallResult snap(const std::vector<mexhost::Value> &inputs, int nlhs = 1) {
    return call(inputs, nlhs);
  }

  // The image number the driver stamps into an 8-bit image's first bytes.
  static uint32_t imageNumber(const mexhost::Value &picture) {
    uint32_t number = 0;
    std::memcpy(&number, mxGetData(picture.get()), sizeof number);
    return number;
  }
};

using Test = SnapPictureTest;

TEST_F(Test, TheFirstCallReturnsTheCamerasImageAsAUint8Matrix) {
  mexhost::CallResult result = snap({camera(200)});
  ASSERT_TRUE(result.ok) << result.errorMessage;
  ASSERT_EQ(result.outputs.size(), 1u);
  const mexhost::Value &picture = result.outputs[0];
  EXPECT_EQ(picture.classId(), mxUINT8_CLASS);
  EXPECT_EQ(picture.rows(), 480u);
  EXPECT_EQ(picture.columns(), 640u);
  EXPECT_EQ(imageNumber(picture), 1u);
  const std::vector<std::string> expected = {"qcamGetInfo(200, 9, ptr)", "qcamGetInfo(200, 8, ptr)",
                                             "qcamGetInfo(200, 10, ptr)", "qcamGrabImage(200, ptr)"};
  EXPECT_EQ(callLog(), expected);
  EXPECT_EQ(session.commandWindow(), "");
}

TEST_F(Test, LaterCallsGrabFromTheFirstCameraAndLeaveEarlierPicturesAlone) {
  mexhost::CallResult first = snap({camera(200)});
  ASSERT_TRUE(first.ok);
  qcamSimClearCallLog();
  mexhost::CallResult second = snap({camera(201)});
  ASSERT_TRUE(second.ok) << second.errorMessage;
  EXPECT_EQ(callLog(), std::vector<std::string>{"qcamGrabImage(200, ptr)"});
  EXPECT_EQ(second.outputs[0].rows(), 480u);
  EXPECT_EQ(imageNumber(second.outputs[0]), 2u);
  EXPECT_EQ(imageNumber(first.outputs[0]), 1u) << "what MATLAB holds is its own";
  // MATLAB drops the pictures it holds; the grab buffer lives on.
  first = {};
  second = {};
  mexhost::CallResult third = snap({});
  ASSERT_TRUE(third.ok) << third.errorMessage;
  EXPECT_EQ(imageNumber(third.outputs[0]), 3u);
}

TEST_F(Test, AGrabAskedForNoOutputStillGrabs) {
  ASSERT_TRUE(snap({camera(200)}, 0).ok);
  ASSERT_TRUE(snap({camera(200)}, 0).ok);
  mexhost::CallResult result = snap({camera(200)});
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(imageNumber(result.outputs[0]), 3u);
}

TEST_F(Test, AFailedGrabEndsTheCallWithItsStatus) {
  ASSERT_TRUE(snap({camera(200)}).ok);
  qcamSimInjectStatus("qcamGrabImage", 13, QCAM_SIM_ONCE);
  mexhost::CallResult result = snap({camera(200)});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.errorMessage, "ERROR in snapPicture call. Status code 13 was returned");
  EXPECT_TRUE(result.outputs.empty());
  EXPECT_TRUE(snap({camera(200)}).ok);
}

TEST_F(Test, ASetUpThatIsRefusedRunsAgainOnTheNextCall) {
  const char badCamera[] = "snapPicture: the first argument must be a camera object whose cameraHandle "
                           "property is a 32-bit integer.";
  for (const std::vector<mexhost::Value> &inputs :
       {std::vector<mexhost::Value>{},
        {session.object("QCamCamera", {{"cameraHandle", session.number(200)}})},
        {session.number(200)}}) {
    mexhost::CallResult result = snap(inputs);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorMessage, badCamera);
  }
  // Two bytes a pixel would overrun a uint8 picture of the camera's size.
  mexhost::CallResult result = snap({camera(202)});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.errorMessage, "snapPicture: the camera's images of 24 bytes do not fit its 3-by-4 uint8 "
                                 "picture; only 8-bit images can be grabbed.");
  EXPECT_EQ(qcamSimCallLogCount(), 3u) << "the camera was asked for its sizes, never grabbed";
  result = snap({camera(201)});
  ASSERT_TRUE(result.ok) << result.errorMessage;
  EXPECT_EQ(result.outputs[0].rows(), 3u);
  EXPECT_EQ(result.outputs[0].columns(), 4u);
}

// The handle as the driver gave it, as an int32 -2147483648 or the same bits
// as a uint32, reaches every driver call unchanged.
TEST_F(Test, AHandleWithTheTopBitSetReachesTheDriverUnchanged) {
  ASSERT_EQ(qcamSimAddCamera(INT32_MIN, "QSIMTOP", 4, 3, 8), 0);
  const std::vector<std::string> expected = {
      "qcamGetInfo(-2147483648, 9, ptr)", "qcamGetInfo(-2147483648, 8, ptr)",
      "qcamGetInfo(-2147483648, 10, ptr)", "qcamGrabImage(-2147483648, ptr)"};
  for (const mexhost::Value &handle :
       {session.int32(INT32_MIN), session.numbers(mxUINT32_CLASS, 1, 1, {2147483648.0})}) {
    qcamSimClearCallLog();
    mexhost::CallResult result = snap({session.object("QCamCamera", {{"cameraHandle", handle}})});
    ASSERT_TRUE(result.ok) << result.errorMessage;
    EXPECT_EQ(imageNumber(result.outputs.at(0)), 1u);
    EXPECT_EQ(callLog(), expected) << handle.className();
    ASSERT_TRUE(session.clear("snapPicture").cleared);
    qcamSimReset();
    ASSERT_EQ(qcamSimAddCamera(INT32_MIN, "QSIMTOP", 4, 3, 8), 0);
  }
}

// No array of 2 GB or more can exist in a 32-bit process: there such a
// picture is refused before any array is asked for; a 64-bit MATLAB is asked
// for it (and, under the host's allocation limit, runs out of memory).
TEST_F(Test, APictureOf2GBIsRefusedBeforeAnythingIsMadeIn32Bits) {
  ASSERT_EQ(qcamSimReportInfo(201, QCAM_INFO_IMAGE_HEIGHT, 32769), 0);
  ASSERT_EQ(qcamSimReportInfo(201, QCAM_INFO_IMAGE_WIDTH, 65535), 0);
  ASSERT_EQ(qcamSimReportInfo(201, QCAM_INFO_IMAGE_SIZE, 2147516415u), 0);
  session.setAllocationLimit(1 << 20);
  mexhost::CallResult result = snap({camera(201)});
  EXPECT_EQ(result.errorMessage,
            sizeof(void *) == 4
                ? "snapPicture: the camera's 32769-by-65535 uint8 picture of 2147516415 bytes is "
                  "larger than this MATLAB can hold."
                : "Out of memory. Type \"help memory\" for your options.");
  EXPECT_EQ(callLog().back(), "qcamGetInfo(201, 10, ptr)") << "nothing grabbed";
}

TEST_F(Test, ClearingReleasesTheGrabBuffer) {
  ASSERT_TRUE(snap({camera(200)}).ok);
  mexhost::ClearReport report = session.clear("snapPicture");
  EXPECT_TRUE(report.cleared);
  EXPECT_TRUE(report.leaked.empty());
  // Loaded again it sets up again, from the camera it is given now.
  mexhost::CallResult result = snap({camera(201)});
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.outputs[0].rows(), 3u);
}

} // namespace
