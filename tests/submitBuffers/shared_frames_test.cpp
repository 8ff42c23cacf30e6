// What MATLAB code holds of a frame: its callback's struct is shared, not
// copied, so it must stay that frame's, whatever the library does next (a
// nested dispatch inside drawnow, the next frame, the library's clear).
#include "submit_fixture.h"

#include <cstring>

namespace {

using Test = SubmitBuffersTest;

const mxArray *frameData(const mxArray *frameStruct) { return mxGetField(frameStruct, 0, "frameData"); }

std::vector<uint16_t> pixelsOf(const mxArray *frameStruct) {
  const mxArray *matrix = frameData(frameStruct);
  const uint16_t *pixels = static_cast<const uint16_t *>(mxGetData(matrix));
  return std::vector<uint16_t>(pixels, pixels + mxGetNumberOfElements(matrix));
}

// A display callback that calls drawnow before it is done with its frame
// runs the next frame's dispatch inside itself.
TEST_F(Test, ACallbackThatPumpsMessagesKeepsItsOwnFrame) {
  std::vector<uint16_t> before, after, nested;
  const void *dataBefore = nullptr, *dataAfter = nullptr;
  int calls = 0;
  const mexhost::Value callback = session.functionHandle([&](const std::vector<const mxArray *> &args, int) {
    if (++calls > 1) {
      nested = pixelsOf(args[1]);
      return std::vector<mexhost::Value>{};
    }
    before = pixelsOf(args[1]);
    dataBefore = mxGetData(frameData(args[1]));
    produce(200, 1, 2); // the second frame waits in the queue
    session.pumpMessages();
    after = pixelsOf(args[1]);
    dataAfter = mxGetData(frameData(args[1]));
    return std::vector<mexhost::Value>{};
  });
  mustSubmit({camera(200), callback, session.number(2)});
  produce(200, 1, 1);
  ASSERT_TRUE(session.runUntil([&] { return calls == 2; }, std::chrono::seconds(5)));
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(before[0], 1) << "the first image";
  EXPECT_EQ(nested[0], 2) << "the nested dispatch had the second";
  EXPECT_EQ(after, before) << "the same frame, the same pixels, after the nested dispatch";
  EXPECT_EQ(dataAfter, dataBefore);
}

// last = s, frames{end+1} = s, setappdata(fig, 'frame', s): what a callback
// keeps is its own frame for as long as it keeps it, after the library let
// go of it and after the library is cleared.
TEST_F(Test, FramesKeptByTheirCallbackStayTheirsAfterTheStream) {
  const int frames = 200, framesOut = 8;
  const mexhost::Value cameraObject = camera(200);
  const mexhost::Value one = session.number(1);
  std::vector<mexhost::Value> kept;
  std::vector<std::vector<uint16_t>> seen;
  int requeues = frames - framesOut;
  mexhost::Value keeping;
  keeping = session.functionHandle([&](const std::vector<const mxArray *> &args, int) {
    kept.push_back(session.share(args[1]));
    seen.push_back(pixelsOf(args[1]));
    if (requeues-- > 0) {
      EXPECT_TRUE(session.call("submitBuffers", {cameraObject, keeping, one}, 0).ok);
    }
    return std::vector<mexhost::Value>{};
  });
  mustSubmit({cameraObject, keeping, session.number(framesOut)});
  const mexhost::MemoryCount queued = keptByLibrary();
  for (int i = 1; i <= frames; ++i) {
    produce(200, 1, static_cast<uint64_t>(i));
    ASSERT_TRUE(
        session.runUntil([&] { return kept.size() >= static_cast<size_t>(i); }, std::chrono::seconds(5)))
        << "frame " << i;
  }
  // Every frame is back: the library keeps its record, not what MATLAB kept.
  const size_t frameBytes = 8 * 6 * 2;
  EXPECT_LT(keptByLibrary().bytes, queued.bytes - (framesOut - 1) * frameBytes);
  const mexhost::ClearReport report = session.clear("submitBuffers");
  EXPECT_TRUE(report.cleared) << report.reason;
  EXPECT_TRUE(report.leaked.empty()) << "leaked arrays " << report.leaked.arrays;

  ASSERT_EQ(kept.size(), static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    ASSERT_TRUE(kept[i]) << "frame " << i;
    const std::vector<uint16_t> pixels = pixelsOf(kept[i].get());
    ASSERT_EQ(pixels[0], i + 1) << "frame " << i << " keeps its own image";
    ASSERT_EQ(pixels, seen[i]) << "frame " << i << " is whole";
    ASSERT_EQ(mxGetScalar(mxGetField(kept[i].get(), 0, "errorCode")), 0.0);
  }
}

// The callback can tell a frame the camera filled from one it did not.
TEST_F(Test, AFrameCompletedWithAnErrorReachesTheCallbackWithItsCode) {
  FrameCalls calls;
  mustSubmit({camera(200), recorder(calls), session.number(3)});
  produce(200, 1, 1);
  ASSERT_EQ(qcamSimInjectStatus("frameCompletion", QCAM_SIM_BUFFER_TOO_SMALL, QCAM_SIM_ONCE), 1);
  produce(200, 1, 2);
  produce(200, 1, 3);
  ASSERT_TRUE(waitForCalls(calls, 3));
  EXPECT_EQ(calls.errorCodes, (std::vector<double>{0, QCAM_SIM_BUFFER_TOO_SMALL, 0}))
      << "one callback per frame, failed or not";
  EXPECT_EQ(calls.firstPixels[0], 1);
  EXPECT_EQ(calls.firstPixels[1], 0) << "nothing written into the failed frame";
  EXPECT_EQ(calls.firstPixels[2], 3) << "image 2 was the one lost";
}

} // namespace
