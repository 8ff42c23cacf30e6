#include "attributes.h"

#include <algorithm>
#include <cstring>

namespace imaqkit::detail {

bool parseReadOnly(const char *word, ReadOnly *mode) {
  if (word == nullptr) return false;
  if (std::strcmp(word, IMAQ_READONLY_NEVER) == 0 || std::strcmp(word, "notReadOnly") == 0)
    *mode = ReadOnly::never;
  else if (std::strcmp(word, IMAQ_READONLY_WHILE_RUNNING) == 0)
    *mode = ReadOnly::whileRunning;
  else if (std::strcmp(word, IMAQ_READONLY_ALWAYS) == 0)
    *mode = ReadOnly::always;
  else
    return false;
  return true;
}

void SourceList::appendSource(const char *name, std::int32_t id) {
  if (name == nullptr || *name == '\0') {
    adaptorWarn("imaqkit:attributes:badSource", "appendSource was given no name; source %d ignored.",
                static_cast<int>(id));
    return;
  }
  for (const SourceInfo &source : sources_)
    if (source.name == name) {
      adaptorWarn("imaqkit:attributes:duplicateSource", "Source \"%s\" was appended twice; the first stays.",
                  name);
      return;
    }
  sources_.push_back(SourceInfo{name, id});
}

ImaqPropertyHandle *PropertyMaker::newRealProperty(const char *name, double lowerBound, double upperBound,
                                                   double defaultValue) {
  auto property = std::make_unique<ImaqPropertyHandle>();
  property->info.name = name != nullptr ? name : "";
  calls_.push_back("newRealProperty(" + property->info.name + ")");
  property->info.storageKind = IMAQ_STORAGE_DOUBLE;
  property->info.deviceProperty = true;
  property->info.lowerBound = lowerBound;
  property->info.upperBound = upperBound;
  property->info.defaultValue = defaultValue;
  if (!(lowerBound <= defaultValue && defaultValue <= upperBound))
    adaptorWarn("imaqkit:attributes:badRange", "Property \"%s\": default %g lies outside its range %g to %g.",
                property->info.name.c_str(), defaultValue, lowerBound, upperBound);
  made_.push_back(std::move(property));
  return made_.back().get();
}

bool PropertyMaker::ours(const ImaqPropertyHandle *property) const {
  return std::any_of(made_.begin(), made_.end(),
                     [property](const auto &made) { return made.get() == property; });
}

void PropertyMaker::commitProperty(ImaqPropertyHandle *property) {
  calls_.push_back("commitProperty(" + (ours(property) ? property->info.name : std::string("?")) + ")");
  if (!ours(property) || property->committed || property->info.name.empty()) {
    adaptorWarn("imaqkit:attributes:badCommit",
                "commitProperty was given a property that is not a new, named one of this maker.");
    return;
  }
  for (const ImaqPropertyHandle *committed : committed_)
    if (committed->info.name == property->info.name) {
      adaptorWarn("imaqkit:attributes:duplicateProperty",
                  "Property \"%s\" was committed twice; the first stays.", property->info.name.c_str());
      return;
    }
  property->committed = true;
  committed_.push_back(property);
}

void PropertyMaker::setReadOnlyMode(ImaqPropertyHandle *property, const char *mode) {
  calls_.push_back("setReadOnlyMode(" + (ours(property) ? property->info.name : std::string("?")) + ", " +
                   (mode != nullptr ? mode : "(null)") + ")");
  if (!ours(property)) {
    adaptorWarn("imaqkit:attributes:badProperty",
                "setReadOnlyMode was given a property this maker did not make.");
    return;
  }
  if (!parseReadOnly(mode, &property->info.readOnly))
    adaptorWarn("imaqkit:attributes:badReadOnlyMode",
                "Property \"%s\": unknown read-only mode \"%s\"; the mode is unchanged.",
                property->info.name.c_str(), mode != nullptr ? mode : "(null)");
}

std::vector<PropertyInfo> PropertyMaker::properties() const {
  std::vector<PropertyInfo> properties;
  for (const ImaqPropertyHandle *property : committed_) properties.push_back(property->info);
  return properties;
}

} // namespace imaqkit::detail
