#include "tiff_writer.h"

#include <stdexcept>
#include <vector>

namespace acquire {
namespace {

enum : std::uint16_t { typeAscii = 2, typeShort = 3, typeLong = 4, typeRational = 5 };

struct Entry {
  std::uint16_t tag, type;
  std::uint32_t count, value; // value, or offset of the value when it does not fit in 4 bytes
};

constexpr std::uint32_t entryCount = 14;
constexpr std::uint32_t directoryBytes = 2 + entryCount * 12 + 4;
constexpr std::uint32_t rationalBytes = 16; // X and Y resolution

void put16(std::vector<std::uint8_t> &out, std::uint32_t value) {
  out.push_back(std::uint8_t(value));
  out.push_back(std::uint8_t(value >> 8));
}

void put32(std::vector<std::uint8_t> &out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

// Text with its NUL, padded to an even length so the next page starts on a word.
std::uint32_t textBytes(const std::string &text) {
  std::uint32_t bytes = std::uint32_t(text.size()) + 1;
  return bytes + (bytes & 1);
}

// A text of at most 3 characters would have to sit in the entry itself;
// padding keeps every description at an offset.
std::string padded(const std::string &text) {
  return text.size() >= 4 ? text : text + std::string(4 - text.size(), ' ');
}

} // namespace

std::uint64_t TiffWriter::pageBytes(std::uint32_t width, std::uint32_t height,
                                    const std::string &description) {
  return std::uint64_t(width) * height * 2 + directoryBytes + rationalBytes +
         textBytes(padded(description));
}

TiffWriter::TiffWriter(const std::string &file) : file_(file) {
  out_.open(file, std::ios::binary | std::ios::trunc);
  if (!out_)
    throw std::runtime_error("cannot write " + file);
  // "II", 42, and the first directory's offset, filled in by the first page.
  const std::uint8_t header[8] = {'I', 'I', 42, 0, 0, 0, 0, 0};
  out_.write(reinterpret_cast<const char *>(header), sizeof header);
  end_ = sizeof header;
  check("write");
}

void TiffWriter::check(const char *what) {
  if (!out_)
    throw std::runtime_error("cannot " + std::string(what) + " " + file_);
}

void TiffWriter::addPage(const std::uint16_t *pixels, std::uint32_t width, std::uint32_t height,
                         const std::string &given) {
  const std::string description = padded(given);
  if (width == 0 || height == 0)
    throw std::runtime_error("an empty image cannot be a TIFF page");
  if (end_ + pageBytes(width, height, description) > maxFileBytes)
    throw std::runtime_error(file_ + " would pass the 4 GB a TIFF can hold");

  const std::uint32_t dataOffset = std::uint32_t(end_);
  const std::uint32_t dataBytes = width * height * 2;
  const std::uint32_t directory = dataOffset + dataBytes;
  const std::uint32_t rationals = directory + directoryBytes;
  const std::uint32_t text = rationals + rationalBytes;

  // Pixels, low byte first whatever the host's order.
  std::vector<std::uint8_t> bytes;
  bytes.reserve(std::size_t(dataBytes));
  for (std::size_t i = 0, n = std::size_t(width) * height; i < n; ++i)
    put16(bytes, pixels[i]);

  // Tags in ascending order, as readers expect.
  const Entry entries[entryCount] = {
      {256, typeLong, 1, width},                          // ImageWidth
      {257, typeLong, 1, height},                         // ImageLength
      {258, typeShort, 1, 16},                            // BitsPerSample
      {259, typeShort, 1, 1},                             // Compression: none
      {262, typeShort, 1, 1},                             // Photometric: black is zero
      {270, typeAscii, std::uint32_t(description.size()) + 1, text}, // ImageDescription
      {273, typeLong, 1, dataOffset},                     // StripOffsets
      {277, typeShort, 1, 1},                             // SamplesPerPixel
      {278, typeLong, 1, height},                         // RowsPerStrip: one strip
      {279, typeLong, 1, dataBytes},                      // StripByteCounts
      {282, typeRational, 1, rationals},                  // XResolution
      {283, typeRational, 1, rationals + 8},              // YResolution
      {296, typeShort, 1, 1},                             // ResolutionUnit: none
      {339, typeShort, 1, 1},                             // SampleFormat: unsigned
  };
  put16(bytes, entryCount);
  for (const Entry &entry : entries) {
    put16(bytes, entry.tag);
    put16(bytes, entry.type);
    put32(bytes, entry.count);
    if (entry.type == typeShort && entry.count == 1) {
      put16(bytes, entry.value);
      put16(bytes, 0);
    } else {
      put32(bytes, entry.value);
    }
  }
  put32(bytes, 0); // the last page so far
  for (int axis = 0; axis < 2; ++axis) {
    put32(bytes, 1);
    put32(bytes, 1);
  }
  bytes.insert(bytes.end(), description.begin(), description.end());
  bytes.resize(bytes.size() + textBytes(description) - description.size(), 0);

  out_.seekp(std::streamoff(end_));
  out_.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
  // Link the previous directory (or the header) to this one.
  std::vector<std::uint8_t> link;
  put32(link, directory);
  out_.seekp(std::streamoff(previousNext_));
  out_.write(reinterpret_cast<const char *>(link.data()), 4);
  check("write");
  previousNext_ = directory + 2 + entryCount * 12;
  end_ += bytes.size();
  ++pages_;
}

void TiffWriter::close() {
  out_.close();
  check("write");
}

} // namespace acquire
