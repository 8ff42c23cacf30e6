// An adaptor library loaded by file name, with its five exports found by
// name. Loading calls initializeAdaptor; destruction calls
// uninitializeAdaptor and unloads.
#ifndef IMAQKIT_SRC_MODULE_H
#define IMAQKIT_SRC_MODULE_H

#include "imaqkit.h"

#include <string>

namespace imaqkit::detail {

class AdaptorModule {
public:
  explicit AdaptorModule(const std::string &file); // Error when it cannot be used
  ~AdaptorModule();
  AdaptorModule(const AdaptorModule &) = delete;
  AdaptorModule &operator=(const AdaptorModule &) = delete;

  /* The adaptor's name: the file name without folder, "lib" and extension. */
  const std::string &name() const { return name_; }

  void (*initializeAdaptor)(void) = nullptr;
  void (*uninitializeAdaptor)(void) = nullptr;
  void (*getAvailHW)(IDeviceCatalog *) = nullptr;
  void (*getDeviceAttributes)(IDeviceEntry *, const char *, IPropertyMaker *, ISourceList *) = nullptr;
  IAdaptor *(*createInstance)(IEngine *, IDeviceEntry *) = nullptr;

private:
  void *handle_ = nullptr;
  std::string name_;
};

} // namespace imaqkit::detail

#endif
