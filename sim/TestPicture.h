#pragma once
#include <cstdint>
#include <vector>

// The synthetic picture every simulated camera shows (layout in sim/README.md):
// colour bars over grey steps, moved by pan and tilt, scaled by zoom, blurred by
// focus and brightened by iris, above a strip with the camera's number drawn in
// blocks and a block that moves to and fro.
namespace sim {

// Pan-tilt-zoom position of a simulated camera, in whole steps.
struct PtzView {
  int pan = 0;    // 0..15, sixteenths of the scene width
  int tilt = 0;   // 0..15, sixteenths of the scene height
  int zoom = 0;   // 0..10, factor 1.25^zoom
  int focus = 0;  // -4..4, blur radius 2*|focus| pixels
  int iris = 0;   // -4..4, luma offset 16*iris

  bool operator==(const PtzView&) const = default;
  auto operator<=>(const PtzView&) const = default;
};

struct Yuv {
  std::uint8_t y, u, v;
};

// BT.601 limited-range colours of the bars, left to right: white, yellow,
// cyan, green, magenta, red, blue, black.
extern const Yuv kBarColours[8];
inline constexpr Yuv kStripLive{40, 128, 128};
inline constexpr Yuv kStripPlayback{40, 170, 110};
inline constexpr Yuv kDigitColour{210, 16, 146};
inline constexpr Yuv kBlockColour{235, 128, 128};

// Luma of grey step i (0..7) of the lower quarter of the scene.
inline constexpr int greyStepLuma(int i) { return 235 - 31 * i; }

// Height of the bottom strip for a picture `height` rows high.
inline constexpr int stripHeight(int height) {
  const int h = (height / 8) & ~1;
  return h < 16 ? 16 : h;
}

// One I420 picture (Y plane, then U, then V).
struct I420Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> data;
  std::uint8_t* y() { return data.data(); }
  std::uint8_t* u() { return data.data() + width * height; }
  std::uint8_t* v() { return data.data() + width * height * 5 / 4; }
  const std::uint8_t* y() const { return data.data(); }
  const std::uint8_t* u() const { return data.data() + width * height; }
  const std::uint8_t* v() const { return data.data() + width * height * 5 / 4; }
};

// Renders the pictures of one camera state; the scene part is drawn once and
// reused for every frame.
class TestPicture {
 public:
  TestPicture(int width, int height, int number, const PtzView& ptz, bool playback);

  // Frame `index` of a loop of `loopFrames` frames: the moving block goes to
  // the right in the first half of the loop and back in the second.
  void render(int index, int loopFrames, I420Picture& out) const;

 private:
  void drawStrip(int index, int loopFrames, I420Picture& out) const;

  int width_;
  int height_;
  int number_;
  I420Picture scene_;  // the whole picture without the moving block
};

}  // namespace sim
