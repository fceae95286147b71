#pragma once
#include "sim/TestPicture.h"
#include "tests/sim/MediaCheck.h"

// The test picture as sim/README.md documents it, computed independently of
// the simulator's renderer, for comparing decoded pictures by pixel value.
namespace simtest {

// The documented colour of scene pixel (x, y) of a width x height picture.
sim::Yuv expectedSceneColour(int x, int y, int width, int height, const sim::PtzView& ptz);

// Sample points of the scene whose decoded colour is off the documented one
// (luma by more than 12, chroma by more than 14); points next to an edge of
// the pattern are left out.
int countSceneMismatches(const Picture& picture, const sim::PtzView& ptz);

// Whether cell (column 0..2, row 0..4, from the top left) of `digit` is
// filled in the documented 3x5 block font.
bool fontCellFilled(int digit, int row, int column);

// True when the strip shows exactly the digits of `number` in the block font.
bool stripShowsNumber(const Picture& picture, int number);

// Left edge of the moving block in the strip, or -1.
int blockPosition(const Picture& picture);

}  // namespace simtest
