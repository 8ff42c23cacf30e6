#include "call_log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace camsim {

CallText::CallText(const char *name) : line_(name) { line_ += '('; }

void CallText::separate() {
  if (!first_) line_ += ", ";
  first_ = false;
}

CallText &CallText::arg(int32_t value) {
  separate();
  line_ += std::to_string(value);
  return *this;
}

CallText &CallText::arg(uint32_t value) {
  separate();
  line_ += std::to_string(value);
  return *this;
}

CallText &CallText::arg(float value) {
  separate();
  char text[32];
  std::snprintf(text, sizeof text, "%g", double(value));
  line_ += text;
  return *this;
}

CallText &CallText::arg(const void *pointer) {
  separate();
  line_ += pointer ? "ptr" : "0";
  return *this;
}

CallText &CallText::quoted(const char *text) {
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

void CallLog::record(const CallText &call) {
  std::string line = call.text();
  std::lock_guard<std::mutex> lock(mutex_);
  if (lines_.size() == capacity) {
    lines_.pop_front();
    ++dropped_;
  }
  lines_.push_back(std::move(line));
}

size_t CallLog::count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_.size();
}

long CallLog::line(size_t index, char *buffer, size_t size) const {
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

size_t CallLog::dropped() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dropped_;
}

void CallLog::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
  dropped_ = 0;
}

} // namespace camsim
