#include "driver_call_log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace sim_common {

DriverCallText::DriverCallText(const char *name) : line_(name) { line_ += '('; }

void DriverCallText::separate() {
  if (!first_) line_ += ", ";
  first_ = false;
}

DriverCallText &DriverCallText::arg(int32_t value) {
  separate();
  line_ += std::to_string(value);
  return *this;
}

DriverCallText &DriverCallText::arg(uint32_t value) {
  separate();
  line_ += std::to_string(value);
  return *this;
}

DriverCallText &DriverCallText::arg(float value) {
  separate();
  char text[32];
  std::snprintf(text, sizeof text, "%g", double(value));
  line_ += text;
  return *this;
}

DriverCallText &DriverCallText::arg(const void *pointer) {
  separate();
  line_ += pointer ? "ptr" : "0";
  return *this;
}

DriverCallText &DriverCallText::quoted(const char *text) {
  separate();
  if (!text) {
    line_ += "0";
    return *this;
  }
  line_ += '"';
  line_ += text;
  line_ += '"';
  return *this;
}

void DriverCallLog::record(const DriverCallText &call) {
  std::string line = call.text();
  std::lock_guard<std::mutex> lock(mutex_);
  if (lines_.size() == capacity) {
    lines_.pop_front();
    ++dropped_;
  }
  lines_.push_back(std::move(line));
}

size_t DriverCallLog::count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_.size();
}

long DriverCallLog::line(size_t index, char *buffer, size_t size) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (index >= lines_.size()) return -1;
  const std::string &line = lines_[index];
  if (buffer && size > 0) {
    const size_t copied = std::min(line.size(), size - 1);
    std::memcpy(buffer, line.data(), copied);
    buffer[copied] = '\0';
  }
  return long(line.size());
}

size_t DriverCallLog::dropped() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dropped_;
}

void DriverCallLog::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
  dropped_ = 0;
}

} // namespace sim_common
