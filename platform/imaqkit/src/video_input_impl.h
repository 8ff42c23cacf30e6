// What a VideoInput holds. The order of the members is the order of
// teardown in reverse: the device object (and with it the adaptor's listeners)
// goes before the library whose code they are.
#ifndef IMAQKIT_SRC_VIDEO_INPUT_IMPL_H
#define IMAQKIT_SRC_VIDEO_INPUT_IMPL_H

#include "catalog.h"
#include "imaqkit_engine.h"
#include "module.h"
#include "device_object.h"

#include <memory>

namespace imaqkit {

struct VideoInput::Impl {
  std::shared_ptr<detail::AdaptorModule> module;
  std::shared_ptr<detail::DeviceCatalog> catalog;
  std::shared_ptr<detail::DeviceObject> deviceObject;
  IAdaptor *adaptor = nullptr;
  std::int32_t deviceId = 0;
  std::string format;

  Impl() = default;
  Impl(const Impl &) = delete;
  Impl &operator=(const Impl &) = delete;
  /* As MATLAB deletes a videoinput: stop, close, destroy the object. */
  ~Impl();
};

} // namespace imaqkit

#endif
