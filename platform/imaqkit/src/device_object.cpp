#include "device_object.h"

#include "frame_memory.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace imaqkit::detail {

namespace {

PropertyInfo toolboxProperty(const char *name, std::int32_t kind, ReadOnly readOnly, double lower,
                             double upper, double value) {
  PropertyInfo info;
  info.name = name;
  info.storageKind = kind;
  info.readOnly = readOnly;
  info.lowerBound = lower;
  info.upperBound = upper;
  info.defaultValue = value;
  return info;
}

} // namespace

DeviceObject::DeviceObject(const std::string &name, std::vector<SourceInfo> sources)
    : properties_(calls_, std::move(sources)) {
  properties_.addText(toolboxProperty("Name", IMAQ_STORAGE_TEXT, ReadOnly::never, 0, 0, 0), name);
  properties_.addSourceName();
  properties_.addNumber(toolboxProperty("FramesPerTrigger", IMAQ_STORAGE_DOUBLE, ReadOnly::whileRunning, 1,
                                        std::numeric_limits<double>::infinity(), 10),
                        Input::wholeNumber);
  properties_.addNumber(toolboxProperty("FrameGrabInterval", IMAQ_STORAGE_INT32, ReadOnly::whileRunning, 1,
                                        std::numeric_limits<std::int32_t>::max(), 1),
                        Input::wholeNumber);
}

DeviceObject::~DeviceObject() { flushBuffer(); }

// mutex_ held, or the object unshared.
void DeviceObject::flushBuffer() {
  std::size_t bytes = 0;
  for (const Frame &frame : buffer_) bytes += frame.bytes.size();
  releaseFrameMemory(bytes, buffer_.size());
  buffer_.clear();
}

// ---- IEngine ----

IImageFrame *DeviceObject::makeFrame(std::int32_t frameFormat, std::int32_t width, std::int32_t height) {
  calls_.note("makeFrame");
  std::unique_ptr<ImageFrame> frame = ImageFrame::make(calls_, frameFormat, width, height);
  if (!frame) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  outstanding_.push_back(std::move(frame));
  return outstanding_.back().get();
}

void DeviceObject::deliverFrame(IImageFrame *frame) {
  calls_.note("deliverFrame");
  std::unique_lock<std::mutex> lock(mutex_);
  auto made = std::find_if(outstanding_.begin(), outstanding_.end(),
                           [frame](const auto &own) { return own.get() == frame; });
  if (made == outstanding_.end()) {
    lock.unlock();
    adaptorWarn("imaqkit:engine:unknownFrame",
                "deliverFrame was given a frame this engine did not make, or one already delivered.");
    return;
  }
  std::unique_ptr<ImageFrame> own = std::move(*made);
  outstanding_.erase(made);
  if (!armed_) {
    ++stats_.framesDiscarded;
    return;
  }
  const std::uint64_t number = stats_.framesDelivered + stats_.framesOverMemoryLimit;
  if (!holdFrameMemory(own->size())) {
    ++stats_.framesOverMemoryLimit;
    return;
  }
  Frame delivered = own->take();
  delivered.number = number;
  ++stats_.framesDelivered;
  buffer_.push_back(std::move(delivered));
  if (static_cast<double>(stats_.framesDelivered) >= target_) {
    armed_ = false;
    acquiring_ = false;
  }
  lock.unlock();
  changed_.notify_all();
}

IPropertySet *DeviceObject::propertySet() {
  calls_.note("propertySet");
  return &properties_;
}

// ---- The manager's side ----

void DeviceObject::managerMade() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++managers_;
}

void DeviceObject::managerGone() {
  std::lock_guard<std::mutex> lock(mutex_);
  --managers_;
}

int DeviceObject::managers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return managers_;
}

bool DeviceObject::deviceIsOpen() {
  bool answer = isOpen();
  calls_.noteAnswer("deviceIsOpen", answer);
  return answer;
}

bool DeviceObject::deviceIsAcquiring() {
  bool answer = isRunning();
  calls_.noteAnswer("deviceIsAcquiring", answer);
  return answer;
}

IEngine *DeviceObject::currentEngine() {
  calls_.note("currentEngine");
  return this;
}

double DeviceObject::framesPerTrigger() {
  calls_.note("framesPerTrigger");
  return properties_.number(*properties_.find("FramesPerTrigger"));
}

std::int32_t DeviceObject::frameGrabInterval() {
  calls_.note("frameGrabInterval");
  return static_cast<std::int32_t>(properties_.number(*properties_.find("FrameGrabInterval")));
}

std::int32_t DeviceObject::framesAcquired() {
  calls_.note("framesAcquired");
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<std::int32_t>(
      std::min<std::uint64_t>(stats_.framesDelivered, std::numeric_limits<std::int32_t>::max()));
}

void DeviceObject::countFrame() {
  calls_.note("countFrame");
  std::lock_guard<std::mutex> lock(mutex_);
  ++stats_.imagesCounted;
}

bool DeviceObject::frameWanted() {
  bool answer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    answer = wantedAnswer_.value_or(armed_ && stats_.imagesCounted % std::uint64_t(interval_) == 0 &&
                                    static_cast<double>(stats_.framesDelivered) < target_);
    if (answer) ++stats_.framesWanted;
  }
  calls_.noteAnswer("frameWanted", answer);
  return answer;
}

bool DeviceObject::acquisitionContinues() {
  bool answer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (continuesAnswer_) {
      answer = *continuesAnswer_;
    } else if (haltPending_) {
      haltPending_ = false;
      answer = false;
    } else {
      answer = armed_;
    }
    runUnderway_ = answer;
  }
  calls_.noteAnswer("acquisitionContinues", answer);
  return answer;
}

void DeviceObject::halt(IAdaptor *adaptor) {
  calls_.note("haltAcquisition");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!acquiring_) return;
    acquiring_ = false;
    armed_ = false;
    haltPending_ = runUnderway_;
    halted_ = true;
  }
  changed_.notify_all();
  adaptor->endCapture();
}

void DeviceObject::resume(IAdaptor *adaptor) {
  calls_.note("resumeAcquisition");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!halted_ || acquiring_ || !open_) return;
    halted_ = false;
    armed_ = static_cast<double>(stats_.framesDelivered) < target_;
    if (!armed_) {
      changed_.notify_all();
      return;
    }
  }
  bool started = adaptor->beginCapture();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (started)
      acquiring_ = armed_;
    else
      armed_ = false;
  }
  changed_.notify_all();
  if (!started) adaptorWarn("imaqkit:engine:resumeRefused", "The adaptor refused to resume the acquisition.");
}

// ---- The toolbox's side ----

void DeviceObject::open(IAdaptor *adaptor) {
  if (isOpen()) return;
  if (!adaptor->openCamera()) throw Error("The adaptor could not open the device.");
  std::lock_guard<std::mutex> lock(mutex_);
  open_ = true;
}

void DeviceObject::close(IAdaptor *adaptor) {
  stop(adaptor);
  if (!isOpen()) return;
  adaptor->closeCamera();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
    // The thread that would have seen these is gone with the device.
    haltPending_ = false;
    halted_ = false;
    runUnderway_ = false;
  }
  changed_.notify_all();
}

void DeviceObject::start(IAdaptor *adaptor) {
  const double target = properties_.number(*properties_.find("FramesPerTrigger"));
  const double interval = properties_.number(*properties_.find("FrameGrabInterval"));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) throw Error("The device is not open.");
    if (busy()) throw Error("The acquisition is already running; stop it first.");
    stats_ = AcquisitionStats();
    flushBuffer();
    target_ = target;
    interval_ = static_cast<std::int32_t>(interval);
    armed_ = true;
  }
  bool started = adaptor->beginCapture();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (started)
      acquiring_ = armed_; // all frames may be in already
    else
      armed_ = false;
  }
  changed_.notify_all();
  if (!started) throw Error("The adaptor refused to start the acquisition.");
}

void DeviceObject::stop(IAdaptor *adaptor) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!busy()) return;
    bool running = acquiring_ || armed_;
    acquiring_ = false;
    armed_ = false;
    halted_ = false;
    if (!running) { // halted: its run has been told already
      changed_.notify_all();
      return;
    }
    haltPending_ = runUnderway_;
  }
  changed_.notify_all();
  adaptor->endCapture();
}

bool DeviceObject::isOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

bool DeviceObject::isRunning() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return acquiring_;
}

bool DeviceObject::waitForFrames(std::size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, timeout, [&] { return buffer_.size() >= count || !busy(); });
  return buffer_.size() >= count;
}

bool DeviceObject::waitUntilStopped(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return !busy(); });
}

std::size_t DeviceObject::framesAvailable() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return buffer_.size();
}

std::vector<Frame> DeviceObject::getFrames(std::size_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Frame> frames;
  std::size_t bytes = 0;
  while (!buffer_.empty() && frames.size() < count) {
    bytes += buffer_.front().bytes.size();
    frames.push_back(std::move(buffer_.front()));
    buffer_.pop_front();
  }
  releaseFrameMemory(bytes, frames.size());
  return frames;
}

AcquisitionStats DeviceObject::stats() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stats_;
}

void DeviceObject::answerFrameWanted(std::optional<bool> answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  wantedAnswer_ = answer;
}

void DeviceObject::answerAcquisitionContinues(std::optional<bool> answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  continuesAnswer_ = answer;
}

} // namespace imaqkit::detail
