// An 8-bit grayscale PNG, with no compression library: the zlib stream holds
// stored (uncompressed) deflate blocks.
#ifndef ACQUIRE_PNG_WRITER_H
#define ACQUIRE_PNG_WRITER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace acquire {

std::uint32_t crc32(const std::uint8_t *data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t adler32(const std::uint8_t *data, std::size_t size, std::uint32_t adler = 1);

/* The whole file for width x height pixels, row by row. */
std::vector<std::uint8_t> encodePng(const std::uint8_t *pixels, std::uint32_t width, std::uint32_t height);
/* Writes it to file; throws std::runtime_error when it cannot. */
void writePng(const std::string &file, const std::uint8_t *pixels, std::uint32_t width, std::uint32_t height);

} // namespace acquire

#endif
