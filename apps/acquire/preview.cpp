#include "preview.h"

#include <algorithm>

namespace acquire {

Stretch stretchOf(const std::uint16_t *pixels, std::size_t count, double lowFraction, double highFraction) {
  Stretch stretch;
  if (count == 0) return stretch;
  std::vector<std::size_t> histogram(65536, 0);
  for (std::size_t i = 0; i < count; ++i) ++histogram[pixels[i]];
  const auto lowCount = std::size_t(lowFraction * double(count));
  const auto highCount = std::size_t(highFraction * double(count));
  std::size_t seen = 0;
  std::uint32_t value = 0;
  for (; value < 65535; ++value) {
    seen += histogram[value];
    if (seen > lowCount) break;
  }
  stretch.low = std::uint16_t(value);
  seen = 0;
  for (value = 65535; value > 0; --value) {
    seen += histogram[value];
    if (seen > highCount) break;
  }
  stretch.high = std::uint16_t(std::max<std::uint32_t>(value, stretch.low));
  return stretch;
}

std::vector<std::uint8_t> toEightBits(const std::uint16_t *pixels, std::size_t count, Stretch stretch) {
  std::vector<std::uint8_t> out(count, 128);
  if (stretch.high <= stretch.low) return out;
  const double scale = 255.0 / double(stretch.high - stretch.low);
  for (std::size_t i = 0; i < count; ++i) {
    const double value = (double(pixels[i]) - stretch.low) * scale + 0.5;
    out[i] = std::uint8_t(std::clamp(value, 0.0, 255.0));
  }
  return out;
}

} // namespace acquire
