// The property listeners: an exposure reaches the camera and the adaptor
// keeps what the driver reports; a source change restarts only a running
// acquisition. Notifications the engine never sends (no value, other
// names) are given to listeners built here on a live adaptor object.
#include "corvid_fixture.h"

#include "corvidAdaptor.h"
#include "corvidListeners.h"

using std::string;
using std::vector;

namespace {

class Record : public IPropertyRecord {
public:
  Record(const char *name, int32_t kind) : name_(name), kind_(kind) {}
  const char *propertyName() override { return name_; }
  int32_t storageKind() override { return kind_; }
  bool isDeviceProperty() override { return true; }

private:
  const char *name_;
  int32_t kind_;
};

float adaptorExposure(imaqkit::VideoInput &vid) {
  return static_cast<corvidAdaptor *>(vid.adaptor())->exposureTime.load();
}

} // namespace

TEST_F(Corvid, TheAdaptorKeepsTheExposureTheDriverReports) {
  auto vid = open(0);
  andorSimClearCallLog();
  vid->set("Exposure", 0.123456); // the camera counts 10 us ticks
  EXPECT_EQ(driverCalls(), (vector<string>{"selectCamera(100)", "setExposureTime(0.123456)",
                                           "getAcquisitionTimings(ptr, ptr, ptr)"}));
  EXPECT_EQ(adaptorExposure(*vid), 0.12346f);
  EXPECT_EQ(warningTexts("corvidPropListener:debug").back(),
            "In Property listener. PropertyID: Exposure 0.123460\n");

  vid->set("Exposure", 0.0); // raised to the camera's shortest exposure
  EXPECT_EQ(adaptorExposure(*vid), 0.0001f);
  EXPECT_EQ(warningTexts("corvidPropListener:debug").back(),
            "In Property listener. PropertyID: Exposure 0.000100\n");

  // A refused exposure is not the driver's old one: the user's stays, for
  // the next run to hand over.
  ASSERT_EQ(andorSimInjectStatus("setExposureTime", ANDOR_SIM_ACQUIRING, ANDOR_SIM_ONCE), 1);
  vid->set("Exposure", 2.0);
  EXPECT_EQ(adaptorExposure(*vid), 2.0f);
  EXPECT_EQ(warningTexts("corvidPropListener:debug").back(),
            "In Property listener. PropertyID: Exposure 2.000000\n");

  vid->set("Exposure", 0.5);
  vid->set("FramesPerTrigger", 1);
  vid->open();
  andorSimClearCallLog();
  vid->start();
  shoot(wide);
  ASSERT_TRUE(vid->waitForFrames(1, patience));
  vid->close();
  EXPECT_EQ(count(driverCalls(), "setExposureTime(0.5)"), 1) << "the run uses the adaptor's exposure";
}

TEST_F(Corvid, TheExposureCannotChangeWhileRunning) {
  auto vid = open(0);
  vid->set("FramesPerTrigger", 1);
  vid->start();
  ASSERT_EQ(andorSimWaitForWaiters(1, patienceMs), 1) << "the run's set-up is done";
  andorSimClearCallLog();
  EXPECT_THROW(vid->set("Exposure", 1.0), imaqkit::Error);
  EXPECT_EQ(countPrefix(driverCalls(), "setExposureTime"), 0);
  EXPECT_EQ(adaptorExposure(*vid), 0.01f);
  vid->stop();
}

TEST_F(Corvid, ASourceChangeRestartsOnlyARunningAcquisition) {
  auto vid = open(0);
  vid->set("FramesPerTrigger", 3);
  vid->clearCalls();
  vid->set("SelectedSourceName", "corvidDefault"); // closed
  EXPECT_EQ(vid->calls(), (vector<string>{"deviceIsOpen=false"}));

  vid->open();
  vid->clearCalls();
  vid->set("SelectedSourceName", "corvidDefault"); // open, idle
  EXPECT_EQ(vid->calls(), (vector<string>{"deviceIsOpen=true", "deviceIsAcquiring=false"}));

  vid->start();
  shoot(wide);
  ASSERT_TRUE(vid->waitForFrames(1, patience));
  ASSERT_TRUE(vid->waitForCall("acquisitionContinues=true", 2, patience));
  ASSERT_EQ(andorSimWaitForWaiters(1, patienceMs), 1) << "the run waits for its second image";
  vid->clearCalls();
  trace_.clear();
  vid->set("SelectedSourceName", "corvidDefault"); // acquiring
  vector<string> calls = vid->calls();
  ASSERT_GE(calls.size(), 5u);
  EXPECT_EQ(vector<string>(calls.begin(), calls.begin() + 5),
            (vector<string>{"deviceIsOpen=true", "deviceIsAcquiring=true", "haltAcquisition",
                            "resumeAcquisition", "deviceIsAcquiring=false"}))
      << "the resume asks corvid to begin again";

  // The halted run ends at its next test and a new run with its own set-up
  // takes the rest of the frames.
  shoot(wide);
  ASSERT_TRUE(vid->waitForCall("acquisitionContinues=false", 1, patience));
  shoot(wide);
  ASSERT_TRUE(vid->waitForFrames(3, patience));
  vid->close();
  vector<string> camera = driverOnly(trace_.lines());
  EXPECT_EQ(count(camera, "startAcquisition()"), 1) << "one new run";
  EXPECT_EQ(count(camera, "abortAcquisition()"), 2) << "the halted run and the new one";
  EXPECT_EQ(vid->getFrames().size(), 3u);
}

TEST_F(Corvid, AnExposureNotificationWithoutAValueResendsTheExposureInForce) {
  auto vid = open(0);
  auto *adaptor = static_cast<corvidAdaptor *>(vid->adaptor());
  Record exposure("Exposure", IMAQ_STORAGE_DOUBLE);

  corvidPropListener fresh(adaptor);
  andorSimClearCallLog();
  fresh.propertyWasSet(&exposure, nullptr);
  EXPECT_EQ(driverCalls().at(1), "setExposureTime(0.01)") << "a defined exposure, never garbage";
  EXPECT_EQ(adaptor->exposureTime.load(), 0.01f);

  const double value = 0.75;
  corvidPropListener listener(adaptor);
  listener.propertyWasSet(&exposure, &value);
  andorSimClearCallLog();
  listener.propertyWasSet(&exposure, nullptr);
  EXPECT_EQ(driverCalls().at(1), "setExposureTime(0.75)") << "the last value given";
}

TEST_F(Corvid, OnlyThePropertyNamedExactlyExposureReachesTheCamera) {
  auto vid = open(0);
  auto *adaptor = static_cast<corvidAdaptor *>(vid->adaptor());
  corvidPropListener listener(adaptor);
  const double value = 3.0;
  const int32_t integer = 7;
  andorSimClearCallLog();
  Record longer("ExposureMode", IMAQ_STORAGE_DOUBLE), lower("exposure", IMAQ_STORAGE_DOUBLE),
      counted("Gain", IMAQ_STORAGE_INT32), word("Trigger", IMAQ_STORAGE_ENUM), odd("Odd", 9);
  listener.propertyWasSet(&longer, &value);
  listener.propertyWasSet(&lower, &value);
  listener.propertyWasSet(&counted, &integer);
  listener.propertyWasSet(&word, "on");
  listener.propertyWasSet(&odd, &value);
  EXPECT_TRUE(driverCalls().empty());
  EXPECT_EQ(adaptor->exposureTime.load(), 0.01f);
  vector<string> texts = warningTexts("corvidPropListener:debug");
  ASSERT_GE(texts.size(), 5u);
  EXPECT_EQ(vector<string>(texts.end() - 5, texts.end()),
            (vector<string>{"In Property listener. PropertyID: ExposureMode 0.010000\n",
                            "In Property listener. PropertyID: exposure 0.010000\n",
                            "In Property listener. PropertyID: Gain 0.010000\n",
                            "In Property listener. PropertyID: Trigger 0.010000\n",
                            "In Property listener. PropertyID: Odd 0.010000\n"}))
      << "every notification is reported, with the exposure time";

  // The kind-2 value given under another name is what Exposure sends next.
  Record exposure("Exposure", IMAQ_STORAGE_DOUBLE);
  listener.propertyWasSet(&exposure, nullptr);
  EXPECT_EQ(driverCalls(), (vector<string>{"selectCamera(100)", "setExposureTime(3)",
                                           "getAcquisitionTimings(ptr, ptr, ptr)"}));
}

TEST_F(Corvid, ASourceNotificationWithoutAValueDoesNothing) {
  auto vid = open(0);
  vid->set("FramesPerTrigger", 2);
  vid->start();
  corvidSourceListener listener(static_cast<corvidAdaptor *>(vid->adaptor()));
  Record source("SelectedSourceName", IMAQ_STORAGE_INT32);
  vid->clearCalls();
  listener.propertyWasSet(&source, nullptr);
  EXPECT_TRUE(vid->calls().empty());
  vid->stop();
}
