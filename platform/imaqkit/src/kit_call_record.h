// The record of the kit calls an adaptor makes on one device object, kept
// for tests that check call order (see VideoInput::recordCalls).
#ifndef IMAQKIT_SRC_KIT_CALL_RECORD_H
#define IMAQKIT_SRC_KIT_CALL_RECORD_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace imaqkit::detail {

class KitCallRecord {
public:
  void enable(bool on);
  void setObserver(std::function<void(const std::string &)> observer);
  void clear();
  std::vector<std::string> entries() const;
  bool waitFor(const std::string &entry, std::size_t occurrences, std::chrono::milliseconds timeout);

  /* Cheap when nobody listens, since the acquisition thread notes every
   * image. */
  void note(const char *operation) {
    if (active_.load(std::memory_order_relaxed)) add(operation);
  }
  void noteAnswer(const char *operation, bool answer) {
    if (active_.load(std::memory_order_relaxed)) add(std::string(operation) + (answer ? "=true" : "=false"));
  }
  void noteName(const char *operation, const char *name) {
    if (active_.load(std::memory_order_relaxed))
      add(std::string(operation) + "(" + (name != nullptr ? name : "null") + ")");
  }

private:
  void add(std::string entry);
  void updateActive();

  mutable std::mutex mutex_;
  std::condition_variable added_;
  std::atomic<bool> active_{false};
  bool recording_ = false;
  std::vector<std::string> entries_;
  std::function<void(const std::string &)> observer_;
};

} // namespace imaqkit::detail

#endif
