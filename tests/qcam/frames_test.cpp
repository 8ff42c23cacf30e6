// Queued frames and grabs of the simulated QCam driver: completion order and
// thread, buffers never overrun, lost images, free-running frames.
#include "qcam_test_support.h"

#include <algorithm>
#include <chrono>
#include <memory>

namespace {

TEST_F(QCamSimTest, QueuedFramesCompleteInQueueOrderOnTheDriversThread) {
  CompletionRecorder recorder;
  std::vector<std::unique_ptr<TestFrame>> frames;
  for (uint32_t j = 0; j < 5; ++j) {
    frames.push_back(std::make_unique<TestFrame>(deepBytes));
    ASSERT_EQ(qcamQueueBuffer(deep, &frames[j]->record, CompletionRecorder::routine,
                              QCAM_CALLBACK_ON_FRAME_DONE, &recorder, j),
              QCAM_STATUS_SUCCESS);
  }
  // Queueing returns at once; nothing completes before an image arrives.
  EXPECT_EQ(qcamSimQueuedFrames(deep), 5);
  EXPECT_TRUE(recorder.completions().empty());

  ASSERT_EQ(qcamSimProduceImages(deep, 2), 2);
  ASSERT_EQ(qcamSimWaitForCompletions(2, patienceMs), 1);
  EXPECT_EQ(qcamSimQueuedFrames(deep), 3);
  ASSERT_EQ(qcamSimProduceImages(deep, 3), 3);
  ASSERT_EQ(qcamSimWaitUntilDrained(patienceMs), 1);

  const std::vector<Completion> completions = recorder.completions();
  ASSERT_EQ(completions.size(), 5u);
  for (uint32_t j = 0; j < 5; ++j) {
    EXPECT_EQ(completions[j].userData, j);
    EXPECT_EQ(completions[j].userPointer, &recorder);
    EXPECT_EQ(completions[j].errorCode, QCAM_STATUS_SUCCESS);
    EXPECT_EQ(completions[j].flags, QCAM_CALLBACK_ON_FRAME_DONE);
    EXPECT_NE(completions[j].thread, std::this_thread::get_id());
    EXPECT_EQ(completions[j].thread, completions[0].thread) << "the driver's one thread";
    EXPECT_EQ(frames[j]->imageNumber16(), j + 1);
    EXPECT_EQ(frames[j]->record.driverFields[QCAM_SIM_FIELD_IMAGE_NUMBER], j + 1);
    EXPECT_EQ(frames[j]->record.driverFields[QCAM_SIM_FIELD_BYTES_WRITTEN], deepBytes);
    EXPECT_TRUE(frames[j]->untouchedFrom(deepBytes));
  }
  const QCamSimCounters done = counters(deep);
  EXPECT_EQ(done.queued, 5u);
  EXPECT_EQ(done.completed, 5u);
  EXPECT_EQ(done.failed, 0u);
  EXPECT_EQ(done.produced, 5u);
}

TEST_F(QCamSimTest, AShortOrMissingBufferGetsAnErrorCodeAndIsNeverWritten) {
  CompletionRecorder recorder;
  TestFrame shortFrame(deepBytes - 1);
  TestFrame missing(deepBytes);
  missing.record.bufferAddress = nullptr;
  TestFrame roomy(deepBytes + 10);
  ASSERT_EQ(qcamQueueBuffer(deep, &shortFrame.record, CompletionRecorder::routine, 1, &recorder, 0), 0);
  ASSERT_EQ(qcamQueueBuffer(deep, &missing.record, CompletionRecorder::routine, 1, &recorder, 1), 0);
  ASSERT_EQ(qcamQueueBuffer(deep, &roomy.record, CompletionRecorder::routine, 1, &recorder, 2), 0);
  ASSERT_EQ(qcamSimProduceImages(deep, 3), 3);
  ASSERT_EQ(qcamSimWaitForCompletions(3, patienceMs), 1);

  const std::vector<Completion> completions = recorder.completions();
  ASSERT_EQ(completions.size(), 3u);
  EXPECT_EQ(completions[0].errorCode, QCAM_SIM_BUFFER_TOO_SMALL);
  EXPECT_TRUE(shortFrame.untouchedFrom(0));
  EXPECT_EQ(shortFrame.record.driverFields[QCAM_SIM_FIELD_BYTES_WRITTEN], 0u);
  EXPECT_EQ(completions[1].errorCode, QCAM_SIM_BUFFER_TOO_SMALL);
  EXPECT_TRUE(missing.untouchedFrom(0));
  EXPECT_EQ(completions[2].errorCode, QCAM_STATUS_SUCCESS);
  EXPECT_TRUE(roomy.untouchedFrom(deepBytes)) << "only the image's bytes are written";
  EXPECT_EQ(counters(deep).failed, 2u);

  // A grab keeps to the same rules, and reports the error as its status.
  TestFrame grabbed(deepBytes - 2);
  EXPECT_EQ(qcamGrabImage(deep, &grabbed.record), QCAM_SIM_BUFFER_TOO_SMALL);
  EXPECT_TRUE(grabbed.untouchedFrom(0));
  EXPECT_EQ(qcamGrabImage(deep, nullptr), QCAM_SIM_INVALID_VALUE);
  EXPECT_EQ(qcamQueueBuffer(deep, nullptr, CompletionRecorder::routine, 1, &recorder, 9),
            QCAM_SIM_INVALID_VALUE);
  EXPECT_EQ(qcamQueueBuffer(999, &roomy.record, CompletionRecorder::routine, 1, &recorder, 9),
            QCAM_SIM_INVALID_HANDLE);
}

TEST_F(QCamSimTest, AnImageWithoutAQueuedFrameIsLost) {
  CompletionRecorder recorder;
  TestFrame frame(deepBytes);
  ASSERT_EQ(qcamQueueBuffer(deep, &frame.record, CompletionRecorder::routine, 1, &recorder, 0), 0);
  EXPECT_EQ(qcamSimProduceImages(deep, 3), 1);
  ASSERT_EQ(qcamSimWaitUntilDrained(patienceMs), 1);
  const QCamSimCounters after = counters(deep);
  EXPECT_EQ(after.produced, 3u);
  EXPECT_EQ(after.lost, 2u);
  EXPECT_EQ(after.completed, 1u);
  EXPECT_EQ(frame.imageNumber16(), 1u);
}

TEST_F(QCamSimTest, AnInjectedCompletionErrorWritesNothing) {
  CompletionRecorder recorder;
  TestFrame failed(deepBytes), next(deepBytes);
  ASSERT_EQ(qcamSimInjectStatus("frameCompletion", 13, QCAM_SIM_ONCE), 1);
  ASSERT_EQ(qcamQueueBuffer(deep, &failed.record, CompletionRecorder::routine, 1, &recorder, 0), 0);
  ASSERT_EQ(qcamQueueBuffer(deep, &next.record, CompletionRecorder::routine, 1, &recorder, 1), 0);
  ASSERT_EQ(qcamSimProduceImages(deep, 2), 2);
  ASSERT_EQ(qcamSimWaitForCompletions(2, patienceMs), 1);
  const std::vector<Completion> completions = recorder.completions();
  ASSERT_EQ(completions.size(), 2u);
  EXPECT_EQ(completions[0].errorCode, 13);
  EXPECT_TRUE(failed.untouchedFrom(0));
  EXPECT_EQ(failed.record.driverFields[QCAM_SIM_FIELD_ERROR_CODE], 13u);
  EXPECT_EQ(completions[1].errorCode, QCAM_STATUS_SUCCESS);
  EXPECT_EQ(next.imageNumber16(), 2u);
}

TEST_F(QCamSimTest, GrabFillsOneImageAtOnceOrReturnsTheInjectedFailure) {
  TestFrame frame(6 * 2);
  ASSERT_EQ(qcamGrabImage(shallow, &frame.record), QCAM_STATUS_SUCCESS);
  EXPECT_EQ(frame.buffer[0], 1) << "8-bit images hold the number in bytes 0 to 3";
  EXPECT_EQ(frame.buffer[1], 0);
  EXPECT_TRUE(frame.untouchedFrom(12));
  ASSERT_EQ(qcamSimInjectStatus("qcamGrabImage", 13, QCAM_SIM_ONCE), 1);
  frame.buffer[0] = 0;
  EXPECT_EQ(qcamGrabImage(shallow, &frame.record), 13);
  EXPECT_EQ(frame.buffer[0], 0);
  ASSERT_EQ(qcamGrabImage(shallow, &frame.record), QCAM_STATUS_SUCCESS);
  EXPECT_EQ(frame.buffer[0], 2);
  EXPECT_EQ(counters(shallow).grabbed, 2u);
  EXPECT_EQ(qcamGrabImage(999, &frame.record), QCAM_SIM_INVALID_HANDLE);

  // Within its bit depth: 12-bit pixels never exceed 4095 past the stamp.
  ASSERT_EQ(qcamSimAddCamera(202, "QX-202", 64, 32, 12), QCAM_STATUS_SUCCESS);
  std::vector<uint16_t> pixels(64 * 32);
  QCamFrameRecord record{};
  record.bufferAddress = pixels.data();
  record.bufferLength = uint32_t(pixels.size() * 2);
  ASSERT_EQ(qcamGrabImage(202, &record), QCAM_STATUS_SUCCESS);
  uint16_t brightest = 0;
  for (size_t i = 2; i < pixels.size(); ++i) brightest = std::max(brightest, pixels[i]);
  EXPECT_LE(brightest, 4095);
  EXPECT_GT(brightest, 1000);
}

// A routine that queues its frame again, as a streaming caller does; it runs
// on the driver's thread, which must not be holding the driver's lock.
struct Requeuer {
  static void WINAPI routine(void *userPointer, uint32_t userData, int32_t, uint32_t) {
    auto *self = static_cast<Requeuer *>(userPointer);
    if (++self->completed < self->wanted)
      qcamQueueBuffer(200, &self->frame->record, routine, 1, self, userData + 1);
  }
  std::unique_ptr<TestFrame> frame = std::make_unique<TestFrame>(64);
  int completed = 0; // touched by the driver's thread only
  int wanted = 0;
};

TEST_F(QCamSimTest, FreeRunningFramesFollowThePeriodAndMayBeQueuedAgain) {
  qcamSimSetFreeRunning(1);
  ASSERT_EQ(qcamSimSetFramePeriod(deep, 0.003), QCAM_STATUS_SUCCESS);
  EXPECT_EQ(qcamSimSetFramePeriod(deep, 0), QCAM_SIM_INVALID_VALUE);
  EXPECT_EQ(qcamSimSetFramePeriod(999, 0.003), QCAM_SIM_INVALID_HANDLE);

  Requeuer requeuer;
  requeuer.wanted = 10;
  const auto begun = std::chrono::steady_clock::now();
  ASSERT_EQ(qcamQueueBuffer(deep, &requeuer.frame->record, Requeuer::routine, 1, &requeuer, 0), 0);
  ASSERT_EQ(qcamSimWaitForCompletions(10, patienceMs), 1);
  EXPECT_GE(std::chrono::steady_clock::now() - begun, std::chrono::milliseconds(27))
      << "ten images need at least nine periods";
  ASSERT_EQ(qcamSimWaitUntilDrained(patienceMs), 1);
  EXPECT_EQ(requeuer.frame->imageNumber16(), 10u);
  EXPECT_EQ(counters(deep).lost, 0u) << "a free-running camera exposes only into a queued frame";
}

TEST_F(QCamSimTest, ResetIsRefusedFromACompletionRoutine) {
  struct Attempt {
    static void WINAPI routine(void *userPointer, uint32_t, int32_t, uint32_t) {
      *static_cast<int *>(userPointer) = qcamSimReset();
    }
  };
  int result = -1;
  TestFrame frame(deepBytes);
  ASSERT_EQ(qcamQueueBuffer(deep, &frame.record, Attempt::routine, 1, &result, 0), 0);
  ASSERT_EQ(qcamSimProduceImages(deep, 1), 1);
  ASSERT_EQ(qcamSimWaitForCompletions(1, patienceMs), 1);
  EXPECT_EQ(result, 0);

  // Reset from a test's own thread drops frames still queued, uncompleted.
  CompletionRecorder recorder;
  TestFrame dropped(deepBytes);
  ASSERT_EQ(qcamQueueBuffer(deep, &dropped.record, CompletionRecorder::routine, 1, &recorder, 0), 0);
  ASSERT_EQ(qcamSimReset(), 1);
  EXPECT_TRUE(recorder.completions().empty());
  EXPECT_TRUE(dropped.untouchedFrom(0));
}

} // namespace
