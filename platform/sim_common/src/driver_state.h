// What the state of each simulated driver rests on: one instance per
// process, cameras found by handle, and knowing its own threads.
#ifndef CAMERA_SIM_DRIVER_STATE_H
#define CAMERA_SIM_DRIVER_STATE_H

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

namespace sim_common {

// The one state of a driver in the process, made on first use, as the real
// library keeps one state for every caller in the process. Never destroyed:
// on Windows its threads must not be waited for while the DLL is being
// unloaded. On POSIX the driver's exitProcess stops them at exit.
template <typename Driver> Driver &processWide() {
  static Driver *driver = [] {
    Driver *created = new Driver();
#if !defined(_WIN32)
    std::atexit([] { processWide<Driver>().exitProcess(); });
#endif
    return created;
  }();
  return *driver;
}

// The camera of a driver's list with this handle, or null.
template <typename Camera>
Camera *findCamera(const std::vector<std::unique_ptr<Camera>> &cameras, int32_t handle) {
  for (const auto &camera : cameras)
    if (camera->handle == handle) return camera.get();
  return nullptr;
}

// True when the caller is the thread; a driver refuses to wait for its own
// thread to end.
inline bool isCallingThread(const std::thread &thread) {
  return thread.joinable() && thread.get_id() == std::this_thread::get_id();
}

} // namespace sim_common

#endif
