#include "sim_environment.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace sim_common {
namespace {

constexpr uint32_t largestSide = 65535;

void complain(const char *name, const char *value, const char *expected) {
  std::fprintf(stderr, "%s: '%s' is not %s; using the default\n", name, value, expected);
}

bool parseSize(const std::string &text, ImageSize &size) {
  unsigned long width = 0, height = 0;
  char by = 0, extra = 0;
  if (std::sscanf(text.c_str(), "%lu%c%lu%c", &width, &by, &height, &extra) != 3 || (by != 'x' && by != 'X'))
    return false;
  if (width == 0 || height == 0 || width > largestSide || height > largestSide) return false;
  size = ImageSize{uint32_t(width), uint32_t(height)};
  return true;
}

} // namespace

std::string environmentText(const char *name) {
#ifdef _WIN32
  const DWORD length = GetEnvironmentVariableA(name, nullptr, 0);
  if (length == 0) return std::string();
  std::string value(length, '\0');
  const DWORD written = GetEnvironmentVariableA(name, &value[0], length);
  value.resize(written < length ? written : 0);
  return value;
#else
  const char *value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
#endif
}

long environmentInteger(const char *name, long fallback, long minimum, long maximum) {
  const std::string text = environmentText(name);
  const char *value = text.c_str();
  if (!*value) return fallback;
  char *end = nullptr;
  const long number = std::strtol(value, &end, 10);
  if (*end != '\0' || number < minimum || number > maximum) {
    complain(name, value, "a whole number in range");
    return fallback;
  }
  return number;
}

uint32_t environmentUnsigned32(const char *name, uint32_t fallback) {
  const std::string text = environmentText(name);
  const char *value = text.c_str();
  if (!*value) return fallback;
  char *end = nullptr;
  const unsigned long long number = std::strtoull(value, &end, 10);
  if (*end != '\0' || *value == '-' || number > UINT32_MAX) {
    complain(name, value, "a whole number from 0 to 4294967295");
    return fallback;
  }
  return uint32_t(number);
}

double environmentNumber(const char *name, double fallback, double minimum, double maximum) {
  const std::string text = environmentText(name);
  const char *value = text.c_str();
  if (!*value) return fallback;
  char *end = nullptr;
  const double number = std::strtod(value, &end);
  if (*end != '\0' || !(number >= minimum && number <= maximum)) {
    complain(name, value, "a number in range");
    return fallback;
  }
  return number;
}

std::vector<ImageSize> environmentSizes(const char *name, ImageSize fallback) {
  const std::string text = environmentText(name);
  const char *value = text.c_str();
  if (!*value) return {fallback};
  std::vector<ImageSize> sizes;
  std::stringstream list(value);
  for (std::string item; std::getline(list, item, ',');) {
    ImageSize size{};
    if (!parseSize(item, size)) {
      complain(name, value, "WIDTHxHEIGHT[,WIDTHxHEIGHT...]");
      return {fallback};
    }
    sizes.push_back(size);
  }
  if (sizes.empty()) return {fallback};
  return sizes;
}

bool environmentFreeRunning(const char *name, bool fallback) {
  const std::string text = environmentText(name);
  const char *value = text.c_str();
  if (!*value) return fallback;
  if (std::strcmp(value, "free") == 0) return true;
  if (std::strcmp(value, "deterministic") == 0) return false;
  complain(name, value, "'free' or 'deterministic'");
  return fallback;
}

SceneMotion environmentSceneMotion(const char *rateName, const char *seedName) {
  SceneMotion motion;
  motion.rate = environmentNumber(rateName, SceneMotion::defaultRate, 0, SceneMotion::fastest);
  motion.seed = environmentUnsigned32(seedName, SceneMotion::defaultSeed);
  return motion;
}

ImageSize sizeFor(const std::vector<ImageSize> &sizes, size_t index) {
  return index < sizes.size() ? sizes[index] : sizes.back();
}

} // namespace sim_common
