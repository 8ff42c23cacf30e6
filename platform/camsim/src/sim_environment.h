// Configuration of the simulated cameras from environment variables, for
// command-line use. A value that does not parse is reported on stderr and
// the default is used instead.
#ifndef CAMERA_SIM_ENVIRONMENT_H
#define CAMERA_SIM_ENVIRONMENT_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace camsim {

struct ImageSize {
  uint32_t width;
  uint32_t height;
};

long environmentInteger(const char *name, long fallback, long minimum, long maximum);
double environmentNumber(const char *name, double fallback, double minimum, double maximum);
// "WIDTHxHEIGHT", or several separated by commas: one per camera, the last
// one standing for the cameras after it.
std::vector<ImageSize> environmentSizes(const char *name, ImageSize fallback);
// "free" or "deterministic".
bool environmentFreeRunning(const char *name, bool fallback);
// The size of camera index of a list read by environmentSizes.
ImageSize sizeFor(const std::vector<ImageSize> &sizes, size_t index);

} // namespace camsim

#endif
