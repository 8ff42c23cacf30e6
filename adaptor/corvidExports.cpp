/* The five functions by which the toolbox knows the adaptor, and the
 * library's load routine. Every Andor camera the driver counts is reported
 * under the same fixed names. */
#include "corvidAdaptor.h"

#include <windows.h>

namespace {

const char *const driverDirectory = "C:\\Program Files\\Andor SOLIS\\Drivers";

} // namespace

IMAQ_ADAPTOR_EXPORT void initializeAdaptor(void) {}

IMAQ_ADAPTOR_EXPORT void uninitializeAdaptor(void) {
  adaptorWarn("corvidPropListener:Info", "Shutting Down corvid");
  shutDownDriver();
}

IMAQ_ADAPTOR_EXPORT void getAvailHW(IDeviceCatalog *catalog) {
  adaptorWarn("corvidPropListener:debug", "Initializing corvid");
  initializeDriver(driverDirectory);
  // A driver that fails without writing the count reports no camera.
  std::int32_t count = 0;
  getCameraCount(&count);
  adaptorWarn("corvidPropListener:debug", "%d Andor Cameras Found", static_cast<int>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    IDeviceEntry *entry = catalog->newDevice(i, "testing");
    ImaqFormatEntry *format = entry->newFormat(0, "testing");
    entry->appendFormat(format, true);
    catalog->appendDevice(entry);
  }
}

IMAQ_ADAPTOR_EXPORT void getDeviceAttributes(IDeviceEntry *, const char *, IPropertyMaker *maker,
                                             ISourceList *sources) {
  sources->appendSource("corvidDefault", 1);
  ImaqPropertyHandle *exposure = maker->newRealProperty("Exposure", 0.0, 50.0, 0.01);
  // The acquisition thread reads the exposure only when a run starts.
  maker->setReadOnlyMode(exposure, IMAQ_READONLY_WHILE_RUNNING);
  maker->commitProperty(exposure);
}

IMAQ_ADAPTOR_EXPORT IAdaptor *createInstance(IEngine *engine, IDeviceEntry *device) {
  void *block = imaqmalloc(sizeof(corvidAdaptor));
  if (block == nullptr) return nullptr;
  try {
    return new (block) corvidAdaptor(engine, device);
  } catch (...) {
    imaqfree(block);
    throw;
  }
}

#if defined(_WIN32)
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
  return TRUE;
}
#endif
