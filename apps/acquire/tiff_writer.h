// A multi-page TIFF of 16-bit grayscale images, written page by page:
// uncompressed, one strip per page, little-endian, classic (32-bit offsets).
#ifndef ACQUIRE_TIFF_WRITER_H
#define ACQUIRE_TIFF_WRITER_H

#include <cstdint>
#include <fstream>
#include <string>

namespace acquire {

class TiffWriter {
public:
  /* Largest file a classic TIFF can address. */
  static constexpr std::uint64_t maxFileBytes = 0xFFFFFFFFu;
  /* Bytes one page of width x height takes, with its directory. */
  static std::uint64_t pageBytes(std::uint32_t width, std::uint32_t height,
                                 const std::string &description);

  /* Creates (or truncates) file; throws std::runtime_error when it cannot. */
  explicit TiffWriter(const std::string &file);
  TiffWriter(const TiffWriter &) = delete;
  TiffWriter &operator=(const TiffWriter &) = delete;

  /* Appends one page; pixels are width x height values, row by row. The
   * description is stored with the page (ImageDescription). Throws
   * std::runtime_error on a write error or past the 4 GB a TIFF can hold. */
  void addPage(const std::uint16_t *pixels, std::uint32_t width, std::uint32_t height,
               const std::string &description);
  /* Flushes and closes; throws std::runtime_error on a write error. */
  void close();
  std::uint32_t pages() const { return pages_; }

private:
  void check(const char *what);

  std::string file_;
  std::ofstream out_;
  std::uint64_t end_ = 0;          // bytes written so far
  std::uint64_t previousNext_ = 4; // where the last directory's next-offset lies
  std::uint32_t pages_ = 0;
};

} // namespace acquire

#endif
