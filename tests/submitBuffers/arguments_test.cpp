// What submitBuffers accepts, what it refuses, and what it prints first.
#include "submit_fixture.h"

#include <cmath>

namespace {

using Test = SubmitBuffersTest;

const char badCamera[] = "submitBuffers: the first argument must be a camera object whose cameraHandle "
                         "property is a 32-bit integer.";

TEST_F(Test, BadArgumentsFailAfterTheSerialStringAndChangeNothing) {
  FrameCalls calls;
  const mexhost::Value callback = recorder(calls);
  struct Case {
    std::vector<mexhost::Value> inputs;
    const char *message;
  };
  const Case cases[] = {
      {{camera(200)}, "All arguments must be supplied"},
      {{camera(200), callback}, "All arguments must be supplied"},
      {{camera(200), session.text("onFrame"), session.number(2)},
       "The 'callbackFunc' argument must be a function handle"},
      {{camera(200), session.numbers(mxLOGICAL_CLASS, 1, 1, {1}), session.number(2)},
       "The 'callbackFunc' argument must be a function handle"},
      {{camera(200), callback, session.numbers(mxLOGICAL_CLASS, 1, 1, {1})},
       "The 'numBufferedFrames' argument must be a number specifying number of frames to queue."},
      {{camera(200), callback, session.text("2")},
       "The 'numBufferedFrames' argument must be a number specifying number of frames to queue."},
      {{camera(200), callback, session.number(-1)},
       "submitBuffers: the 'numBufferedFrames' argument must be from 0 to 2147483647."},
      {{camera(200), callback, session.number(std::nan(""))},
       "submitBuffers: the 'numBufferedFrames' argument must be from 0 to 2147483647."},
  };
  for (const Case &c : cases) {
    session.clearCommandWindow();
    mexhost::CallResult result = submit(c.inputs);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorMessage, c.message);
    EXPECT_EQ(session.commandWindow(), "Serial String: QSIM0200\n") << c.message;
  }
  EXPECT_TRUE(keptByLibrary().empty());
  EXPECT_EQ(countCalls("qcamGetInfo"), 0u);
}

TEST_F(Test, ACallWithoutAnIntegerCameraHandleIsRefusedBeforeTheDriverIsAsked) {
  FrameCalls calls;
  const mexhost::Value callback = recorder(calls);
  const std::vector<std::vector<mexhost::Value>> cases = {
      {},
      {session.number(200), callback, session.number(1)},
      {session.object("QCamCamera", {{"tag", session.text("x")}}), callback, session.number(1)},
      {session.object("QCamCamera", {{"cameraHandle", session.number(200)}}), callback, session.number(1)},
      {session.object("QCamCamera", {{"cameraHandle", session.numbers(mxINT32_CLASS, 0, 0)}}), callback,
       session.number(1)},
  };
  for (const auto &inputs : cases) {
    mexhost::CallResult result = submit(inputs);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorMessage, badCamera);
  }
  EXPECT_EQ(session.commandWindow(), "");
  EXPECT_TRUE(callLog().empty());
  // Any 32-bit integer class will do, its first element taken unchanged.
  mustSubmit(
      {session.object("QCamCamera", {{"cameraHandle", session.numbers(mxUINT32_CLASS, 1, 2, {200, 7})}}),
       callback, session.number(0)});
  EXPECT_EQ(callLog().front(), "qcamGetSerialString(200, ptr, 256)");
}

TEST_F(Test, FrameCountsAreTruncatedAndAnyNumericClassIsTaken) {
  FrameCalls calls;
  mustSubmit({camera(200), recorder(calls), session.number(2.9)});
  EXPECT_EQ(printedCount("Number of Buffered Frames: 2\n"), 1u);
  EXPECT_EQ(countCalls("qcamQueueBuffer"), 2u);
  mustSubmit({camera(200), recorder(calls), session.int32(3)});
  EXPECT_EQ(printedCount("Number of Buffered Frames: 3\n"), 1u);
  EXPECT_EQ(countCalls("qcamQueueBuffer"), 5u);
  produce(200, 5, 5);
  EXPECT_TRUE(waitForCalls(calls, 5)) << "the first call's frames are below the second's count";
}

TEST_F(Test, NoFramesStillSetsUpTheRecordAndQueuesNothing) {
  FrameCalls first, second;
  mustSubmit({camera(200), recorder(first), session.number(0)});
  const std::vector<std::string> &printed = session.printed();
  ASSERT_EQ(printed.size(), 5u);
  EXPECT_EQ(printed[0], "Serial String: QSIM0200\n");
  EXPECT_EQ(printed[1], "Number of Buffered Frames: 0\n");
  EXPECT_EQ(printed[2], "Detected new camera! Handle: 200\n");
  EXPECT_EQ(printed[3], "Frame Size -- Height: 6\t Width: 8\t BitDepth: 16\t SizeInBytes: 96\n");
  EXPECT_EQ(printed[4].rfind("CallbackData -- frameCellArray: ", 0), 0u);
  EXPECT_NE(printed[4].find("\t frameArray: "), std::string::npos);
  EXPECT_EQ(countCalls("qcamQueueBuffer"), 0u);
  EXPECT_TRUE(logLines().empty());
  // The record has the new callback: a later call finds it and clears it.
  mustSubmit({camera(200), recorder(second), session.number(0)});
  EXPECT_EQ(printedCount("Clearing previous callback record...\n"), 1u);
  EXPECT_TRUE(session.clear("submitBuffers").cleared) << "nothing is out, so nothing holds the library";
}

TEST_F(Test, AHundredAndFirstCameraIsRefused) {
  FrameCalls calls;
  const mexhost::Value callback = recorder(calls);
  for (int32_t handle = 1000; handle < 1100; ++handle) {
    ASSERT_EQ(qcamSimAddCamera(handle, "Q", 2, 2, 8), 0);
    mustSubmit({camera(handle), callback, session.number(0)});
  }
  ASSERT_EQ(qcamSimAddCamera(2000, "Q", 2, 2, 8), 0);
  const mexhost::MemoryCount full = keptByLibrary();
  mexhost::CallResult result = submit({camera(2000), callback, session.number(1)});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.errorMessage,
            "submitBuffers: frames are queued for 100 cameras already; clear submitBuffers "
            "to queue frames for another camera.");
  EXPECT_EQ(keptByLibrary().arrays, full.arrays);
  EXPECT_EQ(keptByLibrary().blocks, full.blocks);
  EXPECT_EQ(countCalls("qcamQueueBuffer"), 0u);
  mustSubmit({camera(1099), callback, session.number(0)}); // a known camera is still served
}

TEST_F(Test, ImagesLargerThanTheFrameMatrixNeverReachTheDriver) {
  FrameCalls calls;
  // A height the driver fails to report leaves a matrix too small for the
  // image size it does report.
  qcamSimInjectStatus("qcamGetInfo", QCAM_SIM_INVALID_VALUE, QCAM_SIM_ONCE);
  mexhost::CallResult result = submit({camera(200), recorder(calls), session.number(2)});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.errorMessage,
            "submitBuffers: the camera's images of 96 bytes do not fit its 0-by-8 uint16 "
            "frame matrix.");
  EXPECT_EQ(countCalls("qcamQueueBuffer"), 0u);
  EXPECT_TRUE(session.clear("submitBuffers").cleared) << "not locked: no frame went out";
  mustSubmit({camera(200), recorder(calls), session.number(1)});
  produce(200, 1, 1);
  EXPECT_TRUE(waitForCalls(calls, 1));
}

// The handle as the driver gave it, as an int32 -2147483648 or the same bits
// as a uint32, names one camera and reaches the driver unchanged.
TEST_F(Test, AHandleWithTheTopBitSetReachesTheDriverAsInt32OrUint32) {
  ASSERT_EQ(qcamSimAddCamera(INT32_MIN, "QSIMTOP", 4, 3, 16), 0);
  FrameCalls calls;
  for (const mexhost::Value &handle :
       {session.int32(INT32_MIN), session.numbers(mxUINT32_CLASS, 1, 1, {2147483648.0})})
    mustSubmit({session.object("QCamCamera", {{"cameraHandle", handle}, {"tag", session.text("top")}}),
                recorder(calls), session.number(1)});
  produce(INT32_MIN, 2, 2);
  EXPECT_TRUE(waitForCalls(calls, 2));
  EXPECT_EQ(countCalls("qcamGetSerialString(-2147483648, "), 2u);
  EXPECT_EQ(countCalls("qcamQueueBuffer(-2147483648, "), 2u);
  EXPECT_EQ(printedCount("Detected new camera! Handle: -2147483648\n"), 1u) << "both name one camera";
}

// No array of 2 GB or more can exist in a 32-bit process: there such frames
// are refused before any array is asked for; a 64-bit MATLAB is asked for
// them (and, under the host's allocation limit, runs out of memory).
TEST_F(Test, FramesOf2GBAreRefusedBeforeAnythingIsMadeIn32Bits) {
  ASSERT_EQ(qcamSimReportInfo(200, QCAM_INFO_IMAGE_HEIGHT, 32768), 0);
  ASSERT_EQ(qcamSimReportInfo(200, QCAM_INFO_IMAGE_WIDTH, 32768), 0);
  ASSERT_EQ(qcamSimReportInfo(200, QCAM_INFO_IMAGE_SIZE, 2147483648u), 0);
  session.setAllocationLimit(1 << 20);
  FrameCalls calls;
  mexhost::CallResult result = submit({camera(200), recorder(calls), session.number(1)});
  EXPECT_EQ(result.errorMessage,
            sizeof(void *) == 4
                ? "submitBuffers: the camera's 32768-by-32768 uint16 frame matrix of 2147483648 "
                  "bytes is larger than this MATLAB can hold."
                : "Out of memory. Type \"help memory\" for your options.");
  EXPECT_EQ(countCalls("qcamQueueBuffer"), 0u);
  EXPECT_TRUE(session.clear("submitBuffers").cleared) << "not locked: no frame went out";
}

} // namespace
