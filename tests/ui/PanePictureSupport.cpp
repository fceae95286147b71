#include "tests/ui/PanePictureSupport.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "media/CDecodeDo.h"
#include "sim/VideoEncoder.h"
#include "tests/media/MediaTestSupport.h"
#include "tests/sim/PictureModel.h"

namespace mc::test {

Yv12Picture decodedSimPicture(int width, int height, int number) {
  const sim::TestPicture scene(width, height, number, sim::PtzView{}, false);
  sim::VideoEncoder encoder(width, height, 25, 3000, 25);
  CDecodeDo decoder(SxtParam::create("picture"), {});
  decoder.Reset();
  sim::I420Picture i420;
  Yv12Picture out;
  // A few pictures of the still scene: the later ones refine the first.
  for (std::uint32_t i = 1; i <= 8; ++i) {
    scene.render(0, 50, i420);
    const sim::EncodedPicture coded = encoder.encode(i420);
    const VideoFramePtr frame = makeVideoFrame(AccessUnit{coded.data, coded.key}, width, height, i);
    VideoDoContext context;
    context.frame = frame.get();
    if (!decoder.Process(&context)) continue;
    out.resize(width, height);
    std::copy(context.picture, context.picture + out.size(), out.data());
  }
  decoder.Stop();
  if (out.size() == 0) throw std::runtime_error("the test picture did not decode");
  return out;
}

QColor bt601ToRgb(const sim::Yuv& yuv) {
  const double y = 255.0 / 219.0 * (yuv.y - 16);
  const double u = 255.0 / 224.0 * (yuv.u - 128);
  const double v = 255.0 / 224.0 * (yuv.v - 128);
  auto channel = [](double value) { return std::clamp(static_cast<int>(std::lround(value)), 0, 255); };
  // Kr 0.299, Kb 0.114.
  return QColor(channel(y + 1.402 * v), channel(y - 0.344136 * u - 0.714136 * v), channel(y + 1.772 * u));
}

ExpectedPixel expectedPicturePixel(double x, double y, int width, int height, double margin) {
  const int sceneRows = height - sim::stripHeight(height);
  auto colourAt = [&](double px, double py, sim::Yuv& out) {
    const int ix = static_cast<int>(std::floor(px)), iy = static_cast<int>(std::floor(py));
    if (ix < 0 || iy < 0 || ix >= width || iy >= sceneRows) return false;
    out = simtest::expectedSceneColour(ix, iy, width, height, sim::PtzView{});
    return true;
  };
  sim::Yuv centre{};
  if (!colourAt(x, y, centre)) return {};
  ExpectedPixel expected{bt601ToRgb(centre), true};
  for (const double dx : {-margin, 0.0, margin})
    for (const double dy : {-margin, 0.0, margin}) {
      sim::Yuv around{};
      if (!colourAt(x + dx, y + dy, around) || around.y != centre.y || around.u != centre.u || around.v != centre.v)
        expected.stable = false;
    }
  return expected;
}

PictureCheck checkPanePicture(const QImage& pane, const QRect& dest, const PixelRect& source, int width, int height,
                              int tolerance, int step) {
  PictureCheck check;
  const double scaleX = static_cast<double>(source.width()) / dest.width();
  const double scaleY = static_cast<double>(source.height()) / dest.height();
  // Far enough from pattern edges that neither the codec nor the scaling
  // filters mix colours there.
  const double margin = std::max({3.0, 2.5 * scaleX, 2.5 * scaleY});
  for (int py = dest.top(); py <= dest.bottom(); py += step)
    for (int px = dest.left(); px <= dest.right(); px += step) {
      const double x = source.left + (px - dest.left() + 0.5) * scaleX;
      const double y = source.top + (py - dest.top() + 0.5) * scaleY;
      const ExpectedPixel want = expectedPicturePixel(x, y, width, height, margin);
      if (!want.stable) continue;
      ++check.sampled;
      const QColor got = pane.pixelColor(px, py);
      if (std::abs(got.red() - want.rgb.red()) <= tolerance && std::abs(got.green() - want.rgb.green()) <= tolerance &&
          std::abs(got.blue() - want.rgb.blue()) <= tolerance)
        continue;
      if (++check.mismatches <= 6)
        check.report += QString("(%1,%2) shows %3 instead of %4; ")
                            .arg(px)
                            .arg(py)
                            .arg(got.name(), want.rgb.name());
    }
  return check;
}

int countPixelsOff(const QImage& image, const QRect& area, const QColor& colour, int tolerance) {
  int off = 0;
  const QRect inside = area.intersected(image.rect());
  for (int y = inside.top(); y <= inside.bottom(); ++y)
    for (int x = inside.left(); x <= inside.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - colour.red()) > tolerance || std::abs(c.green() - colour.green()) > tolerance ||
          std::abs(c.blue() - colour.blue()) > tolerance)
        ++off;
    }
  return off;
}

// Each cell of each digit is yellow where the font fills it and dark
// elsewhere, and no digit follows.
bool stripShowsNumber(const QImage& pane, const QRect& dest, int width, int height, int number, QString* why) {
  const std::string digits = std::to_string(number);
  const int strip = sim::stripHeight(height);
  const int cell = std::max(2, strip / 8);
  const int top = (height - strip + (strip - 5 * cell) / 2) & ~1;  // on an even row, like the chroma
  const double sx = static_cast<double>(dest.width()) / width, sy = static_cast<double>(dest.height()) / height;
  // One place more than the number has: no digit there (the moving white
  // square may be), so 1 is not taken for 10.
  for (std::size_t d = 0; d <= digits.size(); ++d) {
    const int digit = d < digits.size() ? digits[d] - '0' : -1;
    const int left = cell + static_cast<int>(d) * 4 * cell;
    for (int row = 0; row < 5; ++row)
      for (int col = 0; col < 3; ++col) {
        const double cx = left + col * cell + cell / 2.0, cy = top + row * cell + cell / 2.0;
        const QColor c =
            pane.pixelColor(dest.left() + static_cast<int>(cx * sx), dest.top() + static_cast<int>(cy * sy));
        // The digits' yellow is bright (luma 210), the strip dark (40).
        const int luma = (299 * c.red() + 587 * c.green() + 114 * c.blue()) / 1000;
        const bool yellow = luma > 150 && c.blue() < 90;
        if (digit < 0) {
          if (yellow) {
            *why = QString("a digit after the number at cell %1,%2").arg(col).arg(row);
            return false;
          }
          continue;
        }
        const bool filled = simtest::fontCellFilled(digit, row, col);
        if (filled ? !yellow : luma > 90) {
          *why = QString("digit %1, cell %2,%3 is %4").arg(digit).arg(col).arg(row).arg(c.name());
          return false;
        }
      }
  }
  return true;
}

}  // namespace mc::test
