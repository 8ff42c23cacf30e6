#include "module.h"

#include "imaqkit_engine.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace imaqkit::detail {

namespace {

std::string adaptorName(const std::string &file) {
  std::string name = file.substr(file.find_last_of("/\\") + 1);
  name = name.substr(0, name.find('.'));
  if (name.compare(0, 3, "lib") == 0 && name.size() > 3) name = name.substr(3);
  return name;
}

#if defined(_WIN32)
void *openLibrary(const std::string &file, std::string *why) {
  HMODULE module = LoadLibraryA(file.c_str());
  if (module == nullptr) *why = "Windows error " + std::to_string(GetLastError());
  return reinterpret_cast<void *>(module);
}
void closeLibrary(void *handle) { FreeLibrary(reinterpret_cast<HMODULE>(handle)); }
template <typename Function> void findExport(void *handle, const char *name, Function *into) {
  FARPROC address = GetProcAddress(reinterpret_cast<HMODULE>(handle), name);
  // Through void(*)(void), the one function type GCC lets any other become.
  *into = reinterpret_cast<Function>(reinterpret_cast<void (*)(void)>(address));
}
#else
void *openLibrary(const std::string &file, std::string *why) {
  void *handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char *error = dlerror();
    *why = error != nullptr ? error : "unknown error";
  }
  return handle;
}
void closeLibrary(void *handle) { dlclose(handle); }
template <typename Function> void findExport(void *handle, const char *name, Function *into) {
  *into = reinterpret_cast<Function>(dlsym(handle, name));
}
#endif

} // namespace

AdaptorModule::AdaptorModule(const std::string &file) : name_(adaptorName(file)) {
  std::string why;
  handle_ = openLibrary(file, &why);
  if (handle_ == nullptr) throw Error("Cannot load the adaptor \"" + file + "\": " + why);
  findExport(handle_, "initializeAdaptor", &initializeAdaptor);
  findExport(handle_, "uninitializeAdaptor", &uninitializeAdaptor);
  findExport(handle_, "getAvailHW", &getAvailHW);
  findExport(handle_, "getDeviceAttributes", &getDeviceAttributes);
  findExport(handle_, "createInstance", &createInstance);
  const char *missing = initializeAdaptor == nullptr     ? "initializeAdaptor"
                        : uninitializeAdaptor == nullptr ? "uninitializeAdaptor"
                        : getAvailHW == nullptr          ? "getAvailHW"
                        : getDeviceAttributes == nullptr ? "getDeviceAttributes"
                        : createInstance == nullptr      ? "createInstance"
                                                         : nullptr;
  if (missing != nullptr) {
    closeLibrary(handle_);
    throw Error("\"" + file + "\" is no adaptor: it does not export " + missing + ".");
  }
  initializeAdaptor();
}

AdaptorModule::~AdaptorModule() {
  uninitializeAdaptor();
  closeLibrary(handle_);
}

} // namespace imaqkit::detail
