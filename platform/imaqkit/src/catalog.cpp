#include "catalog.h"

#include <algorithm>

namespace imaqkit::detail {

ImaqFormatEntry *DeviceEntry::newFormat(std::int32_t id, const char *name) {
  made_.push_back(std::make_unique<ImaqFormatEntry>(ImaqFormatEntry{id, name != nullptr ? name : ""}));
  return made_.back().get();
}

void DeviceEntry::appendFormat(ImaqFormatEntry *format, bool isDefault) {
  bool ours =
      std::any_of(made_.begin(), made_.end(), [format](const auto &made) { return made.get() == format; });
  if (!ours || std::find(formats_.begin(), formats_.end(), format) != formats_.end()) {
    adaptorWarn("imaqkit:catalog:badFormat",
                "Device %d: appendFormat was given a format that is not a new one of this device.",
                static_cast<int>(id_));
    return;
  }
  formats_.push_back(format);
  if (isDefault) default_ = static_cast<int>(formats_.size()) - 1;
}

DeviceInfo DeviceEntry::info() const {
  DeviceInfo info;
  info.id = id_;
  info.name = name_;
  for (const ImaqFormatEntry *format : formats_) info.formats.push_back(FormatInfo{format->id, format->name});
  info.defaultFormat = default_;
  return info;
}

const ImaqFormatEntry *DeviceEntry::format(const std::string &name) const {
  if (name.empty())
    return default_ >= 0 ? formats_[static_cast<std::size_t>(default_)]
                         : (formats_.empty() ? nullptr : formats_.front());
  for (const ImaqFormatEntry *format : formats_)
    if (format->name == name) return format;
  return nullptr;
}

IDeviceEntry *DeviceCatalog::newDevice(std::int32_t id, const char *name) {
  made_.push_back(std::make_unique<DeviceEntry>(id, name != nullptr ? name : ""));
  return made_.back().get();
}

void DeviceCatalog::appendDevice(IDeviceEntry *entry) {
  auto made =
      std::find_if(made_.begin(), made_.end(), [entry](const auto &own) { return own.get() == entry; });
  if (made == made_.end()) {
    adaptorWarn("imaqkit:catalog:badDevice", "appendDevice was given an entry the catalog did not make.");
    return;
  }
  DeviceEntry *device = made->get();
  if (find(device->deviceNumber()) != nullptr) {
    adaptorWarn("imaqkit:catalog:duplicateDevice", "Device id %d was appended twice; the first stays.",
                static_cast<int>(device->deviceNumber()));
    return;
  }
  devices_.push_back(device);
}

std::vector<DeviceInfo> DeviceCatalog::devices() const {
  std::vector<DeviceInfo> devices;
  for (const DeviceEntry *device : devices_) devices.push_back(device->info());
  return devices;
}

DeviceEntry *DeviceCatalog::find(std::int32_t id) const {
  for (DeviceEntry *device : devices_)
    if (device->deviceNumber() == id) return device;
  return nullptr;
}

} // namespace imaqkit::detail
