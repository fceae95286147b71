#pragma once
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <functional>

#include "media/IRenderTarget.h"
#include "media/Yv12Picture.h"
#include "sim/TestPicture.h"

// Pictures of the simulator's cameras as a pane shows them, and their checks
// by pixel value.
namespace mc::test {

// The simulator's test picture of camera `number` at rest, coded the way the
// simulator sends it and decoded by the client's own decoder: the picture
// the display handler gets.
Yv12Picture decodedSimPicture(int width, int height, int number);

// BT.601 limited range to RGB, rounded, clamped.
QColor bt601ToRgb(const sim::Yuv& yuv);

// The documented colour of picture pixel (x, y) of a width x height test
// picture, and whether the colour is the same all around it (`margin` picture
// pixels), so that scaling filters cannot blur it there.
struct ExpectedPixel {
  QColor rgb;
  bool stable = false;
};
ExpectedPixel expectedPicturePixel(double x, double y, int width, int height, double margin);

struct PictureCheck {
  int sampled = 0;     // points with a stable expected colour
  int mismatches = 0;  // of those, points off by more than the tolerance
  QString report;      // the first few mismatches
};

// Compares the part `dest` of a grabbed pane with the `source` rectangle of
// the documented width x height test picture scaled into it, every `step`
// pane pixels, within `tolerance` per channel.
PictureCheck checkPanePicture(const QImage& pane, const QRect& dest, const PixelRect& source, int width, int height,
                              int tolerance = 3, int step = 6);

// Points of `image` inside `area` that are not `colour` (within `tolerance`).
int countPixelsOff(const QImage& image, const QRect& area, const QColor& colour, int tolerance = 1);

// Whether the strip under the width x height test picture in `dest` of a
// grabbed pane shows the camera's `number` in the simulator's block font
// (and no further digit); `why` tells the first cell that differs.
bool stripShowsNumber(const QImage& pane, const QRect& dest, int width, int height, int number, QString* why);

}  // namespace mc::test
