// A small adaptor for the kit's tests: two formats, two sources, three
// device properties of different read-only modes, listeners that log what
// they are told, and an acquisition thread whose images come when the test
// shoots them.
#include "fake_adaptor_control.h"
#include "imaqkit.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// ---- State the tests control and read ----

std::mutex stateMutex;
std::condition_variable stateChanged;
int cameras = 1;
int shotsLeft = 0;
bool freeRunning = false;
std::vector<std::string> entries;
std::string lastFormat;
std::atomic<int> constructed{0};
std::atomic<int> destroyed{0};
std::atomic<int> listeners{0};

void note(const std::string &entry) {
  {
    std::lock_guard<std::mutex> lock(stateMutex);
    entries.push_back(entry);
  }
  stateChanged.notify_all();
}

std::string answer(bool value) { return value ? "true" : "false"; }

// ---- The adaptor object ----

class FakeAdaptor final : public IAdaptor {
public:
  FakeAdaptor(IEngine *engine, IDeviceEntry *device, bool mono8);
  ~FakeAdaptor() override;

  std::int32_t imageWidth() override { return mono8_ ? 32 : 64; }
  std::int32_t imageHeight() override { return mono8_ ? 16 : 48; }
  std::int32_t frameFormat() override { return mono8_ ? IMAQ_FRAME_MONO8 : IMAQ_FRAME_MONO16; }
  std::int32_t bandCount() override { return 1; }
  const char *driverText() override { return "fake driver"; }
  const char *versionText() override { return "1.0"; }
  bool openCamera() override;
  bool closeCamera() override;
  bool beginCapture() override;
  bool endCapture() override;

private:
  enum Command { run, quit };
  void post(Command command);
  void threadMain();
  void runOnce();
  bool takeShot();
  void stopThread();

  const bool mono8_;
  std::thread thread_;
  std::atomic<bool> keepRunning_{false};
  std::mutex commandMutex_;
  std::condition_variable commandPosted_;
  std::deque<Command> commands_;
  int images_ = 0; // acquisition thread only
};

class LoggingListener final : public IPropPostSetListener {
public:
  explicit LoggingListener(const char *tag) : tag_(tag) { ++listeners; }
  ~LoggingListener() override { --listeners; }
  void propertyWasSet(IPropertyRecord *record, const void *newValue) override {
    std::string entry = std::string("listener ") + tag_ + " " + record->propertyName() +
                        " kind=" + std::to_string(record->storageKind()) + " value=";
    if (newValue == nullptr)
      entry += "null";
    else if (record->storageKind() == IMAQ_STORAGE_DOUBLE)
      entry += std::to_string(*static_cast<const double *>(newValue));
    else if (record->storageKind() == IMAQ_STORAGE_INT32)
      entry += std::to_string(*static_cast<const std::int32_t *>(newValue));
    else
      entry += static_cast<const char *>(newValue);
    note(entry);
  }

private:
  const char *tag_;
};

// Restarts a running acquisition when the source changes.
class SourceListener final : public IPropPostSetListener {
public:
  explicit SourceListener(FakeAdaptor *adaptor) : adaptor_(adaptor) { ++listeners; }
  ~SourceListener() override { --listeners; }
  void propertyWasSet(IPropertyRecord *, const void *newValue) override {
    if (newValue == nullptr) return;
    note("source " + std::to_string(*static_cast<const std::int32_t *>(newValue)));
    if (adaptor_->manager->deviceIsAcquiring()) {
      adaptor_->manager->haltAcquisition();
      adaptor_->manager->resumeAcquisition();
    }
  }

private:
  FakeAdaptor *adaptor_;
};

void attach(IPropertySet *set, const char *name, IPropPostSetListener *listener) {
  // A listener that could not be allocated is null; the set ignores it.
  set->attachListener(name, listener);
}

FakeAdaptor::FakeAdaptor(IEngine *engine, IDeviceEntry *device, bool mono8)
    : IAdaptor(engine), mono8_(mono8) {
  ++constructed;
  note("construct " + std::to_string(device->deviceNumber()));
  IPropertySet *set = manager->currentEngine()->propertySet();
  attach(set, "SelectedSourceName", new SourceListener(this));
  std::vector<const char *> names(static_cast<std::size_t>(set->propertyCount()));
  set->propertyNames(names.data());
  for (const char *name : names)
    if (set->propertyRecord(name)->isDeviceProperty()) attach(set, name, new LoggingListener("A"));
  attach(set, "Exposure", new LoggingListener("B"));
}

FakeAdaptor::~FakeAdaptor() {
  stopThread();
  note("destruct");
  ++destroyed;
}

bool FakeAdaptor::openCamera() {
  bool open = manager->deviceIsOpen();
  note("openCamera deviceIsOpen=" + answer(open));
  if (open) return true;
  keepRunning_ = true;
  thread_ = std::thread([this] { threadMain(); });
  return true;
}

bool FakeAdaptor::closeCamera() {
  bool open = manager->deviceIsOpen();
  note("closeCamera deviceIsOpen=" + answer(open));
  if (open) stopThread();
  return true;
}

void FakeAdaptor::stopThread() {
  if (!thread_.joinable()) return;
  keepRunning_ = false;
  post(quit);
  {
    std::lock_guard<std::mutex> lock(stateMutex); // no lost wake-up in takeShot
  }
  stateChanged.notify_all();
  thread_.join();
}

bool FakeAdaptor::beginCapture() {
  bool acquiring = manager->deviceIsAcquiring();
  note("beginCapture deviceIsAcquiring=" + answer(acquiring));
  if (acquiring) return false;
  post(run);
  return true;
}

bool FakeAdaptor::endCapture() {
  note("endCapture");
  return true;
}

void FakeAdaptor::post(Command command) {
  {
    std::lock_guard<std::mutex> lock(commandMutex_);
    commands_.push_back(command);
  }
  commandPosted_.notify_all();
}

void FakeAdaptor::threadMain() {
  for (;;) {
    Command command;
    {
      std::unique_lock<std::mutex> lock(commandMutex_);
      commandPosted_.wait(lock, [this] { return !commands_.empty(); });
      command = commands_.front();
      commands_.pop_front();
    }
    if (command == quit) return;
    runOnce();
  }
}

bool FakeAdaptor::takeShot() {
  std::unique_lock<std::mutex> lock(stateMutex);
  stateChanged.wait(lock, [this] { return freeRunning || shotsLeft > 0 || !keepRunning_; });
  if (!keepRunning_) return false;
  if (!freeRunning) --shotsLeft;
  return true;
}

void FakeAdaptor::runOnce() {
  note("run start");
  adaptorWarn("fake:run", "run starts at image %d", images_);
  const std::int32_t width = imageWidth(), height = imageHeight();
  std::vector<std::uint16_t> wide(std::size_t(width) * std::size_t(height));
  std::vector<std::uint8_t> narrow(wide.size());
  while (manager->acquisitionContinues() && keepRunning_) {
    if (!takeShot()) break;
    const int index = images_++;
    if (manager->frameWanted()) {
      // Pixel 0 carries the image's index, the rest a ramp.
      for (std::size_t i = 0; i < wide.size(); ++i) {
        std::size_t value = i == 0 ? std::size_t(index) : i % std::size_t(width) + i / std::size_t(width);
        wide[i] = static_cast<std::uint16_t>(value);
        narrow[i] = static_cast<std::uint8_t>(value);
      }
      IImageFrame *frame = manager->currentEngine()->makeFrame(frameFormat(), width, height);
      frame->putImage(mono8_ ? static_cast<const void *>(narrow.data()) : wide.data(), width, height, 0, 0);
      frame->putTime(getCurrentTime());
      manager->currentEngine()->deliverFrame(frame);
    }
    manager->countFrame();
  }
  note("run end");
}

} // namespace

// ---- The five exports ----

IMAQ_ADAPTOR_EXPORT void initializeAdaptor(void) { note("initializeAdaptor"); }

IMAQ_ADAPTOR_EXPORT void uninitializeAdaptor(void) { note("uninitializeAdaptor"); }

IMAQ_ADAPTOR_EXPORT void getAvailHW(IDeviceCatalog *catalog) {
  int count;
  {
    std::lock_guard<std::mutex> lock(stateMutex);
    count = cameras;
  }
  note("getAvailHW");
  adaptorWarn("fake:info", "%d fake cameras", count);
  for (int i = 0; i < count; ++i) {
    IDeviceEntry *device = catalog->newDevice(i, "fake camera");
    device->appendFormat(device->newFormat(0, "mono8"), false);
    device->appendFormat(device->newFormat(1, "mono16"), true);
    catalog->appendDevice(device);
  }
}

IMAQ_ADAPTOR_EXPORT void getDeviceAttributes(IDeviceEntry *device, const char *formatName,
                                             IPropertyMaker *properties, ISourceList *sources) {
  note("getDeviceAttributes " + std::to_string(device->deviceNumber()) + " " + formatName);
  {
    // The toolbox asks for the attributes of the format it then opens.
    std::lock_guard<std::mutex> lock(stateMutex);
    lastFormat = formatName;
  }
  sources->appendSource("fakeDefault", 1);
  sources->appendSource("fakeOther", 2);
  ImaqPropertyHandle *exposure = properties->newRealProperty("Exposure", 0.0, 50.0, 0.01);
  properties->setReadOnlyMode(exposure, IMAQ_READONLY_WHILE_RUNNING);
  properties->commitProperty(exposure);
  ImaqPropertyHandle *gain = properties->newRealProperty("Gain", 0.0, 10.0, 1.0);
  properties->commitProperty(gain);
  properties->setReadOnlyMode(gain, IMAQ_READONLY_NEVER);
  ImaqPropertyHandle *temperature = properties->newRealProperty("Temperature", -100.0, 40.0, 20.0);
  properties->setReadOnlyMode(temperature, IMAQ_READONLY_ALWAYS);
  properties->commitProperty(temperature);
}

IMAQ_ADAPTOR_EXPORT IAdaptor *createInstance(IEngine *engine, IDeviceEntry *device) {
  note("createInstance");
  bool mono8;
  {
    std::lock_guard<std::mutex> lock(stateMutex);
    mono8 = lastFormat == "mono8";
  }
  // The kit's allocator decides; null means no object, and nothing built.
  return new FakeAdaptor(engine, device, mono8);
}

// ---- Controls ----

namespace fake {

void reset() {
  std::lock_guard<std::mutex> lock(stateMutex);
  cameras = 1;
  shotsLeft = 0;
  freeRunning = false;
  entries.clear();
  constructed = 0;
  destroyed = 0;
}

void setCameras(int count) {
  std::lock_guard<std::mutex> lock(stateMutex);
  cameras = count;
}

void shoot(int count) {
  {
    std::lock_guard<std::mutex> lock(stateMutex);
    shotsLeft += count;
  }
  stateChanged.notify_all();
}

void freeRun(bool on) {
  {
    std::lock_guard<std::mutex> lock(stateMutex);
    freeRunning = on;
  }
  stateChanged.notify_all();
}

std::vector<std::string> log() {
  std::lock_guard<std::mutex> lock(stateMutex);
  return entries;
}

bool waitForLog(const std::string &entry, int occurrences, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(stateMutex);
  return stateChanged.wait_for(
      lock, timeout, [&] { return std::count(entries.begin(), entries.end(), entry) >= occurrences; });
}

int adaptorsConstructed() { return constructed; }
int adaptorsDestroyed() { return destroyed; }
int listenersAlive() { return listeners; }

} // namespace fake
