// A library for the module tests: it counts its calls, so a test can tell a
// library that stayed loaded (the count goes on) from a fresh load.
#ifdef _WIN32
#define PROBE_EXPORT extern "C" __declspec(dllexport)
#else
#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {
int calls = 0;
}

PROBE_EXPORT int moduleProbeCount(void) { return ++calls; }
