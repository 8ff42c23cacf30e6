// The progress line of a run: one line, rewritten in place, at most ten
// times a second. It is for a person at a terminal; main hands it no stream
// when standard error goes to a file or a pipe, where it would be noise.
#ifndef ACQUIRE_PROGRESS_H
#define ACQUIRE_PROGRESS_H

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace acquire {

class Progress {
public:
  /* stream null: show nothing. */
  Progress(std::FILE *stream, std::uint32_t total) : stream_(stream), total_(total) {}
  void show(std::uint32_t frames, bool force = false);
  void end();

  /* Whether stream is a terminal. */
  static bool isTerminal(std::FILE *stream);

private:
  using Clock = std::chrono::steady_clock;
  std::FILE *stream_;
  std::uint32_t total_;
  std::uint32_t frames_ = 0;
  Clock::time_point shown_{};
};

} // namespace acquire

#endif
