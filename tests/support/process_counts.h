// What a library can leave behind in the process once it is gone: Win32
// handles, running threads and message hooks (the stand-in counts them;
// real Windows does not, so there the counts read 0 and compare equal).
#ifndef CAMERA_TESTS_FAULTS_PROCESS_COUNTS_H
#define CAMERA_TESTS_FAULTS_PROCESS_COUNTS_H

#if !defined(_WIN32)
#include "win32_test_control.h"
#endif

#include <cstddef>
#include <ostream>

struct ProcessCounts {
  size_t handles = 0, threads = 0, hooks = 0;

  static ProcessCounts now() {
    ProcessCounts counts;
#if !defined(_WIN32)
    counts.handles = win32OpenHandleCount();
    counts.threads = win32RunningThreadCount();
    counts.hooks = win32HookCount();
#endif
    return counts;
  }

  // Threads that were asked to end may still be on their way out.
  static ProcessCounts settled(size_t threads, unsigned timeoutMs = 5000) {
#if !defined(_WIN32)
    win32WaitForRunningThreads(threads, timeoutMs);
#else
    (void)threads;
    (void)timeoutMs;
#endif
    return now();
  }

  bool operator==(const ProcessCounts &other) const {
    return handles == other.handles && threads == other.threads && hooks == other.hooks;
  }
};

inline std::ostream &operator<<(std::ostream &out, const ProcessCounts &counts) {
  return out << "{handles " << counts.handles << ", threads " << counts.threads << ", hooks " << counts.hooks
             << "}";
}

#endif
