// A path in the temporary folder that only this process uses: tests of two
// builds may run at once (and two Wine runs share one temporary folder).
#ifndef CAMERA_TESTS_SUPPORT_PROCESS_TEMP_PATH_H
#define CAMERA_TESTS_SUPPORT_PROCESS_TEMP_PATH_H

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

inline std::filesystem::path processTempPath(const std::string &name) {
#ifdef _WIN32
  const int id = _getpid();
#else
  const int id = static_cast<int>(getpid());
#endif
  return std::filesystem::temp_directory_path() / (name + "-" + std::to_string(id));
}

#endif
