#include "timing.h"

#include <algorithm>
#include <cmath>

namespace acquire {

TimestampSpread spreadOf(const std::vector<double> &stamps) {
  TimestampSpread spread;
  spread.frames = stamps.size();
  if (stamps.size() < 2) return spread;
  const std::size_t intervals = stamps.size() - 1;
  spread.span = stamps.back() - stamps.front();
  spread.minInterval = spread.maxInterval = stamps[1] - stamps[0];
  double sum = 0;
  for (std::size_t i = 1; i < stamps.size(); ++i) {
    const double interval = stamps[i] - stamps[i - 1];
    sum += interval;
    spread.minInterval = std::min(spread.minInterval, interval);
    spread.maxInterval = std::max(spread.maxInterval, interval);
  }
  spread.meanInterval = sum / double(intervals);
  double squares = 0;
  for (std::size_t i = 1; i < stamps.size(); ++i) {
    const double deviation = stamps[i] - stamps[i - 1] - spread.meanInterval;
    squares += deviation * deviation;
  }
  spread.stddevInterval = std::sqrt(squares / double(intervals));
  if (spread.span > 0) spread.framesPerSecond = double(intervals) / spread.span;
  return spread;
}

} // namespace acquire
