// What the test fixtures use of a simulated driver's test controls; each
// driver offers its own (simulated_andor.h, simulated_qcam.h).
#ifndef CAMERA_TESTS_SUPPORT_SIMULATED_DRIVER_H
#define CAMERA_TESTS_SUPPORT_SIMULATED_DRIVER_H

#include <cstddef>
#include <string>
#include <vector>

struct SimulatedDriver {
  const char *cameraClass; // the MATLAB class that holds one of its cameras
  // Back to a fresh process's state: 1, or 0 when refused, as it is from
  // one of the driver's own threads.
  int (*reset)();
  // The driver logs every call made to it, a line a call, read back one at
  // a time.
  size_t (*callLogCount)();
  long (*callLogLine)(size_t index, char *buffer, size_t size);

  std::vector<std::string> callLog() const {
    std::vector<std::string> lines;
    for (size_t i = 0; i < callLogCount(); ++i) {
      char line[256];
      callLogLine(i, line, sizeof line);
      lines.push_back(line);
    }
    return lines;
  }
};

#endif
