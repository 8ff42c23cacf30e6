// acquire's picture writers, read back by small readers of the formats'
// own structure: TIFF pages, PNG chunks with their CRCs, the zlib stream's
// stored blocks and Adler-32.
#include "process_temp_path.h"
#include "png_writer.h"
#include "tiff_writer.h"
#include "tiff_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

using std::uint16_t;
using std::uint32_t;
using std::uint8_t;

namespace {

std::vector<uint8_t> readFile(const std::string &file) { return tiffread::readFile(file); }

uint32_t be32(const std::vector<uint8_t> &b, size_t at) {
  return uint32_t(b.at(at)) << 24 | b.at(at + 1) << 16 | b.at(at + 2) << 8 | b.at(at + 3);
}

using TiffPage = tiffread::Page;

std::vector<TiffPage> readTiff(const std::vector<uint8_t> &b) {
  const tiffread::File file = tiffread::read(b);
  EXPECT_FALSE(file.big);
  return file.pages;
}

std::string tempFile(const std::string &name) { return processTempPath("acquire_" + name).string(); }

} // namespace

TEST(Tiff, PagesAreChainedWithTheirSizeDepthAndPixels) {
  const std::string file = tempFile("pages.tif");
  const std::vector<uint16_t> first = {0, 1, 2, 65535, 256, 4660}, second = {7, 7, 7, 7, 7, 9};
  {
    acquire::TiffWriter tiff(file);
    tiff.addPage(first.data(), 3, 2, "frame 1");
    tiff.addPage(second.data(), 3, 2, "x"); // short texts too
    EXPECT_EQ(tiff.pages(), 2u);
    tiff.close();
  }
  const std::vector<uint8_t> bytes = readFile(file);
  EXPECT_EQ(bytes.size(),
            8 + acquire::TiffWriter::pageBytes(3, 2, "frame 1") + acquire::TiffWriter::pageBytes(3, 2, "x"));
  const std::vector<TiffPage> pages = readTiff(bytes);
  ASSERT_EQ(pages.size(), 2u);
  for (const TiffPage &page : pages) {
    EXPECT_EQ(page.tags.at(256), 3u);
    EXPECT_EQ(page.tags.at(257), 2u);
    EXPECT_EQ(page.tags.at(258), 16u);
    EXPECT_EQ(page.tags.at(259), 1u) << "uncompressed";
    EXPECT_EQ(page.tags.at(262), 1u) << "black is zero";
    EXPECT_EQ(page.tags.at(277), 1u);
    EXPECT_EQ(page.tags.at(278), 2u) << "one strip";
    EXPECT_EQ(page.tags.at(279), 12u);
  }
  EXPECT_EQ(pages[0].pixels, first);
  EXPECT_EQ(pages[1].pixels, second);
  EXPECT_EQ(pages[0].description, "frame 1");
  EXPECT_EQ(pages[1].description, "x   ");
  std::remove(file.c_str());
}

TEST(Tiff, WhatCannotBeWrittenIsRefused) {
  EXPECT_THROW(acquire::TiffWriter(tempFile("no/such/folder/x.tif")), std::runtime_error);
  const std::string file = tempFile("empty.tif");
  acquire::TiffWriter tiff(file);
  const uint16_t pixel = 0;
  EXPECT_THROW(tiff.addPage(&pixel, 0, 1, "empty"), std::runtime_error);
  // 4 GB is the most a TIFF's offsets reach.
  EXPECT_GT(acquire::TiffWriter::pageBytes(65535, 32769, ""), acquire::TiffWriter::maxFileBytes);
  tiff.close();
  std::remove(file.c_str());
}

TEST(Png, ChecksumsMatchTheirStandards) {
  const std::string check = "123456789", wiki = "Wikipedia";
  EXPECT_EQ(acquire::crc32(reinterpret_cast<const uint8_t *>(check.data()), check.size()), 0xCBF43926u);
  EXPECT_EQ(acquire::adler32(reinterpret_cast<const uint8_t *>(wiki.data()), wiki.size()), 0x11E60398u);
}

// Chunks with valid CRCs, the header's fields, and the pixels recovered from
// the stored deflate blocks.
void checkPng(const std::vector<uint8_t> &png, uint32_t width, uint32_t height,
              const std::vector<uint8_t> &pixels, size_t blocks) {
  const std::vector<uint8_t> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  ASSERT_EQ(std::vector<uint8_t>(png.begin(), png.begin() + 8), signature);
  std::vector<std::string> types;
  std::vector<uint8_t> zlib;
  for (size_t at = 8; at < png.size();) {
    const uint32_t length = be32(png, at);
    const std::string type(reinterpret_cast<const char *>(&png.at(at + 4)), 4);
    types.push_back(type);
    EXPECT_EQ(acquire::crc32(&png.at(at + 4), length + 4), be32(png, at + 8 + length)) << type;
    if (type == "IHDR") {
      EXPECT_EQ(be32(png, at + 8), width);
      EXPECT_EQ(be32(png, at + 12), height);
      EXPECT_EQ(png.at(at + 16), 8) << "8 bits";
      EXPECT_EQ(png.at(at + 17), 0) << "grayscale";
    } else if (type == "IDAT") {
      zlib.insert(zlib.end(), png.begin() + long(at + 8), png.begin() + long(at + 8 + length));
    }
    at += 12 + length;
  }
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  ASSERT_GE(zlib.size(), 6u);
  EXPECT_EQ((zlib[0] << 8 | zlib[1]) % 31, 0) << "zlib header check";
  std::vector<uint8_t> raw;
  size_t at = 2, seen = 0;
  for (bool last = false; !last; ++seen) {
    last = zlib.at(at) & 1;
    EXPECT_EQ(zlib.at(at) >> 1, 0) << "stored block";
    const uint32_t length = zlib.at(at + 1) | zlib.at(at + 2) << 8;
    EXPECT_EQ(length ^ (zlib.at(at + 3) | zlib.at(at + 4) << 8), 0xFFFFu);
    raw.insert(raw.end(), zlib.begin() + long(at + 5), zlib.begin() + long(at + 5 + length));
    at += 5 + length;
  }
  EXPECT_EQ(seen, blocks);
  EXPECT_EQ(be32(zlib, at), acquire::adler32(raw.data(), raw.size()));
  ASSERT_EQ(raw.size(), (width + 1) * height);
  for (uint32_t y = 0; y < height; ++y) {
    EXPECT_EQ(raw[y * (width + 1)], 0) << "filter none";
    EXPECT_TRUE(std::equal(pixels.begin() + long(y * width), pixels.begin() + long((y + 1) * width),
                           raw.begin() + long(y * (width + 1) + 1)));
  }
}

TEST(Png, SmallAndMultiBlockImagesDecode) {
  const std::vector<uint8_t> small = {0, 50, 100, 150, 200, 255};
  checkPng(acquire::encodePng(small.data(), 3, 2), 3, 2, small, 1);

  std::vector<uint8_t> large(400u * 300u);
  for (size_t i = 0; i < large.size(); ++i) large[i] = uint8_t(i * 7);
  checkPng(acquire::encodePng(large.data(), 400, 300), 400, 300, large, 2); // 120300 bytes of scanlines

  const std::string file = tempFile("small.png");
  acquire::writePng(file, small.data(), 3, 2);
  EXPECT_EQ(readFile(file), acquire::encodePng(small.data(), 3, 2));
  std::remove(file.c_str());
  EXPECT_THROW(acquire::writePng(tempFile("no/such/folder/x.png"), small.data(), 3, 2), std::runtime_error);
}

// Past 4 GB a TIFF needs 8-byte offsets: the header says 43, counts and
// offsets widen, and the resolutions fit in their entries.
TEST(Tiff, BigTiffPagesAreChainedWithEightByteOffsets) {
  using Format = acquire::TiffWriter::Format;
  const std::string file = tempFile("big.tif");
  const std::vector<uint16_t> first = {1, 2, 3, 4, 5, 65535}, second = {9, 8, 7, 6, 5, 4};
  {
    acquire::TiffWriter tiff(file, Format::big);
    EXPECT_EQ(tiff.format(), Format::big);
    tiff.addPage(first.data(), 2, 3, "frame 1 of 2");
    tiff.addPage(second.data(), 2, 3, "x");
    tiff.close();
  }
  const std::vector<uint8_t> bytes = readFile(file);
  EXPECT_EQ(bytes.size(), acquire::TiffWriter::headerBytes(Format::big) +
                              acquire::TiffWriter::pageBytes(Format::big, 2, 3, "frame 1 of 2") +
                              acquire::TiffWriter::pageBytes(Format::big, 2, 3, "x"));
  const tiffread::File read = tiffread::read(bytes);
  EXPECT_TRUE(read.big);
  ASSERT_EQ(read.pages.size(), 2u);
  for (const TiffPage &page : read.pages) {
    EXPECT_EQ(page.tags.at(256), 2u);
    EXPECT_EQ(page.tags.at(257), 3u);
    EXPECT_EQ(page.tags.at(258), 16u);
    EXPECT_EQ(page.tags.at(278), 3u) << "one strip";
    EXPECT_EQ(page.tags.at(279), 12u);
    EXPECT_EQ(page.types.at(273), 16u) << "StripOffsets as LONG8";
    EXPECT_EQ(page.tags.at(282), 0x100000001u) << "1/1 in the entry";
  }
  EXPECT_EQ(read.pages[0].pixels, first);
  EXPECT_EQ(read.pages[1].pixels, second);
  EXPECT_EQ(read.pages[0].description, "frame 1 of 2");
  EXPECT_EQ(read.pages[1].description, "x       ") << "kept at an offset, as long texts are";
  std::remove(file.c_str());
}

// The format is chosen up front from the frame count: classic as long as
// every page fits in 4 GB, BigTIFF from the first page that would not.
TEST(Tiff, TheFormatIsClassicUpTo4GBAndBigBeyond) {
  using acquire::TiffWriter;
  const std::string text = "frame 1000000 of 1000000, time 1000000.000000 s";
  const uint64_t page = TiffWriter::pageBytes(2560, 2160, text);
  const uint64_t fits =
      (TiffWriter::maxFileBytes - TiffWriter::headerBytes(TiffWriter::Format::classic)) / page;
  EXPECT_EQ(fits, 388u);
  EXPECT_EQ(TiffWriter::formatFor(fits, 2560, 2160, text), TiffWriter::Format::classic);
  EXPECT_EQ(TiffWriter::formatFor(fits + 1, 2560, 2160, text), TiffWriter::Format::big);
  EXPECT_EQ(TiffWriter::formatFor(2000, 2560, 2160, text), TiffWriter::Format::big);
  EXPECT_EQ(TiffWriter::formatFor(1000000, 96, 64, text), TiffWriter::Format::big);
  EXPECT_EQ(TiffWriter::formatFor(10, 96, 64, text), TiffWriter::Format::classic);
  EXPECT_EQ(TiffWriter::formatFor(1, 65535, 32769, text), TiffWriter::Format::big);
}

// Through sinks that keep nothing: a classic file refuses the page that
// would pass 4 GB, a BigTIFF takes it and goes on.
TEST(Tiff, AClassicFileStopsAt4GBWhereABigOneGoesOn) {
  using acquire::TiffWriter;
  const uint32_t side = 8192; // 128 MB a page
  const std::vector<uint16_t> pixels(size_t(side) * side, 7);
  const uint64_t fits = (TiffWriter::maxFileBytes - 8) / TiffWriter::pageBytes(side, side, "page");

  auto classicSink = std::make_unique<acquire::DiscardingSink>();
  acquire::DiscardingSink &classicBytes = *classicSink;
  TiffWriter classic(std::move(classicSink), TiffWriter::Format::classic);
  for (uint64_t i = 0; i < fits; ++i) classic.addPage(pixels.data(), side, side, "page");
  EXPECT_THROW(classic.addPage(pixels.data(), side, side, "page"), std::runtime_error);
  EXPECT_EQ(classic.pages(), fits);
  EXPECT_LE(classicBytes.end(), TiffWriter::maxFileBytes);

  auto bigSink = std::make_unique<acquire::DiscardingSink>();
  acquire::DiscardingSink &bigBytes = *bigSink;
  TiffWriter big(std::move(bigSink), TiffWriter::Format::big);
  for (uint64_t i = 0; i < fits + 2; ++i) big.addPage(pixels.data(), side, side, "page");
  EXPECT_EQ(big.pages(), fits + 2);
  EXPECT_GT(big.bytes(), TiffWriter::maxFileBytes);
  EXPECT_EQ(bigBytes.end(), big.bytes());
}
