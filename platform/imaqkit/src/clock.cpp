// The toolbox clock: monotonic seconds from the kit's loading, so frame
// times are small, comparable across adaptors and never step backwards.
#include "imaqkit.h"

#include <chrono>

namespace {
const std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();
}

double getCurrentTime() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin).count();
}
