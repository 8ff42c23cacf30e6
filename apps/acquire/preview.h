// The 8-bit picture of a 16-bit frame: contrast stretched between two
// percentiles, so a few extreme pixels do not wash the rest out.
#ifndef ACQUIRE_PREVIEW_H
#define ACQUIRE_PREVIEW_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace acquire {

struct Stretch {
  std::uint16_t low = 0, high = 0; // mapped to 0 and 255
};

/* The values below which `lowFraction` and above which `highFraction` of
 * the pixels lie. */
Stretch stretchOf(const std::uint16_t *pixels, std::size_t count, double lowFraction = 0.005,
                  double highFraction = 0.005);
/* Every pixel mapped linearly from [low, high] to [0, 255], clamped; a flat
 * image (low == high) is mid-gray. */
std::vector<std::uint8_t> toEightBits(const std::uint16_t *pixels, std::size_t count, Stretch stretch);

} // namespace acquire

#endif
