#include "sim/TestPicture.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace sim {

const Yuv kBarColours[8] = {
    {235, 128, 128},  // white
    {210, 16, 146},   // yellow
    {170, 166, 16},   // cyan
    {145, 54, 34},    // green
    {106, 202, 222},  // magenta
    {81, 90, 240},    // red
    {41, 240, 110},   // blue
    {16, 128, 128},   // black
};

namespace {

// 3x5 block digits, one row per byte, bit 2 the leftmost cell.
constexpr std::uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

double frac(double x) { return x - std::floor(x); }

Yuv sceneColour(double sx, double sy, int iris) {
  const int column = std::min(7, static_cast<int>(sx * 8));
  Yuv c = sy < 0.75 ? kBarColours[column]
                    : Yuv{static_cast<std::uint8_t>(greyStepLuma(column)), 128, 128};
  c.y = static_cast<std::uint8_t>(std::clamp(c.y + 16 * iris, 16, 235));
  return c;
}

void fillRect(I420Picture& p, int x0, int y0, int w, int h, Yuv c) {
  x0 = std::max(0, x0 & ~1);
  y0 = std::max(0, y0 & ~1);
  const int x1 = std::min(p.width, x0 + w), y1 = std::min(p.height, y0 + h);
  for (int y = y0; y < y1; ++y) std::fill(p.y() + y * p.width + x0, p.y() + y * p.width + x1, c.y);
  const int cw = p.width / 2;
  for (int y = y0 / 2; y < (y1 + 1) / 2; ++y) {
    std::fill(p.u() + y * cw + x0 / 2, p.u() + y * cw + (x1 + 1) / 2, c.u);
    std::fill(p.v() + y * cw + x0 / 2, p.v() + y * cw + (x1 + 1) / 2, c.v);
  }
}

// Box blur of radius r over the first `rows` rows of one plane.
void blurPlane(std::uint8_t* plane, int width, int rows, int r) {
  if (r <= 0) return;
  std::vector<int> line(std::max(width, rows));
  for (int y = 0; y < rows; ++y) {
    std::uint8_t* row = plane + y * width;
    for (int x = 0; x < width; ++x) line[x] = row[x];
    for (int x = 0; x < width; ++x) {
      int sum = 0, n = 0;
      for (int k = std::max(0, x - r); k <= std::min(width - 1, x + r); ++k, ++n) sum += line[k];
      row[x] = static_cast<std::uint8_t>(sum / n);
    }
  }
  for (int x = 0; x < width; ++x) {
    for (int y = 0; y < rows; ++y) line[y] = plane[y * width + x];
    for (int y = 0; y < rows; ++y) {
      int sum = 0, n = 0;
      for (int k = std::max(0, y - r); k <= std::min(rows - 1, y + r); ++k, ++n) sum += line[k];
      plane[y * width + x] = static_cast<std::uint8_t>(sum / n);
    }
  }
}

}  // namespace

TestPicture::TestPicture(int width, int height, int number, const PtzView& ptz, bool playback)
    : width_(width), height_(height), number_(number) {
  scene_.width = width;
  scene_.height = height;
  scene_.data.resize(static_cast<std::size_t>(width) * height * 3 / 2);
  const int sceneRows = height - stripHeight(height);
  const double zoom = std::pow(1.25, ptz.zoom);
  auto sceneAt = [&](int x, int y) {
    const double u = (x + 0.5) / width, v = (y + 0.5) / sceneRows;
    const double sx = frac(ptz.pan / 16.0 + 0.5 + (u - 0.5) / zoom);
    const double sy = frac(ptz.tilt / 16.0 + 0.5 + (v - 0.5) / zoom);
    return sceneColour(sx, sy, ptz.iris);
  };
  for (int y = 0; y < sceneRows; ++y)
    for (int x = 0; x < width; ++x) scene_.y()[y * width + x] = sceneAt(x, y).y;
  const int cw = width / 2;
  for (int y = 0; y < sceneRows / 2; ++y)
    for (int x = 0; x < cw; ++x) {
      const Yuv c = sceneAt(2 * x, 2 * y);
      scene_.u()[y * cw + x] = c.u;
      scene_.v()[y * cw + x] = c.v;
    }
  const int radius = 2 * std::abs(ptz.focus);
  blurPlane(scene_.y(), width, sceneRows, radius);
  blurPlane(scene_.u(), cw, sceneRows / 2, radius / 2);
  blurPlane(scene_.v(), cw, sceneRows / 2, radius / 2);

  // The strip and the number; only the moving block changes between frames.
  const int strip = stripHeight(height);
  fillRect(scene_, 0, sceneRows, width, strip, playback ? kStripPlayback : kStripLive);
  const int cell = std::max(2, strip / 8);
  const int top = sceneRows + (strip - 5 * cell) / 2;
  const std::string digits = std::to_string(number);
  int x = cell;
  for (char ch : digits) {
    const auto& glyph = kDigits[ch - '0'];
    for (int row = 0; row < 5; ++row)
      for (int col = 0; col < 3; ++col)
        if (glyph[row] & (4 >> col)) fillRect(scene_, x + col * cell, top + row * cell, cell, cell, kDigitColour);
    x += 4 * cell;
  }
}

void TestPicture::render(int index, int loopFrames, I420Picture& out) const {
  out = scene_;
  drawStrip(index, loopFrames, out);
}

void TestPicture::drawStrip(int index, int loopFrames, I420Picture& out) const {
  const int strip = stripHeight(height_);
  const int sceneRows = height_ - strip;
  const int cell = std::max(2, strip / 8);
  const int side = ((strip * 3) / 4) & ~1;
  const int digitsEnd = cell + 4 * cell * static_cast<int>(std::to_string(number_).size());
  const int x0 = (digitsEnd + cell) & ~1;
  const int travel = std::max(0, width_ - side - x0);
  const double t = loopFrames > 0 ? static_cast<double>(index % loopFrames) / loopFrames : 0;
  const double along = t < 0.5 ? 2 * t : 2 - 2 * t;
  const int x = x0 + static_cast<int>(std::lround(along * travel));
  fillRect(out, x, sceneRows + (strip - side) / 2, side, side, kBlockColour);
}

}  // namespace sim
