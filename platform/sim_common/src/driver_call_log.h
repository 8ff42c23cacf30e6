// The log of driver calls that a simulated driver keeps for tests: one text
// line per call, "name(arg, arg, ...)", in the order the calls arrived.
//
// Arguments: integers in decimal, floats with %g, texts in double quotes,
// pointers as "ptr", or "0" when null (addresses differ from run to run,
// whether one was given does not).
//
// The log holds the latest 65536 lines, so a long free-running session does
// not grow without bound; dropped() says how many older lines were let go.
#ifndef CAMERA_SIM_DRIVER_CALL_LOG_H
#define CAMERA_SIM_DRIVER_CALL_LOG_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace sim_common {

// Builds one line: DriverCallText("selectCamera").arg(101).text() is "selectCamera(101)".
class DriverCallText {
public:
  explicit DriverCallText(const char *name);
  DriverCallText &arg(int32_t value);
  DriverCallText &arg(uint32_t value);
  DriverCallText &arg(float value);
  DriverCallText &arg(const void *pointer);
  DriverCallText &quoted(const char *text);
  std::string text() const { return line_ + ")"; }

private:
  void separate();
  std::string line_;
  bool first_ = true;
};

class DriverCallLog {
public:
  static constexpr size_t capacity = 65536;

  void record(const DriverCallText &call);
  size_t count() const;
  // Copies line index (from 0) into buffer, zero-terminated and cut to size;
  // returns the line's full length, or -1 when there is no such line.
  long line(size_t index, char *buffer, size_t size) const;
  size_t dropped() const;
  void clear();

private:
  mutable std::mutex mutex_;
  std::deque<std::string> lines_;
  size_t dropped_ = 0;
};

} // namespace sim_common

#endif
