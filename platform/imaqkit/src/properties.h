// The property set of one device object: the toolbox's own properties and
// the adaptor's device properties, their values and their listeners.
#ifndef IMAQKIT_SRC_PROPERTIES_H
#define IMAQKIT_SRC_PROPERTIES_H

#include "kit_call_record.h"
#include "imaqkit.h"
#include "imaqkit_engine.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace imaqkit::detail {

/* How the user gives a property its value. */
enum class Input { number, wholeNumber, text, sourceName };

class PropertyRecord final : public IPropertyRecord {
public:
  PropertyRecord(PropertyInfo info, Input input) : info_(std::move(info)), input_(input) {}

  const char *propertyName() override { return info_.name.c_str(); }
  std::int32_t storageKind() override { return info_.storageKind; }
  bool isDeviceProperty() override { return info_.deviceProperty; }

  const PropertyInfo &info() const { return info_; }
  Input input() const { return input_; }

private:
  friend class PropertyTable;
  const PropertyInfo info_;
  const Input input_;
  // Guarded by the table's mutex.
  double number_ = 0;
  std::string text_;
  std::vector<IPropPostSetListener *> listeners_;
};

class PropertyTable final : public IPropertySet {
public:
  PropertyTable(KitCallRecord &calls, std::vector<SourceInfo> sources);
  /* Disposes of every listener it was given. */
  ~PropertyTable();
  PropertyTable(const PropertyTable &) = delete;
  PropertyTable &operator=(const PropertyTable &) = delete;

  void addNumber(PropertyInfo info, Input input);
  void addText(PropertyInfo info, std::string value);
  void addSourceName(); /* SelectedSourceName, set to the first source */

  IPropertyRecord *propertyRecord(const char *name) override;
  std::int32_t propertyCount() override;
  void propertyNames(const char **names) override;
  void attachListener(const char *name, IPropPostSetListener *listener) override;

  PropertyRecord *find(const std::string &name) const;
  std::vector<std::string> names() const;
  const std::vector<SourceInfo> &sources() const { return sources_; }

  /* Checks and stores a value (Error and nothing changed when refused),
   * answering the listeners to tell. readOnly checks are the caller's. */
  std::vector<IPropPostSetListener *> assignNumber(PropertyRecord &record, double value);
  std::vector<IPropPostSetListener *> assignText(PropertyRecord &record, const std::string &text);
  double number(const PropertyRecord &record) const;
  std::string text(const PropertyRecord &record) const;
  /* The id of the selected source. */
  std::int32_t sourceId(const PropertyRecord &record) const;

private:
  KitCallRecord &calls_;
  const std::vector<SourceInfo> sources_;
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<PropertyRecord>> records_;
  std::vector<IPropPostSetListener *> orphans_; // attached to no property
};

} // namespace imaqkit::detail

#endif
