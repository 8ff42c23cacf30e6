// Where a writer's bytes go: a file, or nowhere (to measure the writing path
// without the disk). Writes name their offset, so a writer can go back and
// fill in a link it could not know when it wrote the bytes around it.
#ifndef ACQUIRE_BYTE_SINK_H
#define ACQUIRE_BYTE_SINK_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace acquire {

class ByteSink {
public:
  virtual ~ByteSink() = default;
  /* Writes size bytes at offset; throws std::runtime_error when it cannot. */
  virtual void write(std::uint64_t offset, const void *bytes, std::size_t size) = 0;
  /* Everything written is where it belongs; throws std::runtime_error when
   * it is not. */
  virtual void close() = 0;
  /* For messages: the file, or what stands in for one. */
  virtual const std::string &name() const = 0;
};

/* A file, created or truncated; offsets past 4 GB work on every host. */
class FileSink : public ByteSink {
public:
  /* Throws std::runtime_error when the file cannot be made. */
  explicit FileSink(const std::string &file);
  ~FileSink() override;
  FileSink(const FileSink &) = delete;
  FileSink &operator=(const FileSink &) = delete;

  void write(std::uint64_t offset, const void *bytes, std::size_t size) override;
  void close() override;
  const std::string &name() const override { return file_; }

private:
  std::string file_;
  std::FILE *stream_ = nullptr;
  std::uint64_t position_ = 0;
};

/* Takes every byte and keeps none; counts how far the file would reach. */
class DiscardingSink : public ByteSink {
public:
  void write(std::uint64_t offset, const void *, std::size_t size) override;
  void close() override {}
  const std::string &name() const override { return name_; }
  std::uint64_t end() const { return end_; }

private:
  std::string name_ = "(discarded)";
  std::uint64_t end_ = 0;
};

} // namespace acquire

#endif
