// The adaptor object: what construction tells the driver and the property
// set, its answers about images, and open, close and start requests.
#include "corvid_fixture.h"

#include "corvidAdaptor.h"

using std::string;
using std::vector;

TEST_F(Corvid, ConstructionBindsTheCameraAndAttachesTheListeners) {
  andorSimClearCallLog();
  auto vid = library_->createVideoInput(1);
  EXPECT_EQ(driverCalls(), (vector<string>{"getCameraHandle(1, ptr)", "selectCamera(101)"}));
  auto *adaptor = static_cast<corvidAdaptor *>(vid->adaptor());
  EXPECT_EQ(adaptor->cameraHandle, narrow);
  EXPECT_EQ(adaptor->exposureTime.load(), 0.01f);
  EXPECT_EQ(adaptor->propertySet, vid->engine()->propertySet());
  EXPECT_EQ(vid->imageWidth(), 32);
  EXPECT_EQ(vid->imageHeight(), 16);
  EXPECT_EQ(vid->frameFormat(), 285278212);
  EXPECT_EQ(vid->bandCount(), 1);
  EXPECT_EQ(vid->driverText(), "corvid_skeleton");
  EXPECT_EQ(vid->versionText(), "0.1");
}

// The handle the driver gives for a camera is any 32-bit value: one with
// the top bit set comes back to the driver unchanged, and its camera acquires.
TEST_F(Corvid, AHandleWithTheTopBitSetIsTheOneSelected) {
  ASSERT_EQ(andorSimAddCamera(INT32_MIN, 8, 4), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(library_->enumerate().size(), 3u);
  andorSimClearCallLog();
  auto vid = open(2);
  EXPECT_EQ(driverCalls(), (vector<string>{"getCameraHandle(2, ptr)", "selectCamera(-2147483648)"}));
  EXPECT_EQ(static_cast<corvidAdaptor *>(vid->adaptor())->cameraHandle, INT32_MIN);
  vid->set("FramesPerTrigger", 1);
  vid->start();
  shoot(INT32_MIN);
  ASSERT_TRUE(vid->waitForFrames(1, patience));
  EXPECT_EQ(vid->getFrames()[0].pixel(0, 0), 1u);
}

TEST_F(Corvid, ListenersGoOnTheSourceAndTheDeviceProperties) {
  library_->attributes(0);
  auto vid = library_->createVideoInput(0);
  vid->recordCalls(true);
  vid->set("Exposure", 0.02);
  EXPECT_EQ(warningTexts("corvidPropListener:debug").back(),
            "In Property listener. PropertyID: Exposure 0.020000\n");
  imaqkit::clearWarnings();
  vid->set("FramesPerTrigger", 3); // a toolbox property: no listener
  vid->set("Name", "other");
  EXPECT_TRUE(warningTexts("corvidPropListener:debug").empty());
  vid->clearCalls();
  vid->set("SelectedSourceName", "corvidDefault");
  EXPECT_EQ(vid->calls(), (vector<string>{"deviceIsOpen=false"})) << "the source listener asked";
}

TEST_F(Corvid, AListenerThatCannotBeAllocatedLeavesThePropertyWithoutOne) {
  const long before = imaqkit::test::allocationCalls();
  auto probe = library_->createVideoInput(0);
  ASSERT_EQ(imaqkit::test::allocationCalls() - before, 3) << "object, source listener, Exposure listener";
  probe.reset();

  // The Exposure listener is missing: the camera is not told.
  imaqkit::test::failAllocations(2, 1);
  auto vid = open(0);
  vid->set("Exposure", 0.5);
  EXPECT_EQ(countPrefix(driverCalls(), "setExposureTime"), 0);
  EXPECT_TRUE(warningTexts("corvidPropListener:debug").empty());

  // The source listener is missing: a source change restarts nothing.
  imaqkit::test::failAllocations(1, 1);
  auto second = open(1);
  second->set("FramesPerTrigger", 2);
  second->start();
  second->set("SelectedSourceName", "corvidDefault");
  EXPECT_EQ(count(second->calls(), "haltAcquisition"), 0);
  second->stop();
}

TEST_F(Corvid, OpeningTwiceStartsOneThread) {
  auto vid = open(0);
  auto *adaptor = static_cast<corvidAdaptor *>(vid->adaptor());
  andorSimClearCallLog();
  vid->open();
  // The thread asks the detector size as it starts, and its queue exists
  // once openCamera returns.
  EXPECT_EQ(driverCalls(), (vector<string>{"selectCamera(100)", "getDetectorSize(ptr, ptr)",
                                           "selectCamera(100)", "getDetectorSize(ptr, ptr)"}));
  EXPECT_EQ(threadcount::running(), threads_ + 1);
  const DWORD first = adaptor->threadId;
  ThreadWatch thread(*adaptor);
  EXPECT_FALSE(thread.ended(0));
  EXPECT_TRUE(adaptor->openCamera()) << "open already";
  EXPECT_EQ(countPrefix(driverCalls(), "getDetectorSize"), 2) << "no second thread";
  EXPECT_EQ(adaptor->threadId, first);
  EXPECT_EQ(threadcount::running(), threads_ + 1);
  vid->close();
  EXPECT_TRUE(thread.ended(0)) << "the close waited for the thread to end";
  vid->open();
  EXPECT_EQ(countPrefix(driverCalls(), "getDetectorSize"), 4) << "a fresh thread after a close";
  ThreadWatch fresh(*adaptor);
  vid->close();
  EXPECT_TRUE(fresh.ended(0));
}

TEST_F(Corvid, AThreadThatCannotBeMadeLeavesTheDeviceClosed) {
#if defined(_WIN32)
  GTEST_SKIP() << "needs the stand-in's failure injection";
#else
  auto vid = open(0);
  auto *adaptor = static_cast<corvidAdaptor *>(vid->adaptor());
  win32FailNextCalls("CreateThread", ERROR_NOT_ENOUGH_MEMORY, 1);
  vid->clearCalls();
  EXPECT_THROW(vid->open(), imaqkit::Error) << "openCamera answered true";
  EXPECT_EQ(vid->calls(), (vector<string>{"deviceIsOpen=false", "deviceIsOpen=false"}))
      << "closeCamera ran after the failure";
  EXPECT_EQ(adaptor->threadHandle, nullptr);
  EXPECT_EQ(win32RunningThreadCount(), threads_);
  EXPECT_FALSE(vid->isOpen());
  vid->open(); // the toolbox may try again
  EXPECT_TRUE(vid->isOpen());
#endif
}

TEST_F(Corvid, ClosingAClosedDeviceChangesNothing) {
  auto vid = open(0);
  auto *adaptor = static_cast<corvidAdaptor *>(vid->adaptor());
  andorSimClearCallLog();
  vid->clearCalls();
  EXPECT_TRUE(adaptor->closeCamera());
  EXPECT_EQ(vid->calls(), (vector<string>{"deviceIsOpen=false"}));
  EXPECT_EQ(adaptor->threadHandle, nullptr);
  EXPECT_FALSE(adaptor->keepRunning.load());

  vid->open();
  vid->close();
  EXPECT_EQ(adaptor->threadHandle, nullptr) << "a thread that ended is released";
  vid->clearCalls();
  andorSimClearCallLog();
  EXPECT_TRUE(adaptor->closeCamera());
  EXPECT_EQ(vid->calls(), (vector<string>{"deviceIsOpen=false"}));
  EXPECT_TRUE(driverCalls().empty());
}

TEST_F(Corvid, StartingWhileAcquiringIsRefused) {
  auto vid = open(0);
  vid->set("FramesPerTrigger", 1);
  vid->start();
  vid->clearCalls();
  EXPECT_FALSE(vid->adaptor()->beginCapture());
  EXPECT_EQ(vid->calls(), (vector<string>{"deviceIsAcquiring=true"}));
  shoot(wide);
  ASSERT_TRUE(vid->waitForFrames(1, patience));
  vid->close(); // the thread has ended: its calls are all in
  EXPECT_EQ(count(driverCalls(), "startAcquisition()"), 1) << "the refused request started no run";
}

TEST_F(Corvid, EndCaptureLeavesTheRunToItsNextTest) {
  auto vid = open(0);
  vid->set("FramesPerTrigger", 5);
  vid->start();
  shoot(wide);
  ASSERT_TRUE(vid->waitForCall("countFrame", 1, patience));
  ASSERT_EQ(andorSimWaitForWaiters(1, patienceMs), 1);
  andorSimClearCallLog();
  EXPECT_TRUE(vid->adaptor()->endCapture());
  vid->stop(); // the run's next test answers false; the run waits for its image first
  EXPECT_TRUE(driverCalls().empty());
  shoot(wide);
  ASSERT_TRUE(vid->waitForCall("acquisitionContinues=false", 1, patience));
  vid->close();
  EXPECT_EQ(driverCalls(), (vector<string>{"selectCamera(100)", "getNewImageRange(ptr, ptr)",
                                           "getImages16(2, 2, ptr, 3072, ptr, ptr)", "selectCamera(100)",
                                           "driverSetting219(1, 0, 0, 0, 0)", "abortAcquisition()"}));
}

// The driver's current camera is the whole process's: each object selects
// its own camera for every sequence of calls, whichever was selected last.
TEST_F(Corvid, EachObjectActsOnItsOwnCamera) {
  andorSimClearCallLog();
  auto first = open(0);
  auto second = open(1);
  EXPECT_EQ(driverCalls(), (vector<string>{"getCameraHandle(0, ptr)", "selectCamera(100)",
                                           "getCameraHandle(1, ptr)", "selectCamera(101)"}));
  EXPECT_EQ(first->imageWidth(), 64)
      << "the first object's detector, though the second's camera was selected last";
  EXPECT_EQ(second->imageWidth(), 32);

  // With another device object alive, a run waits on its camera's event.
  first->set("FramesPerTrigger", 1);
  first->start();
  shootAtEvent(wide);
  ASSERT_TRUE(first->waitForFrames(1, patience));
  vector<imaqkit::Frame> frames = first->getFrames();
  EXPECT_EQ(frames[0].width, 64);
  EXPECT_EQ(frames[0].height, 48);
  EXPECT_EQ(second->framesAvailable(), 0u);
  // A run again after the other object ran, and made its camera current.
  second->set("FramesPerTrigger", 1);
  second->start();
  shootAtEvent(narrow);
  ASSERT_TRUE(second->waitForFrames(1, patience));
  EXPECT_EQ(second->getFrames()[0].width, 32);
  ASSERT_TRUE(second->waitForCall("acquisitionContinues=false", 1, patience));
  first->start();
  shootAtEvent(wide);
  ASSERT_TRUE(first->waitForFrames(1, patience));
  EXPECT_EQ(first->getFrames()[0].width, 64);
  // The last object left waits in the driver again, as a single camera does.
  second.reset();
  EXPECT_EQ(imaqkit::test::liveManagers(), 1) << "each object owns its manager";
  ASSERT_TRUE(first->waitForCall("acquisitionContinues=false", 2, patience));
  first->start();
  shoot(wide);
  ASSERT_TRUE(first->waitForFrames(1, patience));
}
