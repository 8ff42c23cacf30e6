// A TIFF's file that tells each page of width x height 16-bit pixels as it
// is written, so a test that makes a run's images one by one can wait for
// corvid to have read each before the camera makes the next (or the images
// would be read as one).
#ifndef CAMERA_TESTS_APPS_WATCHED_FILE_H
#define CAMERA_TESTS_APPS_WATCHED_FILE_H

#include "acquisition.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

template <int width, int height> class WatchedFile : public acquire::ByteSink {
public:
  explicit WatchedFile(const std::string &file) : file_(file) {}
  void write(std::uint64_t offset, const void *bytes, std::size_t size) override {
    file_.write(offset, bytes, size);
    if (size == std::size_t(width) * height * 2) {
      std::lock_guard<std::mutex> lock(mutex);
      ++pages;
      written.notify_all();
    }
  }
  void close() override { file_.close(); }
  const std::string &name() const override { return file_.name(); }

  static bool waitForPages(int count) {
    std::unique_lock<std::mutex> lock(mutex);
    return written.wait_for(lock, std::chrono::seconds(10), [&] { return pages >= count; });
  }

  static inline std::mutex mutex;
  static inline std::condition_variable written;
  static inline int pages = 0;

private:
  acquire::FileSink file_;
};

#endif
