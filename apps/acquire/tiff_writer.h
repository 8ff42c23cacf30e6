// A multi-page TIFF of 16-bit grayscale images, streamed page by page as the
// frames come: uncompressed, one strip per page, little-endian. Classic TIFF
// (32-bit offsets) as long as the file stays within 4 GB, BigTIFF (64-bit
// offsets, which libtiff and ImageJ/Fiji read) beyond. A page is in the file
// as soon as addPage returns, so a run that ends early, or a program that
// dies, leaves every page written before it readable.
#ifndef ACQUIRE_TIFF_WRITER_H
#define ACQUIRE_TIFF_WRITER_H

#include "byte_sink.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace acquire {

class TiffWriter {
public:
  enum class Format { classic, big };

  /* Largest file a classic TIFF can address. */
  static constexpr std::uint64_t maxFileBytes = 0xFFFFFFFFu;
  /* Bytes before the first page. */
  static std::uint64_t headerBytes(Format format);
  /* Bytes one page of width x height takes, with its directory. */
  static std::uint64_t pageBytes(Format format, std::uint32_t width, std::uint32_t height,
                                 const std::string &description);
  static std::uint64_t pageBytes(std::uint32_t width, std::uint32_t height, const std::string &description) {
    return pageBytes(Format::classic, width, height, description);
  }
  /* Classic when `pages` pages of width x height, each with a description
   * no longer than the one given, fit in 4 GB; BigTIFF otherwise. The
   * format is chosen before the first page, since the header it writes
   * cannot change once pages follow it. */
  static Format formatFor(std::uint64_t pages, std::uint32_t width, std::uint32_t height,
                          const std::string &longestDescription);

  /* Writes the header to sink. */
  TiffWriter(std::unique_ptr<ByteSink> sink, Format format);
  /* A file, created or truncated; throws std::runtime_error when it cannot. */
  explicit TiffWriter(const std::string &file, Format format = Format::classic);
  TiffWriter(const TiffWriter &) = delete;
  TiffWriter &operator=(const TiffWriter &) = delete;

  /* Appends one page; pixels are width x height values, row by row. The
   * description is stored with the page (ImageDescription). Throws
   * std::runtime_error on a write error, or when a classic file would pass
   * 4 GB. */
  void addPage(const std::uint16_t *pixels, std::uint32_t width, std::uint32_t height,
               const std::string &description);
  /* Flushes and closes; throws std::runtime_error on a write error. */
  void close();
  std::uint32_t pages() const { return pages_; }
  Format format() const { return format_; }
  /* Bytes written so far: the file's size. */
  std::uint64_t bytes() const { return end_; }

private:
  std::unique_ptr<ByteSink> sink_;
  Format format_;
  std::uint64_t end_ = 0;          // bytes written so far
  std::uint64_t previousNext_ = 0; // where the last directory's next-offset lies
  std::uint32_t pages_ = 0;
  std::vector<std::uint8_t> scratch_; // a page's directory, or its pixels on a big-endian host
};

} // namespace acquire

#endif
