// What a run printed into a temporary stream, read back whole.
#ifndef CAMERA_TESTS_APPS_STREAM_TEXT_H
#define CAMERA_TESTS_APPS_STREAM_TEXT_H

#include <cstdio>
#include <string>

inline std::string textOf(std::FILE *file) {
  std::rewind(file);
  std::string text;
  char buffer[512];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
  return text;
}

#endif
