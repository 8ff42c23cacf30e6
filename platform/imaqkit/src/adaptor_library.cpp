// AdaptorLibrary: the toolbox's view of one adaptor library, as MATLAB's
// imaqhwinfo and videoinput use it.
#include "attributes.h"
#include "catalog.h"
#include "imaqkit_engine.h"
#include "module.h"
#include "video_input_impl.h"

#include <exception>

namespace imaqkit {

using detail::AdaptorModule;
using detail::DeviceCatalog;
using detail::DeviceEntry;

struct AdaptorLibrary::Impl {
  std::string file;
  std::shared_ptr<AdaptorModule> module;
  std::shared_ptr<DeviceCatalog> catalog; // of the last enumeration

  void enumerateOnce() {
    if (!catalog) enumerate();
  }

  void enumerate() {
    auto fresh = std::make_shared<DeviceCatalog>();
    try {
      module->getAvailHW(fresh.get());
    } catch (const std::exception &error) {
      throw Error("getAvailHW of adaptor \"" + module->name() + "\" failed: " + error.what());
    }
    catalog = std::move(fresh);
  }

  DeviceEntry &device(std::int32_t id) {
    enumerateOnce();
    DeviceEntry *entry = catalog->find(id);
    if (entry == nullptr)
      throw Error("Adaptor \"" + module->name() + "\" has no device with id " + std::to_string(id) + " (" +
                  std::to_string(catalog->devices().size()) + " device(s) found).");
    return *entry;
  }

  const ImaqFormatEntry &format(DeviceEntry &entry, const std::string &name) {
    const ImaqFormatEntry *format = entry.format(name);
    if (format == nullptr)
      throw Error(name.empty() ? "Device " + std::to_string(entry.deviceNumber()) + " has no format."
                               : "Device " + std::to_string(entry.deviceNumber()) + " has no format \"" +
                                     name + "\".");
    return *format;
  }

  void attributes(DeviceEntry &entry, const ImaqFormatEntry &format, detail::PropertyMaker &maker,
                  detail::SourceList &sources) {
    try {
      module->getDeviceAttributes(&entry, format.name.c_str(), &maker, &sources);
    } catch (const std::exception &error) {
      throw Error("getDeviceAttributes of adaptor \"" + module->name() + "\" failed: " + error.what());
    }
  }
};

AdaptorLibrary::AdaptorLibrary(const std::string &file) : impl_(std::make_shared<Impl>()) {
  impl_->file = file;
  impl_->module = std::make_shared<AdaptorModule>(file);
}

AdaptorLibrary::~AdaptorLibrary() = default;

const std::string &AdaptorLibrary::file() const { return impl_->file; }

std::vector<DeviceInfo> AdaptorLibrary::enumerate() {
  impl_->enumerate();
  return impl_->catalog->devices();
}

DeviceAttributes AdaptorLibrary::attributes(std::int32_t deviceId, const std::string &formatName) {
  DeviceEntry &entry = impl_->device(deviceId);
  const ImaqFormatEntry &format = impl_->format(entry, formatName);
  detail::PropertyMaker maker;
  detail::SourceList sources;
  impl_->attributes(entry, format, maker, sources);
  return DeviceAttributes{sources.sources(), maker.properties(), maker.calls()};
}

std::unique_ptr<VideoInput> AdaptorLibrary::createVideoInput(std::int32_t deviceId,
                                                             const std::string &formatName) {
  DeviceEntry &entry = impl_->device(deviceId);
  const ImaqFormatEntry &format = impl_->format(entry, formatName);
  detail::PropertyMaker maker;
  detail::SourceList sources;
  impl_->attributes(entry, format, maker, sources);
  if (sources.sources().empty())
    throw Error("Device " + std::to_string(deviceId) + " reports no video source.");

  auto input = std::make_unique<VideoInput::Impl>();
  input->module = impl_->module;
  input->catalog = impl_->catalog;
  input->deviceId = deviceId;
  input->format = format.name;
  input->deviceObject = std::make_shared<detail::DeviceObject>(
      format.name + "-" + impl_->module->name() + "-" + std::to_string(deviceId), sources.sources());
  detail::PropertyTable &table = input->deviceObject->properties();
  for (const PropertyInfo &property : maker.properties()) {
    if (table.find(property.name) != nullptr) {
      adaptorWarn("imaqkit:attributes:reservedName",
                  "Device property \"%s\" has the name of a toolbox property and is left out.",
                  property.name.c_str());
      continue;
    }
    table.addNumber(property, detail::Input::number);
  }

  const std::string failed = "The adaptor could not create the object of device " + std::to_string(deviceId);
  try {
    input->adaptor = impl_->module->createInstance(input->deviceObject.get(), &entry);
  } catch (const std::exception &error) {
    throw Error(failed + ": " + error.what());
  }
  if (input->adaptor == nullptr) throw Error(failed + ".");
  if (input->deviceObject->managers() != 1)
    adaptorWarn("imaqkit:engine:noManager",
                "The adaptor object of device %d did not make exactly one adaptor manager.",
                static_cast<int>(deviceId));
  return std::unique_ptr<VideoInput>(new VideoInput(std::move(input)));
}

} // namespace imaqkit
