#include "png_writer.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <stdexcept>

namespace acquire {
namespace {

// The largest stored deflate block.
constexpr std::size_t storedBlockBytes = 65535;

const std::array<std::uint32_t, 256> &crcTable() {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> entries{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k)
        c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[n] = c;
    }
    return entries;
  }();
  return table;
}

void put32(std::vector<std::uint8_t> &out, std::uint32_t value) { // big-endian, as PNG is
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(std::uint8_t(value >> shift));
}

void chunk(std::vector<std::uint8_t> &out, const char *type, const std::vector<std::uint8_t> &data) {
  put32(out, std::uint32_t(data.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put32(out, crc32(out.data() + typeAt, out.size() - typeAt));
}

} // namespace

std::uint32_t crc32(const std::uint8_t *data, std::size_t size, std::uint32_t crc) {
  const auto &table = crcTable();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i)
    crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::uint32_t adler32(const std::uint8_t *data, std::size_t size, std::uint32_t adler) {
  constexpr std::uint32_t modulus = 65521;
  std::uint32_t a = adler & 0xFFFF, b = adler >> 16;
  for (std::size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % modulus;
    b = (b + a) % modulus;
  }
  return (b << 16) | a;
}

std::vector<std::uint8_t> encodePng(const std::uint8_t *pixels, std::uint32_t width,
                                    std::uint32_t height) {
  if (width == 0 || height == 0)
    throw std::runtime_error("an empty image cannot be a PNG");
  // Scanlines: filter type 0 (none), then the row.
  std::vector<std::uint8_t> raw;
  raw.reserve((std::size_t(width) + 1) * height);
  for (std::uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), pixels + std::size_t(y) * width, pixels + std::size_t(y + 1) * width);
  }

  // zlib: header (deflate, 32K window, no dictionary), stored blocks, Adler-32.
  std::vector<std::uint8_t> zlib = {0x78, 0x01};
  for (std::size_t at = 0;; at += storedBlockBytes) {
    const std::size_t length = std::min(storedBlockBytes, raw.size() - at);
    const bool last = at + length >= raw.size();
    zlib.push_back(last ? 1 : 0); // BFINAL, BTYPE 00
    zlib.push_back(std::uint8_t(length));
    zlib.push_back(std::uint8_t(length >> 8));
    zlib.push_back(std::uint8_t(~length));
    zlib.push_back(std::uint8_t(~length >> 8));
    zlib.insert(zlib.end(), raw.begin() + long(at), raw.begin() + long(at + length));
    if (last)
      break;
  }
  put32(zlib, adler32(raw.data(), raw.size()));

  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  put32(header, width);
  put32(header, height);
  header.insert(header.end(), {8, 0, 0, 0, 0}); // 8 bits, grayscale, deflate, no filter set, no interlace
  chunk(png, "IHDR", header);
  chunk(png, "IDAT", zlib);
  chunk(png, "IEND", {});
  return png;
}

void writePng(const std::string &file, const std::uint8_t *pixels, std::uint32_t width,
              std::uint32_t height) {
  const std::vector<std::uint8_t> png = encodePng(pixels, width, height);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(png.data()), std::streamsize(png.size()));
  out.close();
  if (!out)
    throw std::runtime_error("cannot write " + file);
}

} // namespace acquire
