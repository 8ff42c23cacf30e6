// Setting properties: listeners told in order with the new value, refused
// values changing nothing, read-only modes.
#include "kit_fixture.h"

#include <limits>

using imaqkit::Error;

namespace {

std::string refusal(imaqkit::VideoInput &vid, const std::string &name, double value) {
  try {
    vid.set(name, value);
  } catch (const Error &error) {
    return error.what();
  }
  return "accepted";
}

} // namespace

TEST_F(Kit, SetTellsThePropertysListenersInAttachOrder) {
  auto vid = library_->createVideoInput(0);
  std::size_t before = fake::log().size();

  vid->set("Exposure", 0.02);
  EXPECT_EQ(vid->number("Exposure"), 0.02);
  vid->set("Gain", 5);
  vid->set("Name", std::string("left camera")); // not a device property: no listener
  vid->set("SelectedSourceName", std::string("fakeOther"));
  EXPECT_EQ(vid->text("SelectedSourceName"), "fakeOther");
  EXPECT_EQ(vid->text("Name"), "left camera");

  std::vector<std::string> log = fake::log();
  EXPECT_EQ(std::vector<std::string>(log.begin() + static_cast<long>(before), log.end()),
            (std::vector<std::string>{"listener A Exposure kind=2 value=0.020000",
                                      "listener B Exposure kind=2 value=0.020000",
                                      "listener A Gain kind=2 value=5.000000", "source 2"}));
}

TEST_F(Kit, RefusedValueChangesNothingAndTellsNoOne) {
  auto vid = library_->createVideoInput(0);
  std::size_t before = fake::log().size();

  EXPECT_EQ(refusal(*vid, "Exposure", 60), "Property \"Exposure\" must be between 0 and 50; 60 was refused.");
  EXPECT_NE(refusal(*vid, "Exposure", std::numeric_limits<double>::quiet_NaN()), "accepted");
  EXPECT_EQ(refusal(*vid, "Temperature", 0), "Property \"Temperature\" is read-only.");
  EXPECT_EQ(refusal(*vid, "Exposur", 1), "No property named \"Exposur\".");
  EXPECT_NE(refusal(*vid, "FramesPerTrigger", 2.5), "accepted");
  EXPECT_NE(refusal(*vid, "FrameGrabInterval", 0), "accepted");
  EXPECT_NE(refusal(*vid, "SelectedSourceName", 2), "accepted");
  EXPECT_THROW(vid->set("Exposure", std::string("long")), Error);
  EXPECT_THROW(vid->set("SelectedSourceName", std::string("fakeThird")), Error);

  EXPECT_EQ(vid->number("Exposure"), 0.01);
  EXPECT_EQ(vid->number("Temperature"), 20.0);
  EXPECT_EQ(vid->text("SelectedSourceName"), "fakeDefault");
  EXPECT_EQ(fake::log().size(), before);

  vid->set("FramesPerTrigger", std::numeric_limits<double>::infinity()); // until stopped
}

TEST_F(Kit, WhileRunningPropertyIsRefusedOnlyWhileAcquiring) {
  auto vid = library_->createVideoInput(0);
  vid->set("Exposure", 1.0);
  vid->start(); // no images come: it stays running
  ASSERT_TRUE(vid->isRunning());

  EXPECT_EQ(refusal(*vid, "Exposure", 2.0),
            "Property \"Exposure\" cannot be set while the acquisition is running; stop it first.");
  EXPECT_NE(refusal(*vid, "FramesPerTrigger", 3), "accepted");
  EXPECT_EQ(vid->number("Exposure"), 1.0);
  vid->set("Gain", 2.0); // never read-only

  vid->stop();
  vid->set("Exposure", 2.0);
  EXPECT_EQ(vid->number("Exposure"), 2.0);
}
