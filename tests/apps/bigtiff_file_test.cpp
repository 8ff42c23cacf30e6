// A TIFF past 4 GB, read back by libtiff. The file is sparse: the writer's
// bytes go through a sink that leaves blocks of zeros as holes, so the pages
// that are all black cost no disk, while the offsets past 4 GB are real.
#include "process_temp_path.h"
#include "tiff_writer.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class SparseFile : public acquire::ByteSink {
public:
  explicit SparseFile(const std::string &file) : file_(file) {
    fd_ = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd_ < 0) throw std::runtime_error("cannot make " + file);
  }
  ~SparseFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  void write(std::uint64_t offset, const void *bytes, std::size_t size) override {
    static const std::vector<char> zeros(block, 0);
    const char *from = static_cast<const char *>(bytes);
    for (std::size_t at = 0; at < size; at += block) {
      const std::size_t n = std::min(block, size - at);
      if (std::memcmp(from + at, zeros.data(), n) != 0 &&
          ::pwrite(fd_, from + at, n, off_t(offset + at)) != ssize_t(n))
        throw std::runtime_error("cannot write " + file_);
    }
    end_ = std::max(end_, offset + size);
  }
  void close() override {
    if (::ftruncate(fd_, off_t(end_)) != 0 || ::close(fd_) != 0)
      throw std::runtime_error("cannot write " + file_);
    fd_ = -1;
  }
  const std::string &name() const override { return file_; }

private:
  static constexpr std::size_t block = 1 << 16;
  std::string file_;
  int fd_ = -1;
  std::uint64_t end_ = 0;
};

constexpr std::uint32_t side = 4096; // 32 MB a page

// Pages with a picture of their own; all others are black.
bool drawn(std::uint32_t page, std::uint32_t pages) { return page == 0 || page == 64 || page == pages - 1; }

std::vector<std::uint16_t> pictureOf(std::uint32_t page) {
  std::vector<std::uint16_t> pixels(std::size_t(side) * side);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = std::uint16_t(i * 31 + page * 977 + 1);
  return pixels;
}

} // namespace

TEST(BigTiff, AFilePast4GBReadsBackPageByPageInLibtiff) {
  using acquire::TiffWriter;
  const std::string description = "frame 130 of 130, time 12.345678 s";
  const std::uint32_t pages =
      std::uint32_t((TiffWriter::maxFileBytes) / TiffWriter::pageBytes(side, side, description) + 2);
  ASSERT_EQ(TiffWriter::formatFor(pages, side, side, description), TiffWriter::Format::big);
  const std::string file = processTempPath("acquire_past_4gb.tif").string();
  {
    const std::vector<std::uint16_t> black(std::size_t(side) * side, 0);
    TiffWriter tiff(std::make_unique<SparseFile>(file), TiffWriter::Format::big);
    for (std::uint32_t page = 0; page < pages; ++page) {
      const std::string text = "frame " + std::to_string(page + 1) + " of " + std::to_string(pages);
      if (drawn(page, pages))
        tiff.addPage(pictureOf(page).data(), side, side, text);
      else
        tiff.addPage(black.data(), side, side, text);
    }
    tiff.close();
    EXPECT_GT(tiff.bytes(), TiffWriter::maxFileBytes);
    EXPECT_EQ(std::filesystem::file_size(file), tiff.bytes());
  }

  TIFF *tiff = TIFFOpen(file.c_str(), "r");
  ASSERT_NE(tiff, nullptr);
  EXPECT_TRUE(TIFFIsBigTIFF(tiff));
  EXPECT_EQ(TIFFNumberOfDirectories(tiff), pages);
  std::vector<std::uint16_t> pixels(std::size_t(side) * side);
  for (std::uint32_t page : {0u, 1u, 64u, pages - 2, pages - 1}) {
    ASSERT_TRUE(TIFFSetDirectory(tiff, tdir_t(page))) << page;
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 0;
    char *text = nullptr;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_IMAGEDESCRIPTION, &text));
    EXPECT_EQ(width, side);
    EXPECT_EQ(height, side);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(std::string(text), "frame " + std::to_string(page + 1) + " of " + std::to_string(pages));
    // libtiff may read one uncompressed strip as many smaller ones.
    tmsize_t read = 0;
    for (tstrip_t strip = 0, strips = TIFFNumberOfStrips(tiff); strip < strips; ++strip) {
      const tmsize_t n = TIFFReadEncodedStrip(tiff, strip, reinterpret_cast<char *>(pixels.data()) + read,
                                              tmsize_t(pixels.size() * 2) - read);
      ASSERT_GT(n, 0) << "page " << page << ", strip " << strip;
      read += n;
    }
    ASSERT_EQ(read, tmsize_t(pixels.size() * 2)) << page;
    if (drawn(page, pages))
      EXPECT_TRUE(pixels == pictureOf(page)) << "page " << page;
    else
      EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](std::uint16_t v) { return v == 0; }))
          << "page " << page;
  }
  TIFFClose(tiff);
  std::filesystem::remove(file);
}
