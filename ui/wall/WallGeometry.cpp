#include "ui/wall/WallGeometry.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace wall {
namespace {

// A pane of one cell at grid position `position` of an n × n grid.
PaneRect cellAt(int position, int n, double cellWidth, double cellHeight, const WallArea& area) {
  const int column = position % n, row = position / n;
  const int x = static_cast<int>(area.left + (cellWidth + area.gap) * column);
  const int y = static_cast<int>(area.top + (cellHeight + area.gap) * row);
  return PaneRect{x, y, x + static_cast<int>(cellWidth), y + static_cast<int>(cellHeight)};
}

int squareRoot(int count) {
  switch (count) {
    case 1: return 1;
    case 4: return 2;
    case 9: return 3;
    case 16: return 4;
    case 25: return 5;
    case 36: return 6;
    case 49: return 7;
    case 64: return 8;
    case 81: return 9;
    case 100: return 10;
    default: return 0;
  }
}

}  // namespace

bool isSquareLayout(int count) { return squareRoot(count) > 0; }

bool isLayout(int count) { return isSquareLayout(count) || count == 6 || count == 8; }

std::vector<PaneRect> layoutRects(int count, const WallArea& area) {
  std::vector<PaneRect> rects;
  if (const int n = squareRoot(count)) {
    const double cellWidth = (area.width - (n - 1) * area.gap) / n;
    const double cellHeight = (area.height - (n - 1) * area.gap) / n;
    for (int i = 0; i < std::min(count, kPaneCount); ++i) rects.push_back(cellAt(i, n, cellWidth, cellHeight, area));
  } else if (count == 6) {
    const double cellWidth = (area.width - 2 * area.gap) / 3;
    const double cellHeight = (area.height - 2 * area.gap) / 3;
    rects.push_back(PaneRect{static_cast<int>(area.left), static_cast<int>(area.top),
                             static_cast<int>(area.left + 2 * cellWidth + area.gap),
                             static_cast<int>(area.top + 2 * cellHeight + area.gap)});
    for (const int position : {2, 5, 6, 7, 8}) rects.push_back(cellAt(position, 3, cellWidth, cellHeight, area));
  } else if (count == 8) {
    const double cellWidth = static_cast<int>((area.width - 3 * area.gap) / 4);
    const double cellHeight = static_cast<int>((area.height - 3 * area.gap) / 4);
    rects.push_back(PaneRect{static_cast<int>(area.left), static_cast<int>(area.top),
                             static_cast<int>(area.left + 3 * cellWidth + 2 * area.gap),
                             static_cast<int>(area.top + 3 * cellHeight + 2 * area.gap)});
    for (const int position : {3, 7, 11, 12, 13, 14, 15})
      rects.push_back(cellAt(position, 4, cellWidth, cellHeight, area));
  }
  return rects;
}

int gridOrder(int count) {
  if (const int n = squareRoot(count)) return n - 1;
  if (count == 6) return 2;
  if (count == 8) return 3;
  return -1;
}

int layoutForSelecting(int index) {
  const int k = static_cast<int>(std::floor(std::sqrt(static_cast<double>(index)) + 1));
  return k * k;
}

int layoutAfterScan(int count) {
  const double side = std::sqrt(static_cast<double>(count)) + 1;
  return static_cast<int>(std::floor(side * side));
}

PaneRect frameAround(const PaneRect& pane) {
  return PaneRect{pane.left - 1, pane.top - 1, pane.right + 1, pane.bottom + 1};
}

void tourStep(std::array<int, kPaneCount>& order, const std::array<bool, kPaneCount>& playing) {
  std::vector<int> list;  // what the playing slots hold, in slot order
  for (int s = 0; s < kPaneCount; ++s)
    if (playing[s]) list.push_back(order[s]);
  if (list.empty()) return;
  std::rotate(list.begin(), list.begin() + 1, list.end());
  for (int j = 0; j < static_cast<int>(list.size()); ++j) {
    const auto at = std::find(order.begin(), order.end(), list[j]);
    const int slot = static_cast<int>(at - order.begin());
    if (slot != j) std::swap(order[slot], order[j]);
  }
}

}  // namespace wall
