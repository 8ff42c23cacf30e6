// The picture a simulated camera shows: bright round spots over a tilted
// background, with fresh noise in every image, stamped with the image's
// sequence number so a reader can tell images apart.
//
// The spots drift, each in its own direction, and blink, as images follow
// one another: motion.rate is how far they travel per image, in pixels (0
// holds the scene still). Where a spot starts, where it heads, when it
// blinks and the noise all follow from motion.seed, and what an image shows
// from its sequence number alone: the same seed gives the same images,
// number for number, whatever the order they are made in. A spot that
// drifts out over one edge comes back over the opposite one.
//
// Rendering must keep up with large fast cameras, so nothing is computed
// per pixel and image: the background (with the spots, when they hold
// still) is computed once per geometry, each spot's shape once, and each
// image is the background plus a window of a precomputed noise table, at an
// offset chosen by the sequence number (two streams of contiguous adds),
// with the moving spots added over their boxes a block of rows at a time,
// while the block is in the cache. The noise adds at most
// noiseAmplitude() to a pixel: images of a still scene differ by no more.
//
// Stamp: in 16-bit images pixel 0 holds the low 16 bits of the sequence
// number and pixel 1 the high 16 bits; in 8-bit images bytes 0 to 3 hold it,
// little-endian. An image too small for the stamp holds as much as fits.
#ifndef CAMERA_SIM_SYNTHETIC_SCENE_H
#define CAMERA_SIM_SYNTHETIC_SCENE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim_common {

struct SceneMotion {
  static constexpr double fastest = 1000; // pixels per image
  static constexpr double defaultRate = 1;
  static constexpr uint32_t defaultSeed = 1;

  double rate = defaultRate;
  uint32_t seed = defaultSeed;

  static bool validRate(double rate) { return rate >= 0 && rate <= fastest; }
  bool operator==(const SceneMotion &other) const { return rate == other.rate && seed == other.seed; }
  bool operator!=(const SceneMotion &other) const { return !(*this == other); }
};

class SyntheticScene {
public:
  // bitDepth 8 renders bytes; 9 to 16 render 16-bit pixels whose values fit
  // in bitDepth bits (the stamp aside).
  SyntheticScene(uint32_t width, uint32_t height, uint32_t bitDepth, SceneMotion motion = {});

  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }
  uint32_t bitDepth() const { return bitDepth_; }
  const SceneMotion &motion() const { return motion_; }
  uint32_t noiseAmplitude() const { return noiseMax_; }
  size_t pixelCount() const { return base_.size(); }
  size_t bytesPerPixel() const { return bitDepth_ <= 8 ? 1 : 2; }
  size_t imageBytes() const { return pixelCount() * bytesPerPixel(); }

  void render16(uint16_t *pixels, uint32_t sequence) const;
  void render8(uint8_t *pixels, uint32_t sequence) const;
  // Either of the above, by bit depth, into imageBytes() bytes.
  void render(void *image, uint32_t sequence) const;

private:
  // A spot's shape, precomputed: side x side values, centred.
  struct Spot {
    double x, y;   // where it starts, pixels
    double dx, dy; // its direction, a unit vector
    double blinkPhase;
    long side;
    std::vector<uint16_t> shape;
  };

  // Where a spot's box has its top left corner in an image.
  struct Placement {
    const Spot *spot;
    long left, top;
  };

  void addSpot(Spot &spot, double radius, double brightness, uint64_t &state);
  // The moving spots that show in the image, into placed (room for every
  // spot); how many. None when the scene holds still.
  size_t placeSpots(uint32_t sequence, Placement *placed) const;
  template <typename Pixel, typename Source>
  void renderInto(Pixel *pixels, const Source *base, const Source *noise, uint32_t sequence) const;
  template <typename Pixel>
  void addSpotRows(Pixel *pixels, const Placement &placed, long rowBegin, long rowEnd,
                   uint32_t largest) const;

  uint32_t width_;
  uint32_t height_;
  uint32_t bitDepth_;
  SceneMotion motion_;
  uint32_t maxValue_;
  uint32_t noiseMax_;
  std::vector<Spot> spots_;
  std::vector<uint16_t> base_;  // background values, leaving room for the noise
  std::vector<uint16_t> noise_; // the noise table
  // The same, narrowed, for 8-bit scenes: rendering then reads a byte per
  // pixel, as many as it writes.
  std::vector<uint8_t> base8_;
  std::vector<uint8_t> noise8_;
};

} // namespace sim_common

#endif
