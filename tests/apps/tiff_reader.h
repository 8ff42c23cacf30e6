// A small reader of the TIFFs acquire writes, classic and BigTIFF, built
// from the format's own structure rather than the writer's code, for the
// tests that run on every host (libtiff is there only on Linux).
#ifndef ACQUIRE_TESTS_TIFF_READER_H
#define ACQUIRE_TESTS_TIFF_READER_H

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace tiffread {

inline std::vector<std::uint8_t> readFile(const std::string &file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::uint64_t le(const std::vector<std::uint8_t> &b, std::uint64_t at, int bytes) {
  std::uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | b.at(std::size_t(at) + std::size_t(i));
  return value;
}

struct Page {
  std::map<std::uint32_t, std::uint64_t> tags; // single values, or the offset of a long one
  std::map<std::uint32_t, std::uint32_t> types;
  std::vector<std::uint16_t> pixels;
  std::string description;
};

struct File {
  bool big = false;
  std::vector<Page> pages;
};

inline File read(const std::vector<std::uint8_t> &b) {
  File file;
  EXPECT_EQ(b.at(0), 'I');
  EXPECT_EQ(b.at(1), 'I');
  const std::uint64_t version = le(b, 2, 2);
  EXPECT_TRUE(version == 42 || version == 43) << version;
  file.big = version == 43;
  if (file.big) {
    EXPECT_EQ(le(b, 4, 2), 8u) << "bytes in an offset";
    EXPECT_EQ(le(b, 6, 2), 0u);
  }
  const int offset = file.big ? 8 : 4, countBytes = file.big ? 8 : 2, entryBytes = file.big ? 20 : 12;
  for (std::uint64_t directory = le(b, file.big ? 8 : 4, offset); directory != 0;) {
    EXPECT_EQ(directory % 2, 0u) << "directories start on a word";
    Page page;
    const std::uint64_t entries = le(b, directory, countBytes);
    for (std::uint64_t i = 0; i < entries; ++i) {
      const std::uint64_t entry = directory + countBytes + i * entryBytes;
      const auto tag = std::uint32_t(le(b, entry, 2)), type = std::uint32_t(le(b, entry + 2, 2));
      const std::uint64_t count = le(b, entry + 4, offset);
      const std::uint64_t valueAt = entry + 4 + offset;
      page.types[tag] = type;
      if (tag == 270) {
        const std::uint64_t textAt = count > std::uint64_t(offset) ? le(b, valueAt, offset) : valueAt;
        page.description =
            std::string(reinterpret_cast<const char *>(&b.at(std::size_t(textAt))), std::size_t(count - 1));
      } else {
        const int bytes = type == 3 ? 2 : type == 16 || (type == 5 && file.big) ? 8 : 4;
        page.tags[tag] = le(b, valueAt, bytes);
      }
    }
    const std::uint64_t at = page.tags[273], size = page.tags[279];
    for (std::uint64_t p = at; p < at + size; p += 2) page.pixels.push_back(std::uint16_t(le(b, p, 2)));
    file.pages.push_back(page);
    directory = le(b, directory + countBytes + entries * entryBytes, offset);
  }
  return file;
}

} // namespace tiffread

#endif
