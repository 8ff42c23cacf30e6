// What every benchmark program shares: the baselines it is compared with
// (a bare memcpy, a bare two-thread wake-up), latency statistics and the
// memory figures each benchmark reports beside its times.
#ifndef CAMERA_BENCH_SUPPORT_H
#define CAMERA_BENCH_SUPPORT_H

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace bench {

using Clock = std::chrono::steady_clock;

inline double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Peak resident memory of the process so far, in bytes.
inline double peakResidentBytes() {
#if defined(_WIN32)
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return double(counters.PeakWorkingSetSize);
#else
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) * 1024.0; // kilobytes on Linux
#endif
}

// Resident memory now, in bytes.
inline double residentBytes() {
#if defined(_WIN32)
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return double(counters.WorkingSetSize);
#else
  long pages = 0, resident = 0;
  if (std::FILE *statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return double(resident) * double(sysconf(_SC_PAGESIZE));
#endif
}

// Each benchmark runs in a process of its own (run-benchmarks.sh filters
// one per run), so the peak is that benchmark's; framesBytes is what the
// frames it holds at once need.
inline void reportMemory(benchmark::State &state, double framesBytes) {
  state.counters["peak_rss_MB"] = peakResidentBytes() / 1e6;
  state.counters["frames_MB"] = framesBytes / 1e6;
}

// Buffers touched once before use, so a baseline copy pays no page faults
// that the measured path, reusing its buffers, does not pay either.
inline std::vector<uint8_t> touchedBuffer(size_t bytes, uint8_t fill = 1) {
  return std::vector<uint8_t>(bytes, fill);
}

template <typename Work> double timed(Work &&work) {
  const Clock::time_point start = Clock::now();
  work();
  return seconds(Clock::now() - start);
}

// A baseline measured beside its figure in the same process: after every
// block of the figure's iterations, as many of the baseline's. Each keeps the
// steady state of the caches it has alone, and both share the drift of a
// shared machine's speed from one second to the next.
class BlockedBaseline {
public:
  // timedOnce runs the baseline once and answers its seconds.
  BlockedBaseline(std::string name, std::function<double()> timedOnce, int block = 32)
      : name_(std::move(name)), timedOnce_(std::move(timedOnce)), block_(block) {}

  void addFigure(double figureSeconds) {
    figureSeconds_ += figureSeconds;
    ++figureCount_;
    if (++pending_ == block_) catchUp();
  }

  // name_us: the baseline's time per iteration; name_ratio: the figure's
  // time per iteration over it.
  void report(benchmark::State &state) {
    catchUp();
    const double figure = figureCount_ ? figureSeconds_ / double(figureCount_) : 0;
    const double baseline = baselineCount_ ? baselineSeconds_ / double(baselineCount_) : 0;
    state.counters[name_ + "_us"] = baseline * 1e6;
    state.counters[name_ + "_ratio"] = baseline > 0 ? figure / baseline : 0;
  }

private:
  void catchUp() {
    for (; pending_ > 0; --pending_) {
      baselineSeconds_ += timedOnce_();
      ++baselineCount_;
    }
  }

  std::string name_;
  std::function<double()> timedOnce_;
  int block_;
  int pending_ = 0;
  double figureSeconds_ = 0, baselineSeconds_ = 0;
  int64_t figureCount_ = 0, baselineCount_ = 0;
};

struct Latencies {
  std::vector<double> samples; // seconds

  void add(double s) { samples.push_back(s); }
  double quantile(double q) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    size_t at = size_t(q * double(samples.size() - 1) + 0.5);
    return samples[std::min(at, samples.size() - 1)];
  }
  void report(benchmark::State &state) {
    state.counters["median_us"] = quantile(0.5) * 1e6;
    state.counters["p99_us"] = quantile(0.99) * 1e6;
  }
};

// Gives a thread that has just been told to wait time to block in its wait
// before the event under measurement is raised, so the figure is that of a
// wake-up from a real wait. A spin on the clock, outside the measured span.
inline void letWaiterBlock(std::chrono::microseconds span = std::chrono::microseconds(200)) {
  const auto until = Clock::now() + span;
  while (Clock::now() < until) {
  }
}

} // namespace bench

#endif
