#include "byte_sink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace acquire {
namespace {

// fseek takes a long, which is 32 bits on Windows.
int seekTo(std::FILE *stream, std::uint64_t offset) {
#if defined(_WIN32)
  return _fseeki64(stream, static_cast<long long>(offset), SEEK_SET);
#else
  return fseeko(stream, static_cast<off_t>(offset), SEEK_SET);
#endif
}

} // namespace

FileSink::FileSink(const std::string &file) : file_(file) {
  stream_ = std::fopen(file.c_str(), "wb");
  if (stream_ == nullptr) throw std::runtime_error("cannot write " + file + ": " + std::strerror(errno));
}

FileSink::~FileSink() {
  if (stream_ != nullptr) std::fclose(stream_);
}

void FileSink::write(std::uint64_t offset, const void *bytes, std::size_t size) {
  if (stream_ == nullptr) throw std::runtime_error("cannot write " + file_ + ": it is closed");
  // Mostly appends: a seek only for the links filled in afterwards.
  if (offset != position_ && seekTo(stream_, offset) != 0)
    throw std::runtime_error("cannot write " + file_ + ": " + std::strerror(errno));
  position_ = offset;
  if (size > 0 && std::fwrite(bytes, 1, size, stream_) != size)
    throw std::runtime_error("cannot write " + file_ + ": " + std::strerror(errno));
  position_ += size;
}

void FileSink::close() {
  if (stream_ == nullptr) return;
  const bool failed = std::ferror(stream_) != 0;
  const bool closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  if (failed || !closed) throw std::runtime_error("cannot write " + file_ + ": " + std::strerror(errno));
}

void DiscardingSink::write(std::uint64_t offset, const void *, std::size_t size) {
  end_ = std::max(end_, offset + size);
}

} // namespace acquire
