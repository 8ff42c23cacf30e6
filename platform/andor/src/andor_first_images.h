// ANDOR_SIM_FIRST_IMAGE: the first image number of each environment camera's
// acquisitions, read as ANDOR_SIM_SIZE is: one number for every camera, or a
// comma-separated list, one per camera, the last standing for the cameras
// after it.
#ifndef CAMERA_PLATFORM_ANDOR_FIRST_IMAGES_H
#define CAMERA_PLATFORM_ANDOR_FIRST_IMAGES_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace andor_sim {

// Never empty: {1} when the variable is unset, and when any entry is not a
// whole number from 0 to 4294967295 (reported on stderr).
std::vector<uint32_t> firstImagesFromEnvironment();

// The first image number of camera index of that list.
uint32_t firstImageFor(const std::vector<uint32_t> &numbers, size_t index);

} // namespace andor_sim

#endif
