// Configuration of the simulated cameras from environment variables, for
// command-line use. A value that does not parse is reported on stderr and
// the default is used instead.
#ifndef CAMERA_SIM_ENVIRONMENT_H
#define CAMERA_SIM_ENVIRONMENT_H

#include "synthetic_scene.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim_common {

struct ImageSize {
  uint32_t width;
  uint32_t height;
};

// The variable's value, empty when it is not set. On Windows it is read from
// the process's environment block: MATLAB's setenv changes that, not the
// copy a C runtime takes when it starts, and MATLAB's runtime is not ours.
std::string environmentText(const char *name);
long environmentInteger(const char *name, long fallback, long minimum, long maximum);
// 0 to 4294967295, whatever the width of long.
uint32_t environmentUnsigned32(const char *name, uint32_t fallback);
double environmentNumber(const char *name, double fallback, double minimum, double maximum);
// "WIDTHxHEIGHT", or several separated by commas: one per camera, the last
// one standing for the cameras after it.
std::vector<ImageSize> environmentSizes(const char *name, ImageSize fallback);
// "free" or "deterministic".
bool environmentFreeRunning(const char *name, bool fallback);
// The scene's motion from two variables: the rate in pixels per image and
// the seed (defaults: SceneMotion's).
SceneMotion environmentSceneMotion(const char *rateName, const char *seedName);
// The size of camera index of a list read by environmentSizes.
ImageSize sizeFor(const std::vector<ImageSize> &sizes, size_t index);

} // namespace sim_common

#endif
