#pragma once
#include <array>
#include <vector>

// Where the panes of the video wall go and in which order, as plain
// functions of the wall's area and layout: no widgets involved.
namespace wall {

inline constexpr int kPaneCount = 64;

// The wall's area in the main window (or the whole screen while full
// screen) and the gap between panes, as doubles like the layout arithmetic.
struct WallArea {
  double left = 250.0;
  double top = 108.0;
  double width = 744.0;
  double height = 503.0;
  double gap = 1.0;
};

// A pane rectangle in window pixels (right and bottom exclusive).
struct PaneRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const PaneRect&) const = default;
};

// The layouts the wall knows: the squares 1, 4, 9, 16, 25, 36, 49, 64, 81
// and 100 (81 and 100 show 64 panes) and the layouts 6 and 8 with one large
// pane.
bool isLayout(int count);
bool isSquareLayout(int count);

// The rectangles of the panes that layout `count` shows, slot 0 first (at
// most 64); empty for a count that is no layout. Coordinates are truncated
// to whole pixels.
std::vector<PaneRect> layoutRects(int count, const WallArea& area);

// Columns − 1 of the layout's grid (3 × 3 for layout 6, 4 × 4 for layout 8);
// -1 for a count that is no layout.
int gridOrder(int count);

// The square layout the wall grows to when pane `index` is selected at or
// beyond the current count: k × k with k = ⌊√index + 1⌋ (4 gives 9, 9 gives 16).
int layoutForSelecting(int index);
// The square layout the wall grows to when the free-pane scan takes a pane
// at or beyond the count of square layout `count`: ⌊(√count + 1)²⌋ (4 gives 9).
int layoutAfterScan(int count);

// The selection frame around a pane: its rectangle grown by one pixel.
PaneRect frameAround(const PaneRect& pane);

// One tour step over the slots of the wall. `order[s]` is what slot s holds,
// `playing[s]` whether it is playing. The playing ones are packed into the
// first slots and rotated by one: afterwards slot 0 holds the second playing
// one, ..., and the last of them the first. Exchanges only; everything not
// playing keeps its relative place where it is not displaced.
void tourStep(std::array<int, kPaneCount>& order, const std::array<bool, kPaneCount>& playing);

}  // namespace wall
