// The picture a simulated camera shows: a fixed scene (a tilted background
// with a few bright round blobs) with fresh noise in every image, stamped
// with the image's sequence number so a reader can tell images apart.
//
// Rendering must keep up with large fast cameras, so the scene is computed
// once per geometry and each image is the scene plus a window of a
// precomputed noise table, at an offset chosen by the sequence number: two
// streams of contiguous adds, no per-pixel random numbers.
//
// Stamp: in 16-bit images pixel 0 holds the low 16 bits of the sequence
// number and pixel 1 the high 16 bits; in 8-bit images bytes 0 to 3 hold it,
// little-endian. An image too small for the stamp holds as much as fits.
#ifndef CAMERA_SIM_SYNTHETIC_SCENE_H
#define CAMERA_SIM_SYNTHETIC_SCENE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace camsim {

class SyntheticScene {
public:
  // bitDepth 8 renders bytes; 9 to 16 render 16-bit pixels whose values fit
  // in bitDepth bits (the stamp aside).
  SyntheticScene(uint32_t width, uint32_t height, uint32_t bitDepth);

  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }
  uint32_t bitDepth() const { return bitDepth_; }
  size_t pixelCount() const { return base_.size(); }
  size_t bytesPerPixel() const { return bitDepth_ <= 8 ? 1 : 2; }
  size_t imageBytes() const { return pixelCount() * bytesPerPixel(); }

  void render16(uint16_t *pixels, uint32_t sequence) const;
  void render8(uint8_t *pixels, uint32_t sequence) const;
  // Either of the above, by bit depth, into imageBytes() bytes.
  void render(void *image, uint32_t sequence) const;

private:
  template <typename Pixel, typename Source>
  void renderInto(Pixel *pixels, const Source *base, const Source *noise, uint32_t sequence) const;

  uint32_t width_;
  uint32_t height_;
  uint32_t bitDepth_;
  std::vector<uint16_t> base_;  // scene values, leaving room for the noise
  std::vector<uint16_t> noise_; // the noise table
  // The same, narrowed, for 8-bit scenes: rendering then reads a byte per
  // pixel, as many as it writes.
  std::vector<uint8_t> base8_;
  std::vector<uint8_t> noise8_;
};

} // namespace camsim

#endif
