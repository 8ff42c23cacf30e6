#include "camera_handle.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace acquire {
namespace {

constexpr std::int32_t statusSuccess = 20002;
// The driver exports its operations by ordinal only.
constexpr unsigned getCameraHandleOrdinal = 175;

#if defined(_WIN32)
using GetCameraHandle = std::int32_t(WINAPI *)(std::int32_t, std::int32_t *);
#else
using GetCameraHandle = std::int32_t (*)(std::int32_t, std::int32_t *);
#endif

} // namespace

std::optional<std::int32_t> cameraHandle(std::int32_t index) {
  std::int32_t handle = 0, status = 0;
#if defined(_WIN32)
  // A module handle from GetModuleHandle holds no reference: nothing to free.
  HMODULE driver = GetModuleHandleA(ACQUIRE_ANDOR_DRIVER);
  if (driver == nullptr) return std::nullopt;
  FARPROC address = GetProcAddress(driver, MAKEINTRESOURCEA(getCameraHandleOrdinal));
  if (address == nullptr) return std::nullopt;
  auto function = reinterpret_cast<GetCameraHandle>(reinterpret_cast<void (*)(void)>(address));
  status = function(index, &handle);
#else
  (void)getCameraHandleOrdinal;
  void *driver = dlopen(ACQUIRE_ANDOR_DRIVER, RTLD_LAZY | RTLD_NOLOAD);
  if (driver == nullptr) return std::nullopt;
  auto function = reinterpret_cast<GetCameraHandle>(dlsym(driver, "getCameraHandle"));
  if (function != nullptr) status = function(index, &handle);
  dlclose(driver);
  if (function == nullptr) return std::nullopt;
#endif
  if (status != statusSuccess) return std::nullopt;
  return handle;
}

} // namespace acquire
