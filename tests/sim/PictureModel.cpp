#include "tests/sim/PictureModel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace simtest {
namespace {

// The documented 3x5 block font, rows top to bottom, "#" a filled cell.
const char* const kFont[10][5] = {
    {"###", "#.#", "#.#", "#.#", "###"}, {".#.", "##.", ".#.", ".#.", "###"}, {"###", "..#", "###", "#..", "###"},
    {"###", "..#", "###", "..#", "###"}, {"#.#", "#.#", "###", "..#", "..#"}, {"###", "#..", "###", "..#", "###"},
    {"###", "#..", "###", "#.#", "###"}, {"###", "..#", "..#", "..#", "..#"}, {"###", "#.#", "###", "#.#", "###"},
    {"###", "#.#", "###", "..#", "###"},
};

bool near(int a, int b, int tolerance) { return std::abs(a - b) <= tolerance; }

}  // namespace

bool fontCellFilled(int digit, int row, int column) { return kFont[digit][row][column] == '#'; }

sim::Yuv expectedSceneColour(int x, int y, int width, int height, const sim::PtzView& ptz) {
  const int sceneRows = height - sim::stripHeight(height);
  const double zoom = std::pow(1.25, ptz.zoom);
  const double u = (x + 0.5) / width, v = (y + 0.5) / sceneRows;
  double sx = ptz.pan / 16.0 + 0.5 + (u - 0.5) / zoom;
  double sy = ptz.tilt / 16.0 + 0.5 + (v - 0.5) / zoom;
  sx -= std::floor(sx);
  sy -= std::floor(sy);
  const int column = std::min(7, static_cast<int>(sx * 8));
  sim::Yuv c = sy < 0.75 ? sim::kBarColours[column]
                         : sim::Yuv{static_cast<std::uint8_t>(sim::greyStepLuma(column)), 128, 128};
  c.y = static_cast<std::uint8_t>(std::clamp(c.y + 16 * ptz.iris, 16, 235));
  return c;
}

int countSceneMismatches(const Picture& p, const sim::PtzView& ptz) {
  const int sceneRows = p.height - sim::stripHeight(p.height);
  int mismatches = 0;
  for (int y = 4; y < sceneRows - 4; y += 6)
    for (int x = 4; x < p.width - 4; x += 6) {
      const sim::Yuv want = expectedSceneColour(x, y, p.width, p.height, ptz);
      bool edge = false;
      for (int d = -4; d <= 4 && !edge; ++d) {
        const sim::Yuv a = expectedSceneColour(std::clamp(x + d, 0, p.width - 1), y, p.width, p.height, ptz);
        const sim::Yuv b = expectedSceneColour(x, std::clamp(y + d, 0, sceneRows - 1), p.width, p.height, ptz);
        edge = a.y != want.y || a.u != want.u || b.y != want.y || b.u != want.u || a.v != want.v || b.v != want.v;
      }
      if (edge) continue;
      if (!near(p.lumaAt(x, y), want.y, 12) || !near(p.uAt(x, y), want.u, 14) || !near(p.vAt(x, y), want.v, 14))
        ++mismatches;
    }
  return mismatches;
}

bool stripShowsNumber(const Picture& p, int number) {
  const int strip = sim::stripHeight(p.height);
  const int sceneRows = p.height - strip;
  const int cell = std::max(2, strip / 8);
  const int top = sceneRows + (strip - 5 * cell) / 2;
  const std::string digits = std::to_string(number);
  int x = cell;
  for (char ch : digits) {
    for (int row = 0; row < 5; ++row)
      for (int col = 0; col < 3; ++col) {
        const bool filled = kFont[ch - '0'][row][col] == '#';
        const int cx = x + col * cell + cell / 2, cy = top + row * cell + cell / 2;
        const bool looksFilled = near(p.uAt(cx, cy), sim::kDigitColour.u, 30) && near(p.lumaAt(cx, cy), sim::kDigitColour.y, 30);
        if (filled != looksFilled) return false;
      }
    x += 4 * cell;
  }
  // Nothing drawn after the last digit but strip.
  const int cy = top + 2 * cell + cell / 2;
  return !near(p.uAt(x + cell / 2, cy), sim::kDigitColour.u, 30);
}

int blockPosition(const Picture& p) {
  const int strip = sim::stripHeight(p.height);
  const int row = p.height - strip / 2;
  const int cell = std::max(2, strip / 8);
  for (int x = cell; x < p.width; ++x)
    if (p.lumaAt(x, row) > 180 && near(p.uAt(x, row), 128, 20)) return x;
  return -1;
}

}  // namespace simtest
