// The device catalog an adaptor fills in getAvailHW.
#ifndef IMAQKIT_SRC_CATALOG_H
#define IMAQKIT_SRC_CATALOG_H

#include "imaqkit.h"
#include "imaqkit_engine.h"

#include <memory>
#include <string>
#include <vector>

struct ImaqFormatEntry {
  std::int32_t id;
  std::string name;
};

namespace imaqkit::detail {

class DeviceEntry final : public IDeviceEntry {
public:
  DeviceEntry(std::int32_t id, std::string name) : id_(id), name_(std::move(name)) {}

  ImaqFormatEntry *newFormat(std::int32_t id, const char *name) override;
  void appendFormat(ImaqFormatEntry *format, bool isDefault) override;
  std::int32_t deviceNumber() override { return id_; }

  DeviceInfo info() const;
  /* The appended format of that name, or the default one for "". */
  const ImaqFormatEntry *format(const std::string &name) const;

private:
  std::int32_t id_;
  std::string name_;
  std::vector<std::unique_ptr<ImaqFormatEntry>> made_;
  std::vector<const ImaqFormatEntry *> formats_;
  int default_ = -1;
};

class DeviceCatalog final : public IDeviceCatalog {
public:
  IDeviceEntry *newDevice(std::int32_t id, const char *name) override;
  void appendDevice(IDeviceEntry *entry) override;

  std::vector<DeviceInfo> devices() const;
  /* The appended device of that id, or null. */
  DeviceEntry *find(std::int32_t id) const;

private:
  std::vector<std::unique_ptr<DeviceEntry>> made_;
  std::vector<DeviceEntry *> devices_;
};

} // namespace imaqkit::detail

#endif
