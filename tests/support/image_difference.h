// How far two 16-bit images of the simulated scene are apart, their stamps
// (the image number in the first two pixels) aside.
#ifndef CAMERA_TESTS_SUPPORT_IMAGE_DIFFERENCE_H
#define CAMERA_TESTS_SUPPORT_IMAGE_DIFFERENCE_H

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

inline int largestDifference(const std::vector<uint16_t> &a, const std::vector<uint16_t> &b) {
  int largest = 0;
  for (size_t i = 2; i < a.size() && i < b.size(); ++i)
    largest = std::max(largest, std::abs(int(a[i]) - int(b[i])));
  return largest;
}

#endif
