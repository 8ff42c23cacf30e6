#include "tiff_writer.h"

#include <cstring>
#include <stdexcept>
#include <utility>

namespace acquire {
namespace {

enum : std::uint16_t { typeAscii = 2, typeShort = 3, typeLong = 4, typeRational = 5, typeLong8 = 16 };

struct Entry {
  std::uint16_t tag, type;
  std::uint64_t count, value; // value, or offset of the value when it does not fit in the entry
};

constexpr std::uint32_t entryCount = 14;

// The sizes that differ between the two formats: an offset (and a count) is
// 4 bytes in a classic TIFF and 8 in a BigTIFF.
struct Layout {
  std::uint32_t offsetBytes;
  std::uint64_t header, directory, rationals;
};

Layout layoutOf(TiffWriter::Format format) {
  if (format == TiffWriter::Format::big)
    // The two resolutions fit in their entries.
    return {8, 16, 8 + entryCount * 20 + 8, 0};
  return {4, 8, 2 + entryCount * 12 + 4, 16};
}

void put(std::vector<std::uint8_t> &out, std::uint64_t value, std::uint32_t bytes) {
  for (std::uint32_t i = 0; i < bytes; ++i) out.push_back(std::uint8_t(value >> (8 * i)));
}

// A description that would fit in its entry is padded so that every
// description sits at an offset, where readers look for long ones.
std::string padded(const std::string &text, const Layout &layout) {
  return text.size() >= layout.offsetBytes ? text : text + std::string(layout.offsetBytes - text.size(), ' ');
}

// Text with its NUL, padded to an even length so the next page starts on a word.
std::uint64_t textBytes(const std::string &text) {
  const std::uint64_t bytes = text.size() + 1;
  return bytes + (bytes & 1);
}

bool littleEndianHost() {
  const std::uint16_t one = 1;
  std::uint8_t first = 0;
  std::memcpy(&first, &one, 1);
  return first == 1;
}

} // namespace

std::uint64_t TiffWriter::headerBytes(Format format) { return layoutOf(format).header; }

std::uint64_t TiffWriter::pageBytes(Format format, std::uint32_t width, std::uint32_t height,
                                    const std::string &description) {
  const Layout layout = layoutOf(format);
  return std::uint64_t(width) * height * 2 + layout.directory + layout.rationals +
         textBytes(padded(description, layout));
}

TiffWriter::Format TiffWriter::formatFor(std::uint64_t pages, std::uint32_t width, std::uint32_t height,
                                         const std::string &longestDescription) {
  const std::uint64_t page = pageBytes(Format::classic, width, height, longestDescription);
  const std::uint64_t room = maxFileBytes - headerBytes(Format::classic);
  return page == 0 || pages <= room / page ? Format::classic : Format::big;
}

TiffWriter::TiffWriter(std::unique_ptr<ByteSink> sink, Format format)
    : sink_(std::move(sink)), format_(format) {
  // The byte order, the version (42, or 43 with 8-byte offsets and a zero),
  // and the first directory's offset, filled in by the first page.
  std::vector<std::uint8_t> header = {'I', 'I'};
  if (format == Format::big) {
    put(header, 43, 2);
    put(header, 8, 2);
    put(header, 0, 2);
    put(header, 0, 8);
  } else {
    put(header, 42, 2);
    put(header, 0, 4);
  }
  sink_->write(0, header.data(), header.size());
  end_ = header.size();
  previousNext_ = header.size() - layoutOf(format).offsetBytes;
}

TiffWriter::TiffWriter(const std::string &file, Format format)
    : TiffWriter(std::make_unique<FileSink>(file), format) {}

void TiffWriter::addPage(const std::uint16_t *pixels, std::uint32_t width, std::uint32_t height,
                         const std::string &given) {
  const Layout layout = layoutOf(format_);
  const std::string description = padded(given, layout);
  if (width == 0 || height == 0) throw std::runtime_error("an empty image cannot be a TIFF page");
  if (format_ == Format::classic && end_ + pageBytes(format_, width, height, description) > maxFileBytes)
    throw std::runtime_error(sink_->name() + " would pass the 4 GB a classic TIFF can hold");

  const std::uint64_t dataOffset = end_;
  const std::uint64_t dataBytes = std::uint64_t(width) * height * 2;
  const std::uint64_t directory = dataOffset + dataBytes;
  const std::uint64_t rationals = directory + layout.directory;
  const std::uint64_t text = rationals + layout.rationals;
  const bool big = format_ == Format::big;
  // In a BigTIFF the numerator and denominator (1 and 1) sit in the entry.
  const std::uint64_t resolution = big ? 0x100000001u : rationals;

  // Pixels, low byte first whatever the host's order: straight from the
  // caller's frame on the hosts we build for.
  if (littleEndianHost()) {
    sink_->write(dataOffset, pixels, std::size_t(dataBytes));
  } else {
    scratch_.clear();
    for (std::size_t i = 0, n = std::size_t(width) * height; i < n; ++i) put(scratch_, pixels[i], 2);
    sink_->write(dataOffset, scratch_.data(), scratch_.size());
  }

  // Tags in ascending order, as readers expect.
  const std::uint16_t offsetType = big ? typeLong8 : typeLong;
  const Entry entries[entryCount] = {
      {256, typeLong, 1, width},                                // ImageWidth
      {257, typeLong, 1, height},                               // ImageLength
      {258, typeShort, 1, 16},                                  // BitsPerSample
      {259, typeShort, 1, 1},                                   // Compression: none
      {262, typeShort, 1, 1},                                   // Photometric: black is zero
      {270, typeAscii, description.size() + 1, text},           // ImageDescription
      {273, offsetType, 1, dataOffset},                         // StripOffsets
      {277, typeShort, 1, 1},                                   // SamplesPerPixel
      {278, typeLong, 1, height},                               // RowsPerStrip: one strip
      {279, offsetType, 1, dataBytes},                          // StripByteCounts
      {282, typeRational, 1, resolution},                       // XResolution
      {283, typeRational, 1, big ? resolution : rationals + 8}, // YResolution
      {296, typeShort, 1, 1},                                   // ResolutionUnit: none
      {339, typeShort, 1, 1},                                   // SampleFormat: unsigned
  };
  scratch_.clear();
  put(scratch_, entryCount, big ? 8 : 2);
  for (const Entry &entry : entries) {
    put(scratch_, entry.tag, 2);
    put(scratch_, entry.type, 2);
    put(scratch_, entry.count, layout.offsetBytes);
    put(scratch_, entry.value, layout.offsetBytes); // a short value in its first two bytes
  }
  put(scratch_, 0, layout.offsetBytes); // the last page so far
  if (!big)
    for (int axis = 0; axis < 2; ++axis) {
      put(scratch_, 1, 4);
      put(scratch_, 1, 4);
    }
  scratch_.insert(scratch_.end(), description.begin(), description.end());
  scratch_.resize(scratch_.size() + std::size_t(textBytes(description) - description.size()), 0);
  sink_->write(directory, scratch_.data(), scratch_.size());

  // Only now, with the page whole, does the previous directory (or the
  // header) lead to it: a reader never finds a link to a page half written.
  std::vector<std::uint8_t> link;
  put(link, directory, layout.offsetBytes);
  sink_->write(previousNext_, link.data(), link.size());
  previousNext_ = directory + layout.directory - layout.offsetBytes;
  end_ = directory + scratch_.size();
  ++pages_;
}

void TiffWriter::close() { sink_->close(); }

} // namespace acquire
