// Completed frames on their way to MATLAB callbacks, and the call log.
#include "submit_fixture.h"

#include <algorithm>
#include <regex>

namespace {

using Test = SubmitBuffersTest;

TEST_F(Test, ACompletedFrameReachesTheCallbackAsAStructOfItsMatrix) {
  FrameCalls calls;
  mustSubmit({camera(200), recorder(calls), session.number(2)});
  EXPECT_EQ(printedCount("Detected new camera! Handle: 200\n"), 1u);
  EXPECT_EQ(printedCount("Clearing previous callback record...\n"), 0u);
  const std::regex queued("Queued a frame \\(address: -?[0-9]+\\) to camera \\(handle: 200\\)!\n");
  EXPECT_TRUE(std::regex_match(session.printed().end()[-1], queued));
  EXPECT_TRUE(std::regex_match(session.printed().end()[-2], queued));
  EXPECT_EQ(countCalls("qcamQueueBuffer(200, ptr, ptr, 1, ptr, 0)"), 1u);
  EXPECT_EQ(countCalls("qcamQueueBuffer(200, ptr, ptr, 1, ptr, 1)"), 1u);

  session.clearCommandWindow();
  produce(200, 1, 1);
  ASSERT_TRUE(waitForCalls(calls, 1));
  EXPECT_EQ(session.printed().front(), "Reached Matlab Callback Wrapper\n");
  EXPECT_EQ(calls.arguments, 2);
  EXPECT_EQ(calls.nargout, 0);
  EXPECT_EQ(calls.tags, std::vector<std::string>{"first"});
  EXPECT_EQ(calls.structElements, 1u);
  EXPECT_EQ(calls.fieldNames, (std::vector<std::string>{"frameData", "errorCode"}));
  EXPECT_EQ(calls.errorCodes, std::vector<double>{0}) << "a good frame";
  EXPECT_EQ(calls.frameClass, mxUINT16_CLASS);
  EXPECT_EQ(calls.rows, 6u);
  EXPECT_EQ(calls.columns, 8u);
  EXPECT_EQ(calls.firstPixels, std::vector<uint16_t>{1}) << "the driver's first image";
  produce(200, 1, 2);
  ASSERT_TRUE(waitForCalls(calls, 2));
  EXPECT_EQ(calls.firstPixels[1], 2);
  EXPECT_NE(calls.data[0], calls.data[1]) << "each frame has its own matrix";
}

TEST_F(Test, EveryQueuedFrameAndEveryCompletionIsLogged) {
  FrameCalls calls;
  mustSubmit({camera(200), recorder(calls), session.number(3)});
  const std::regex queued("Queued a frame at time: [0-2][0-9]:[0-5][0-9]:[0-5][0-9]");
  const std::regex entered("Entered QCam callback at time: [0-2][0-9]:[0-5][0-9]:[0-5][0-9]");
  std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 3u);
  for (const std::string &line : lines) EXPECT_TRUE(std::regex_match(line, queued)) << line;
  produce(200, 2, 2);
  lines = logLines();
  ASSERT_EQ(lines.size(), 5u) << "each completion is logged before it is posted";
  for (size_t i = 3; i < lines.size(); ++i) EXPECT_TRUE(std::regex_match(lines[i], entered)) << lines[i];
  produce(200, 1, 3);
  EXPECT_EQ(logLines().size(), 6u);
  EXPECT_TRUE(waitForCalls(calls, 3));
}

TEST_F(Test, ACallbackErrorIsPrintedAndTheNextFrameIsDispatched) {
  FrameCalls calls;
  mustSubmit({camera(200), recorder(calls, std::string(300, 'x')), session.number(2)});
  session.clearCommandWindow();
  produce(200, 1, 1);
  ASSERT_TRUE(waitForCalls(calls, 1));
  EXPECT_EQ(session.commandWindow(), "Reached Matlab Callback Wrapper\n"
                                     "ERROR in event callback of AndorCamera object: " +
                                         std::string(255, 'x') + "\n");
  produce(200, 1, 2);
  EXPECT_TRUE(waitForCalls(calls, 2));
}

TEST_F(Test, ASecondCallReusesTheRecordWithItsNewCallbackAndTheFirstCameraObject) {
  FrameCalls first, second;
  mustSubmit({camera(200, "first"), recorder(first), session.number(1)});
  produce(200, 1, 1);
  ASSERT_TRUE(waitForCalls(first, 1));
  const mexhost::MemoryCount oneCall = keptByLibrary();

  session.clearCommandWindow();
  mustSubmit({camera(200, "second"), recorder(second), session.number(1)});
  EXPECT_EQ(printedCount("Clearing previous callback record...\n"), 1u);
  EXPECT_EQ(printedCount("Detected new camera! Handle: 200\n"), 0u);
  EXPECT_GT(keptByLibrary().bytes, oneCall.bytes) << "the frame out is kept";
  produce(200, 1, 2);
  ASSERT_TRUE(waitForCalls(second, 1));
  EXPECT_EQ(second.tags, std::vector<std::string>{"first"}) << "the camera object of the first call";
  EXPECT_EQ(first.count, 1);
  const mexhost::MemoryCount twoCalls = keptByLibrary();
  EXPECT_EQ(twoCalls.arrays, oneCall.arrays) << "a set is freed once its frames are back";
  EXPECT_EQ(twoCalls.blocks, oneCall.blocks) << "and no second record is made";
  EXPECT_EQ(twoCalls.bytes, oneCall.bytes);
}

// The driver writes into the matrix its frame record points at; the
// callback must be handed that matrix, whichever call queued the frame.
TEST_F(Test, FramesOfAnEarlierCallReachTheLatestCallbackInTheirOwnMatrices) {
  FrameCalls first, second;
  mustSubmit({camera(200), recorder(first), session.number(3)});
  mustSubmit({camera(200), recorder(second), session.number(1)});
  produce(200, 4, 4); // the first call's three frames, then the second call's one
  ASSERT_TRUE(waitForCalls(second, 4));
  EXPECT_EQ(first.count, 0) << "every frame goes to the latest callback";
  EXPECT_EQ(second.firstPixels, (std::vector<uint16_t>{1, 2, 3, 4}))
      << "each image in the matrix it was written into";
  std::vector<const uint16_t *> matrices = second.data;
  std::sort(matrices.begin(), matrices.end());
  EXPECT_EQ(std::unique(matrices.begin(), matrices.end()), matrices.end()) << "four frames, four matrices";
  EXPECT_EQ(printedCount("Reached Matlab Callback Wrapper\n"), 4u);
  EXPECT_TRUE(session.clear("submitBuffers").cleared) << "every frame is back";
}

// Hundreds of frames out at once, over two calls and two cameras: each
// frame still comes back once, with its own image.
TEST_F(Test, ManyFramesOutAtOnceEachComeBackWithTheirOwnImage) {
  FrameCalls one, other;
  mustSubmit({camera(200), recorder(one), session.number(200)});
  mustSubmit({camera(201), recorder(other), session.number(70)});
  mustSubmit({camera(200), recorder(one), session.number(100)});
  produce(201, 70, 70);
  produce(200, 300, 370);
  ASSERT_TRUE(waitForCalls(one, 300));
  ASSERT_TRUE(waitForCalls(other, 70));
  for (size_t i = 0; i < one.firstPixels.size(); ++i) ASSERT_EQ(one.firstPixels[i], i + 1) << "frame " << i;
  for (size_t i = 0; i < other.firstPixels.size(); ++i)
    ASSERT_EQ(other.firstPixels[i], i + 1) << "frame " << i;
  EXPECT_TRUE(session.clear("submitBuffers").cleared);
}

TEST_F(Test, TwoCamerasEachReachTheirOwnCallbackObjectAndFrames) {
  FrameCalls one, other;
  mustSubmit({camera(200, "one"), recorder(one), session.number(2)});
  mustSubmit({camera(201, "other"), recorder(other), session.number(2)});
  // Another library's bridge, hooked in last, takes these events first.
  ASSERT_TRUE(session.call("asyncMexProbeA", {session.text("init"), session.number(1)}, 0).ok);
  produce(201, 1, 1);
  produce(200, 2, 3);
  produce(201, 1, 4);
  ASSERT_TRUE(waitForCalls(one, 2));
  ASSERT_TRUE(waitForCalls(other, 2));
  EXPECT_EQ(one.tags, (std::vector<std::string>{"one", "one"}));
  EXPECT_EQ(other.tags, (std::vector<std::string>{"other", "other"}));
  EXPECT_EQ(one.rows, 6u);
  EXPECT_EQ(one.columns, 8u);
  EXPECT_EQ(other.rows, 4u);
  EXPECT_EQ(other.columns, 5u);
  EXPECT_EQ(one.firstPixels, (std::vector<uint16_t>{1, 2}));
  EXPECT_EQ(other.firstPixels, (std::vector<uint16_t>{1, 2}));
}

TEST_F(Test, ACallbackMayQueueFramesForItsOwnCamera) {
  FrameCalls later;
  int calls = 0;
  uint16_t pixelAfterwards = 0;
  const mexhost::Value cameraObject = camera(200);
  const mexhost::Value laterCallback = recorder(later);
  const mexhost::Value requeueing =
      session.functionHandle([&](const std::vector<const mxArray *> &args, int) {
        ++calls;
        mexhost::CallResult result =
            session.call("submitBuffers", {cameraObject, laterCallback, session.number(1)}, 0);
        EXPECT_TRUE(result.ok) << result.errorMessage;
        // The matrix handed to this callback outlives the call that replaced its frames.
        pixelAfterwards = static_cast<const uint16_t *>(mxGetData(mxGetField(args[1], 0, "frameData")))[0];
        return std::vector<mexhost::Value>{};
      });
  mustSubmit({cameraObject, requeueing, session.number(1)});
  produce(200, 1, 1);
  ASSERT_TRUE(session.runUntil([&] { return calls == 1; }, std::chrono::seconds(5)));
  EXPECT_EQ(pixelAfterwards, 1);
  produce(200, 1, 2);
  ASSERT_TRUE(waitForCalls(later, 1));
  EXPECT_EQ(later.firstPixels, std::vector<uint16_t>{2});
  EXPECT_EQ(calls, 1);
}

} // namespace
