#include "properties.h"
#include "imaqkit_test_control.h"

#include <cmath>
#include <cstdio>

namespace imaqkit::detail {

namespace {

std::mutex throwMutex;
std::string throwAt; // the operation whose next call throws

void throwIfAsked(const char *operation) {
  std::lock_guard<std::mutex> lock(throwMutex);
  if (throwAt != operation) return;
  throwAt.clear();
  throw Error(std::string(operation) + " failed, as the test asked");
}

std::string show(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

} // namespace

PropertyTable::PropertyTable(KitCallRecord &calls, std::vector<SourceInfo> sources)
    : calls_(calls), sources_(std::move(sources)) {}

PropertyTable::~PropertyTable() {
  for (auto &record : records_)
    for (IPropPostSetListener *listener : record->listeners_) delete listener;
  for (IPropPostSetListener *listener : orphans_) delete listener;
}

void PropertyTable::addNumber(PropertyInfo info, Input input) {
  auto record = std::make_unique<PropertyRecord>(std::move(info), input);
  record->number_ = record->info().defaultValue;
  records_.push_back(std::move(record));
}

void PropertyTable::addText(PropertyInfo info, std::string value) {
  info.storageKind = IMAQ_STORAGE_TEXT;
  auto record = std::make_unique<PropertyRecord>(std::move(info), Input::text);
  record->text_ = std::move(value);
  records_.push_back(std::move(record));
}

void PropertyTable::addSourceName() {
  PropertyInfo info;
  info.name = "SelectedSourceName";
  info.storageKind = IMAQ_STORAGE_INT32; // listeners get the source's id
  auto record = std::make_unique<PropertyRecord>(std::move(info), Input::sourceName);
  record->text_ = sources_.empty() ? std::string() : sources_.front().name;
  records_.push_back(std::move(record));
}

PropertyRecord *PropertyTable::find(const std::string &name) const {
  for (const auto &record : records_)
    if (record->info().name == name) return record.get();
  return nullptr;
}

std::vector<std::string> PropertyTable::names() const {
  std::vector<std::string> names;
  for (const auto &record : records_) names.push_back(record->info().name);
  return names;
}

IPropertyRecord *PropertyTable::propertyRecord(const char *name) {
  calls_.noteName("propertyRecord", name);
  throwIfAsked("propertyRecord");
  return name != nullptr ? find(name) : nullptr;
}

std::int32_t PropertyTable::propertyCount() {
  calls_.note("propertyCount");
  throwIfAsked("propertyCount");
  return static_cast<std::int32_t>(records_.size());
}

void PropertyTable::propertyNames(const char **names) {
  calls_.note("propertyNames");
  throwIfAsked("propertyNames");
  if (names == nullptr) return;
  for (std::size_t i = 0; i < records_.size(); ++i) names[i] = records_[i]->info().name.c_str();
}

void PropertyTable::attachListener(const char *name, IPropPostSetListener *listener) {
  calls_.noteName("attachListener", name);
  throwIfAsked("attachListener");
  if (listener == nullptr) return;
  PropertyRecord *record = name != nullptr ? find(name) : nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  if (record == nullptr) {
    adaptorWarn("imaqkit:properties:unknownProperty",
                "attachListener: no property named \"%s\"; the listener will never be called.",
                name != nullptr ? name : "(null)");
    orphans_.push_back(listener);
    return;
  }
  record->listeners_.push_back(listener);
}

std::vector<IPropPostSetListener *> PropertyTable::assignNumber(PropertyRecord &record, double value) {
  const PropertyInfo &info = record.info();
  if (record.input() != Input::number && record.input() != Input::wholeNumber)
    throw Error("Property \"" + info.name + "\" takes text, not a number.");
  if (std::isnan(value) || value < info.lowerBound || value > info.upperBound)
    throw Error("Property \"" + info.name + "\" must be between " + show(info.lowerBound) + " and " +
                show(info.upperBound) + "; " + show(value) + " was refused.");
  if (record.input() == Input::wholeNumber && std::isfinite(value) && value != std::floor(value))
    throw Error("Property \"" + info.name + "\" must be a whole number; " + show(value) + " was refused.");
  std::lock_guard<std::mutex> lock(mutex_);
  record.number_ = value;
  return record.listeners_;
}

std::vector<IPropPostSetListener *> PropertyTable::assignText(PropertyRecord &record,
                                                              const std::string &text) {
  const PropertyInfo &info = record.info();
  if (record.input() == Input::number || record.input() == Input::wholeNumber)
    throw Error("Property \"" + info.name + "\" takes a number, not text.");
  if (record.input() == Input::sourceName) {
    bool known = false;
    std::string choices;
    for (const SourceInfo &source : sources_) {
      known = known || source.name == text;
      choices += (choices.empty() ? "" : ", ") + source.name;
    }
    if (!known)
      throw Error("Property \"" + info.name + "\": no source named \"" + text + "\" (sources: " + choices +
                  ").");
  }
  std::lock_guard<std::mutex> lock(mutex_);
  record.text_ = text;
  return record.listeners_;
}

double PropertyTable::number(const PropertyRecord &record) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return record.number_;
}

std::string PropertyTable::text(const PropertyRecord &record) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return record.text_;
}

std::int32_t PropertyTable::sourceId(const PropertyRecord &record) const {
  std::string name = text(record);
  for (const SourceInfo &source : sources_)
    if (source.name == name) return source.id;
  return 0;
}

} // namespace imaqkit::detail

namespace imaqkit::test {

void throwFromPropertySet(const char *operation) {
  std::lock_guard<std::mutex> lock(detail::throwMutex);
  detail::throwAt = operation != nullptr ? operation : "";
}

} // namespace imaqkit::test
