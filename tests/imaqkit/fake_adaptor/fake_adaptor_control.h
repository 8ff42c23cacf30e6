// Controls of the fake adaptor that the kit's tests load: how many cameras
// it reports, when its images come, and what it has done.
#ifndef IMAQKIT_TESTS_FAKE_ADAPTOR_CONTROL_H
#define IMAQKIT_TESTS_FAKE_ADAPTOR_CONTROL_H

#include <chrono>
#include <string>
#include <vector>

#if defined(_WIN32)
#if defined(FAKE_ADAPTOR_BUILD)
#define FAKE_API __declspec(dllexport)
#else
#define FAKE_API __declspec(dllimport)
#endif
#else
#define FAKE_API __attribute__((visibility("default")))
#endif

namespace fake {

/* One camera, no images, empty log, counters at zero. */
FAKE_API void reset();
FAKE_API void setCameras(int count);
/* Let the acquisition threads read `count` more images in all. */
FAKE_API void shoot(int count);
/* Images come as fast as they are read (no shoot needed). */
FAKE_API void freeRun(bool on);

/* What the adaptor did, in order: exports, adaptor operations, listener
 * calls, run starts and ends. */
FAKE_API std::vector<std::string> log();
FAKE_API bool waitForLog(const std::string &entry, int occurrences, std::chrono::milliseconds timeout);

FAKE_API int adaptorsConstructed();
FAKE_API int adaptorsDestroyed();
FAKE_API int listenersAlive();

} // namespace fake

#endif
