// What the frames' timestamps say about an acquisition.
#ifndef ACQUIRE_TIMING_H
#define ACQUIRE_TIMING_H

#include <cstddef>
#include <vector>

namespace acquire {

struct TimestampSpread {
  std::size_t frames = 0;
  double span = 0;            // last stamp - first stamp, seconds
  double framesPerSecond = 0; // (frames - 1) / span; 0 with fewer than two frames
  double meanInterval = 0, minInterval = 0, maxInterval = 0, stddevInterval = 0;
};

TimestampSpread spreadOf(const std::vector<double> &stamps);

} // namespace acquire

#endif
