// adaptorWarn and the record of every warning, as MATLAB's command window
// would show them.
#include "imaqkit.h"
#include "imaqkit_engine.h"

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <mutex>

namespace {

std::mutex logMutex;
std::vector<imaqkit::AdaptorWarning> warningLog;
std::FILE *echo = nullptr;
std::function<void(const imaqkit::AdaptorWarning &)> observer;

std::string formatText(const char *format, va_list args) {
  if (format == nullptr) return std::string();
  va_list measure;
  va_copy(measure, args);
  int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::vsnprintf(&text[0], text.size(), format, args);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

} // namespace

void adaptorWarn(const char *id, const char *format, ...) {
  va_list args;
  va_start(args, format);
  imaqkit::AdaptorWarning warning{id != nullptr ? id : "", formatText(format, args)};
  va_end(args);

  std::unique_lock<std::mutex> lock(logMutex);
  const std::function<void(const imaqkit::AdaptorWarning &)> observe = observer;
  if (echo != nullptr) {
    std::string line = imaqkit::formatWarning(warning);
    if (line.empty() || line.back() != '\n') line += '\n';
    std::fputs(line.c_str(), echo);
    std::fflush(echo);
  }
  warningLog.push_back(warning);
  lock.unlock();
  if (observe) observe(warning);
}

namespace imaqkit {

std::vector<AdaptorWarning> warnings() {
  std::lock_guard<std::mutex> lock(logMutex);
  return warningLog;
}

void clearWarnings() {
  std::lock_guard<std::mutex> lock(logMutex);
  warningLog.clear();
}

std::string formatWarning(const AdaptorWarning &warning) { return "Warning: " + warning.message; }

void echoWarnings(std::FILE *stream) {
  std::lock_guard<std::mutex> lock(logMutex);
  echo = stream;
}

void observeWarnings(std::function<void(const AdaptorWarning &)> observe) {
  std::lock_guard<std::mutex> lock(logMutex);
  observer = std::move(observe);
}

} // namespace imaqkit
