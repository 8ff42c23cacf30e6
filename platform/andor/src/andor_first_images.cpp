#include "andor_first_images.h"

#include "sim_environment.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace andor_sim {
namespace {

const char *const variable = "ANDOR_SIM_FIRST_IMAGE";
constexpr uint32_t defaultFirstImage = 1;

bool parseNumber(const std::string &text, uint32_t &number) {
  // strtoull skips blanks and takes a minus sign; neither is a number here.
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  char *end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (*end != '\0' || value > UINT32_MAX) return false;
  number = uint32_t(value);
  return true;
}

std::vector<uint32_t> refuse(const std::string &text) {
  std::fprintf(stderr, "%s: '%s' is not N[,N...] of whole numbers from 0 to 4294967295; using the default\n",
               variable, text.c_str());
  return {defaultFirstImage};
}

} // namespace

std::vector<uint32_t> firstImagesFromEnvironment() {
  const std::string text = sim_common::environmentText(variable);
  if (text.empty()) return {defaultFirstImage};
  std::vector<uint32_t> numbers;
  std::stringstream list(text);
  for (std::string item; std::getline(list, item, ',');) {
    uint32_t number = 0;
    if (!parseNumber(item, number)) return refuse(text);
    numbers.push_back(number);
  }
  // "5," ends on an empty item that getline does not hand out.
  if (numbers.empty() || text.back() == ',') return refuse(text);
  return numbers;
}

uint32_t firstImageFor(const std::vector<uint32_t> &numbers, size_t index) {
  return index < numbers.size() ? numbers[index] : numbers.back();
}

} // namespace andor_sim
