// Loading an adaptor, its device catalog and attributes, and making device
// objects, including when the kit's allocator fails.
#include "kit_fixture.h"

using imaqkit::Error;

TEST_F(Kit, LoadsByFileNameAndRefusesWhatIsNoAdaptor) {
  EXPECT_EQ(fake::log(), std::vector<std::string>{"initializeAdaptor"});
  library_.reset();
  EXPECT_EQ(fake::log().back(), "uninitializeAdaptor");

  try {
    imaqkit::AdaptorLibrary missing("no-such-adaptor-here.dll");
    FAIL() << "loaded a file that does not exist";
  } catch (const Error &error) {
    EXPECT_NE(std::string(error.what()).find("no-such-adaptor-here.dll"), std::string::npos);
  }
  try {
    imaqkit::AdaptorLibrary kit(IMAQMEX_FILE); // a library, but with no adaptor exports
    FAIL() << "took the kit library for an adaptor";
  } catch (const Error &error) {
    EXPECT_NE(std::string(error.what()).find("does not export initializeAdaptor"), std::string::npos);
  }
}

TEST_F(Kit, CatalogHoldsEveryAppendedDeviceWithItsDefaultFormat) {
  fake::setCameras(0);
  EXPECT_TRUE(library_->enumerate().empty());
  ASSERT_EQ(imaqkit::warnings().size(), 1u);
  EXPECT_EQ(imaqkit::warnings()[0].identifier, "fake:info");
  EXPECT_EQ(imaqkit::formatWarning(imaqkit::warnings()[0]), "Warning: 0 fake cameras");

  fake::setCameras(2);
  std::vector<imaqkit::DeviceInfo> devices = library_->enumerate();
  ASSERT_EQ(devices.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(devices[i].id, i);
    EXPECT_EQ(devices[i].name, "fake camera");
    ASSERT_EQ(devices[i].formats.size(), 2u);
    EXPECT_EQ(devices[i].formats[0].name, "mono8");
    EXPECT_EQ(devices[i].formats[1].name, "mono16");
    EXPECT_EQ(devices[i].formats[1].id, 1);
    EXPECT_EQ(devices[i].defaultFormat, 1);
  }
  EXPECT_EQ(count(fake::log(), "getAvailHW"), 2) << "each enumeration asks the adaptor again";
}

TEST_F(Kit, AttributesBecomeSourcesAndDeviceProperties) {
  fake::setCameras(2);
  imaqkit::DeviceAttributes attributes = library_->attributes(1, "mono8");
  EXPECT_EQ(fake::log().back(), "getDeviceAttributes 1 mono8");
  ASSERT_EQ(attributes.sources.size(), 2u);
  EXPECT_EQ(attributes.sources[1].name, "fakeOther");
  EXPECT_EQ(attributes.sources[1].id, 2);
  ASSERT_EQ(attributes.properties.size(), 3u);
  const imaqkit::PropertyInfo &exposure = attributes.properties[0];
  EXPECT_EQ(exposure.name, "Exposure");
  EXPECT_EQ(exposure.storageKind, IMAQ_STORAGE_DOUBLE);
  EXPECT_TRUE(exposure.deviceProperty);
  EXPECT_EQ(exposure.lowerBound, 0.0);
  EXPECT_EQ(exposure.upperBound, 50.0);
  EXPECT_EQ(exposure.defaultValue, 0.01);
  EXPECT_EQ(exposure.readOnly, imaqkit::ReadOnly::whileRunning);
  EXPECT_EQ(attributes.properties[1].readOnly, imaqkit::ReadOnly::never) << "mode set after commit";
  EXPECT_EQ(attributes.properties[2].readOnly, imaqkit::ReadOnly::always);

  auto vid = library_->createVideoInput(0);
  EXPECT_TRUE(inOrder(fake::log(), {"getDeviceAttributes 0 mono16", "createInstance", "construct 0"}));
  EXPECT_EQ(vid->formatName(), "mono16");
  EXPECT_EQ(vid->propertyNames(),
            (std::vector<std::string>{"Name", "SelectedSourceName", "FramesPerTrigger", "FrameGrabInterval",
                                      "Exposure", "Gain", "Temperature"}));
  EXPECT_EQ(vid->text("Name").rfind("mono16-", 0), 0u);
  EXPECT_EQ(vid->text("SelectedSourceName"), "fakeDefault");
  EXPECT_EQ(vid->number("Exposure"), 0.01);
  EXPECT_EQ(vid->number("FramesPerTrigger"), 10.0);
  EXPECT_FALSE(vid->propertyInfo("SelectedSourceName").deviceProperty);
  EXPECT_EQ(vid->propertyInfo("SelectedSourceName").storageKind, IMAQ_STORAGE_INT32);
  EXPECT_EQ(vid->propertyInfo("FrameGrabInterval").storageKind, IMAQ_STORAGE_INT32);
  EXPECT_EQ(vid->imageWidth(), 64);
  EXPECT_EQ(vid->frameFormat(), IMAQ_FRAME_MONO16);
  EXPECT_EQ(vid->driverText(), "fake driver");
}

TEST_F(Kit, UnknownDeviceOrFormatIsOneClearError) {
  try {
    library_->createVideoInput(5);
    FAIL();
  } catch (const Error &error) {
    EXPECT_NE(std::string(error.what()).find("no device with id 5"), std::string::npos) << error.what();
  }
  try {
    library_->createVideoInput(0, "rgb24");
    FAIL();
  } catch (const Error &error) {
    EXPECT_NE(std::string(error.what()).find("no format \"rgb24\""), std::string::npos) << error.what();
  }
  EXPECT_EQ(count(fake::log(), "createInstance"), 0);
}

namespace {
struct Probe : IMAQInterface {
  explicit Probe(bool *built) { *built = true; }
  char payload[40] = {};
};
} // namespace

TEST_F(Kit, FailedAllocationYieldsNullAndConstructsNothing) {
  bool built = false;
  imaqkit::test::failAllocations(0, 1);
  EXPECT_EQ(new Probe(&built), nullptr);
  EXPECT_FALSE(built);
  Probe *probe = new Probe(&built);
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(imaqkit::test::liveBlocks(), blocks_ + 1);
  delete probe; // back through imaqfree (checked at tear-down)

  // An adaptor's createInstance may take the block itself and build in it.
  void *block = imaqmalloc(sizeof(Probe));
  ASSERT_NE(block, nullptr);
  probe = new (block) Probe(&built);
  EXPECT_EQ(static_cast<void *>(probe), block);
  delete probe;

  imaqkit::test::failAllocations(0, 1);
  EXPECT_THROW(library_->createVideoInput(0), Error);
  EXPECT_EQ(count(fake::log(), "createInstance"), 1);
  EXPECT_EQ(fake::adaptorsConstructed(), 0);
  EXPECT_EQ(imaqkit::test::liveManagers(), 0);
}

TEST_F(Kit, ListenerThatCouldNotBeAllocatedIsLeftOut) {
  imaqkit::test::failAllocations(1, 1); // the adaptor, then its first listener
  auto vid = library_->createVideoInput(0);
  EXPECT_EQ(fake::listenersAlive(), 4);
  vid->set("SelectedSourceName", std::string("fakeOther"));
  EXPECT_EQ(count(fake::log(), "source 2"), 0);
  vid->set("Exposure", 0.5);
  EXPECT_TRUE(inOrder(fake::log(), {"listener A Exposure kind=2 value=0.500000",
                                    "listener B Exposure kind=2 value=0.500000"}));
}
