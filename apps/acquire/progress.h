// The progress line of a run: one line, rewritten in place, at most ten
// times a second, with every camera's count when there are several. It is for a person at a terminal; main
// hands it no stream when standard error goes to a file or a pipe, where it would be noise.
#ifndef ACQUIRE_PROGRESS_H
#define ACQUIRE_PROGRESS_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

namespace acquire {

class Progress {
public:
  /* stream null: show nothing. cameras names the cameras of a run of
   * several, whose counts show takes in that order; empty for one. */
  Progress(std::FILE *stream, std::uint32_t total, std::vector<std::int32_t> cameras = {})
      : stream_(stream), total_(total), cameras_(std::move(cameras)) {}
  void show(const std::vector<std::uint32_t> &frames, bool force = false);
  void show(std::uint32_t frames, bool force = false) { show(std::vector<std::uint32_t>{frames}, force); }
  void end();

  /* Whether stream is a terminal. */
  static bool isTerminal(std::FILE *stream);

private:
  using Clock = std::chrono::steady_clock;
  std::FILE *stream_;
  std::uint32_t total_;
  std::vector<std::int32_t> cameras_;
  std::vector<std::uint32_t> frames_; // as last shown
  Clock::time_point shown_{};
};

} // namespace acquire

#endif
