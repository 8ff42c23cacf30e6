// VideoInput: one device object, as a MATLAB user drives it.
#include "video_input_impl.h"

#include <cmath>

namespace imaqkit {

using detail::PropertyRecord;

VideoInput::Impl::~Impl() {
  if (adaptor == nullptr) return;
  try {
    deviceObject->close(adaptor);
  } catch (...) {
    // Teardown goes on: the object must still be destroyed.
  }
  delete adaptor;
}

VideoInput::VideoInput(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
VideoInput::~VideoInput() = default;

std::int32_t VideoInput::deviceId() const { return impl_->deviceId; }
const std::string &VideoInput::formatName() const { return impl_->format; }
const std::vector<SourceInfo> &VideoInput::sources() const {
  return impl_->deviceObject->properties().sources();
}

// ---- Properties ----

namespace {

PropertyRecord &findRecord(detail::PropertyTable &table, const std::string &name) {
  PropertyRecord *record = table.find(name);
  if (record == nullptr) throw Error("No property named \"" + name + "\".");
  return *record;
}

void checkWritable(const PropertyRecord &record, const detail::DeviceObject &deviceObject) {
  const PropertyInfo &info = record.info();
  if (info.readOnly == ReadOnly::always) throw Error("Property \"" + info.name + "\" is read-only.");
  if (info.readOnly == ReadOnly::whileRunning && deviceObject.isRunning())
    throw Error("Property \"" + info.name +
                "\" cannot be set while the acquisition is running; stop it first.");
}

// A double as the toolbox's integer storage holds it: out-of-range and
// non-finite values saturate rather than overflow the conversion.
std::int32_t saturatedInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return -2147483647 - 1;
  return static_cast<std::int32_t>(value);
}

// The new value as its storage kind says, for the listeners.
void notify(detail::PropertyTable &table, PropertyRecord &record,
            const std::vector<IPropPostSetListener *> &listeners) {
  double real = table.number(record);
  std::int32_t integer =
      record.input() == detail::Input::sourceName ? table.sourceId(record) : saturatedInt32(real);
  std::string text = table.text(record);
  const void *value = nullptr;
  switch (record.info().storageKind) {
  case IMAQ_STORAGE_DOUBLE:
    value = &real;
    break;
  case IMAQ_STORAGE_INT32:
    value = &integer;
    break;
  default:
    value = text.c_str();
    break;
  }
  for (IPropPostSetListener *listener : listeners) listener->propertyWasSet(&record, value);
}

} // namespace

std::vector<std::string> VideoInput::propertyNames() const {
  return impl_->deviceObject->properties().names();
}

PropertyInfo VideoInput::propertyInfo(const std::string &name) const {
  return findRecord(impl_->deviceObject->properties(), name).info();
}

void VideoInput::set(const std::string &name, double value) {
  detail::PropertyTable &table = impl_->deviceObject->properties();
  PropertyRecord &record = findRecord(table, name);
  checkWritable(record, *impl_->deviceObject);
  notify(table, record, table.assignNumber(record, value));
}

void VideoInput::set(const std::string &name, const std::string &text) {
  detail::PropertyTable &table = impl_->deviceObject->properties();
  PropertyRecord &record = findRecord(table, name);
  checkWritable(record, *impl_->deviceObject);
  notify(table, record, table.assignText(record, text));
}

double VideoInput::number(const std::string &name) const {
  detail::PropertyTable &table = impl_->deviceObject->properties();
  PropertyRecord &record = findRecord(table, name);
  if (record.input() != detail::Input::number && record.input() != detail::Input::wholeNumber)
    throw Error("Property \"" + name + "\" holds text, not a number.");
  return table.number(record);
}

std::string VideoInput::text(const std::string &name) const {
  detail::PropertyTable &table = impl_->deviceObject->properties();
  PropertyRecord &record = findRecord(table, name);
  if (record.input() != detail::Input::text && record.input() != detail::Input::sourceName)
    throw Error("Property \"" + name + "\" holds a number, not text.");
  return table.text(record);
}

// ---- The adaptor's answers ----

std::int32_t VideoInput::imageWidth() const { return impl_->adaptor->imageWidth(); }
std::int32_t VideoInput::imageHeight() const { return impl_->adaptor->imageHeight(); }
std::int32_t VideoInput::frameFormat() const { return impl_->adaptor->frameFormat(); }
std::int32_t VideoInput::bandCount() const { return impl_->adaptor->bandCount(); }
std::string VideoInput::driverText() const {
  const char *text = impl_->adaptor->driverText();
  return text != nullptr ? text : "";
}
std::string VideoInput::versionText() const {
  const char *text = impl_->adaptor->versionText();
  return text != nullptr ? text : "";
}

// ---- Device and acquisition ----

void VideoInput::open() { impl_->deviceObject->open(impl_->adaptor); }
void VideoInput::close() { impl_->deviceObject->close(impl_->adaptor); }
bool VideoInput::isOpen() const { return impl_->deviceObject->isOpen(); }

void VideoInput::start() {
  open();
  impl_->deviceObject->start(impl_->adaptor);
}

void VideoInput::stop() { impl_->deviceObject->stop(impl_->adaptor); }
bool VideoInput::isRunning() const { return impl_->deviceObject->isRunning(); }

bool VideoInput::waitForFrames(std::size_t count, std::chrono::milliseconds timeout) {
  return impl_->deviceObject->waitForFrames(count, timeout);
}

bool VideoInput::waitUntilStopped(std::chrono::milliseconds timeout) {
  return impl_->deviceObject->waitUntilStopped(timeout);
}

std::size_t VideoInput::framesAvailable() const { return impl_->deviceObject->framesAvailable(); }
std::vector<Frame> VideoInput::getFrames(std::size_t count) { return impl_->deviceObject->getFrames(count); }
AcquisitionStats VideoInput::stats() const { return impl_->deviceObject->stats(); }

// ---- For tests ----

IAdaptor *VideoInput::adaptor() const { return impl_->adaptor; }
IEngine *VideoInput::engine() const { return impl_->deviceObject.get(); }
void VideoInput::recordCalls(bool on) { impl_->deviceObject->calls().enable(on); }
std::vector<std::string> VideoInput::calls() const { return impl_->deviceObject->calls().entries(); }
void VideoInput::clearCalls() { impl_->deviceObject->calls().clear(); }
bool VideoInput::waitForCall(const std::string &entry, std::size_t occurrences,
                             std::chrono::milliseconds timeout) {
  return impl_->deviceObject->calls().waitFor(entry, occurrences, timeout);
}
void VideoInput::setCallObserver(std::function<void(const std::string &)> observer) {
  impl_->deviceObject->calls().setObserver(std::move(observer));
}
void VideoInput::answerFrameWanted(std::optional<bool> answer) {
  impl_->deviceObject->answerFrameWanted(answer);
}
void VideoInput::answerAcquisitionContinues(std::optional<bool> answer) {
  impl_->deviceObject->answerAcquisitionContinues(answer);
}

} // namespace imaqkit
