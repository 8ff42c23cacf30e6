#include "png_writer.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
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
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[n] = c;
    }
    return entries;
  }();
  return table;
}

void put32(std::vector<std::uint8_t> &out, std::uint32_t value) { // big-endian, as PNG is
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(value >> shift));
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
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
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

namespace {

// The PNG made a stored block at a time, so that no whole copy of the
// picture (scanlines, zlib stream, file) is ever held: a run's last memory
// peak is its preview.
void emitPng(const std::uint8_t *pixels, std::uint32_t width, std::uint32_t height,
             const std::function<void(const std::uint8_t *, std::size_t)> &emit) {
  if (width == 0 || height == 0) throw std::runtime_error("an empty image cannot be a PNG");
  auto whole = [&](const std::vector<std::uint8_t> &bytes) { emit(bytes.data(), bytes.size()); };
  whole({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
  std::vector<std::uint8_t> header, png;
  put32(header, width);
  put32(header, height);
  header.insert(header.end(), {8, 0, 0, 0, 0}); // 8 bits, grayscale, deflate, no filter set, no interlace
  chunk(png, "IHDR", header);
  whole(png);

  // Scanlines: filter type 0 (none), then the row; in zlib: a header
  // (deflate, 32K window, no dictionary), stored blocks, Adler-32.
  const std::uint64_t raw = (std::uint64_t(width) + 1) * height;
  const std::uint64_t blocks = (raw + storedBlockBytes - 1) / storedBlockBytes;
  const std::uint64_t zlibBytes = 2 + blocks * 5 + raw + 4;
  if (zlibBytes > 0x7FFFFFFFu) throw std::runtime_error("a picture this large does not fit in one PNG chunk");
  std::vector<std::uint8_t> piece;
  put32(piece, std::uint32_t(zlibBytes));
  whole(piece);
  const std::uint8_t type[4] = {'I', 'D', 'A', 'T'};
  emit(type, 4);
  std::uint32_t crc = crc32(type, 4);
  auto data = [&](const std::uint8_t *bytes, std::size_t size) {
    emit(bytes, size);
    crc = crc32(bytes, size, crc);
  };
  const std::uint8_t zlibHeader[2] = {0x78, 0x01};
  data(zlibHeader, 2);
  std::uint32_t adler = 1;
  std::vector<std::uint8_t> block;
  block.reserve(storedBlockBytes + 5);
  std::uint32_t row = 0;
  std::size_t column = 0; // 0: the row's filter byte is next
  for (std::uint64_t left = raw; left > 0;) {
    const std::size_t length = std::size_t(std::min<std::uint64_t>(storedBlockBytes, left));
    left -= length;
    block.assign({std::uint8_t(left == 0 ? 1 : 0), // BFINAL, BTYPE 00
                  std::uint8_t(length), std::uint8_t(length >> 8), std::uint8_t(~length),
                  std::uint8_t(~length >> 8)});
    while (block.size() < length + 5) {
      if (column == 0) {
        block.push_back(0);
        column = 1;
        continue;
      }
      const std::size_t take = std::min(std::size_t(width) + 1 - column, length + 5 - block.size());
      const std::uint8_t *from = pixels + std::size_t(row) * width + (column - 1);
      block.insert(block.end(), from, from + take);
      column += take;
      if (column == std::size_t(width) + 1) {
        column = 0;
        ++row;
      }
    }
    adler = adler32(block.data() + 5, length, adler);
    data(block.data(), block.size());
  }
  piece.clear();
  put32(piece, adler);
  data(piece.data(), piece.size());
  piece.clear();
  put32(piece, crc);
  whole(piece);
  png.clear();
  chunk(png, "IEND", {});
  whole(png);
}

} // namespace

std::vector<std::uint8_t> encodePng(const std::uint8_t *pixels, std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> png;
  emitPng(pixels, width, height,
          [&](const std::uint8_t *bytes, std::size_t size) { png.insert(png.end(), bytes, bytes + size); });
  return png;
}

void writePng(const std::string &file, const std::uint8_t *pixels, std::uint32_t width,
              std::uint32_t height) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + file);
  emitPng(pixels, width, height, [&](const std::uint8_t *bytes, std::size_t size) {
    out.write(reinterpret_cast<const char *>(bytes), std::streamsize(size));
  });
  out.close();
  if (!out) throw std::runtime_error("cannot write " + file);
}

} // namespace acquire
