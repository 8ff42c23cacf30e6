#include "listing.h"

#include "camera_handle.h"

#include <optional>

namespace acquire {
namespace {

const char *readOnlyText(imaqkit::ReadOnly mode) {
  switch (mode) {
  case imaqkit::ReadOnly::whileRunning:
    return "read-only while running";
  case imaqkit::ReadOnly::always:
    return "read-only";
  default:
    return "settable";
  }
}

const char *kindText(std::int32_t kind) {
  switch (kind) {
  case IMAQ_STORAGE_TEXT:
    return "text";
  case IMAQ_STORAGE_DOUBLE:
    return "double";
  case IMAQ_STORAGE_ENUM:
    return "enumeration";
  case IMAQ_STORAGE_INT32:
    return "integer";
  case IMAQ_STORAGE_DOUBLE_ARRAY:
    return "double array";
  default:
    return "unknown kind";
  }
}

} // namespace

void printDevices(imaqkit::AdaptorLibrary &library, std::FILE *out) {
  const std::vector<imaqkit::DeviceInfo> devices = library.enumerate();
  std::fprintf(out, "Adaptor: %s\n", library.file().c_str());
  std::fprintf(out, "Devices: %u\n", static_cast<unsigned>(devices.size()));
  for (const imaqkit::DeviceInfo &device : devices) {
    // corvid numbers its devices by the driver's camera index.
    const std::optional<std::int32_t> handle = cameraHandle(device.id);
    std::fprintf(out, "\nDevice %d: %s\n", static_cast<int>(device.id), device.name.c_str());
    if (handle)
      std::fprintf(out, "  Camera: index %d, driver handle %d\n", static_cast<int>(device.id),
                   static_cast<int>(*handle));
    else
      std::fprintf(out, "  Camera: index %d, driver handle unknown\n", static_cast<int>(device.id));
    std::fprintf(out, "  Formats:");
    for (std::size_t i = 0; i < device.formats.size(); ++i)
      std::fprintf(out, "%s %s%s", i == 0 ? "" : ",", device.formats[i].name.c_str(),
                   int(i) == device.defaultFormat ? " (default)" : "");
    std::fprintf(out, "\n");
    const imaqkit::DeviceAttributes attributes = library.attributes(device.id);
    std::fprintf(out, "  Sources:");
    for (std::size_t i = 0; i < attributes.sources.size(); ++i)
      std::fprintf(out, "%s %s (id %d)", i == 0 ? "" : ",", attributes.sources[i].name.c_str(),
                   static_cast<int>(attributes.sources[i].id));
    std::fprintf(out, "\n  Properties:\n");
    for (const imaqkit::PropertyInfo &property : attributes.properties) {
      std::fprintf(out, "    %s: %s", property.name.c_str(), kindText(property.storageKind));
      if (property.storageKind == IMAQ_STORAGE_DOUBLE || property.storageKind == IMAQ_STORAGE_INT32)
        std::fprintf(out, ", %g to %g, default %g", property.lowerBound, property.upperBound,
                     property.defaultValue);
      std::fprintf(out, ", %s\n", readOnlyText(property.readOnly));
    }
  }
}

} // namespace acquire
