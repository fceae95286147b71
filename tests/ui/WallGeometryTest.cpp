// Pane rectangles per layout, growth and the tour order: plain functions.
#include <gtest/gtest.h>

#include <numeric>
#include <ostream>

#include "ui/wall/WallGeometry.h"

namespace wall {
static std::ostream& operator<<(std::ostream& out, const PaneRect& r) {
  return out << "{" << r.left << "," << r.top << " to " << r.right << "," << r.bottom << "}";
}
}  // namespace wall

namespace {

using wall::PaneRect;
using wall::WallArea;

const WallArea k900x600{0, 0, 900, 600, 1};

TEST(WallGeometry, LayoutSixInNineHundredBySixHundred) {
  // Cells of 299.33 x 199.33; pane 0 covers two by two of them.
  const std::vector<PaneRect> expected = {
      {0, 0, 599, 399},      {600, 0, 899, 199},    {600, 200, 899, 399},
      {0, 400, 299, 599},    {300, 400, 599, 599},  {600, 400, 899, 599},
  };
  EXPECT_EQ(wall::layoutRects(6, k900x600), expected);
  EXPECT_EQ(wall::gridOrder(6), 2);
}

TEST(WallGeometry, LayoutEightInNineHundredBySixHundred) {
  // Cells truncated to 224 x 149; pane 0 covers three by three of them.
  const std::vector<PaneRect> expected = {
      {0, 0, 674, 449},     {675, 0, 899, 149},   {675, 150, 899, 299}, {675, 300, 899, 449},
      {0, 450, 224, 599},   {225, 450, 449, 599}, {450, 450, 674, 599}, {675, 450, 899, 599},
  };
  EXPECT_EQ(wall::layoutRects(8, k900x600), expected);
  EXPECT_EQ(wall::gridOrder(8), 3);
}

TEST(WallGeometry, SquareLayoutsFillTheirGridRowByRow) {
  // 4 panes in the wall's initial area: cells of 371.5 x 251 with a gap of 1.
  const WallArea initial;
  const std::vector<PaneRect> four = {
      {250, 108, 621, 359}, {622, 108, 993, 359}, {250, 360, 621, 611}, {622, 360, 993, 611}};
  EXPECT_EQ(wall::layoutRects(4, initial), four);
  const std::vector<PaneRect> nine = wall::layoutRects(9, k900x600);
  ASSERT_EQ(nine.size(), 9u);
  EXPECT_EQ(nine[4], (PaneRect{300, 200, 599, 399}));  // the middle cell
  EXPECT_EQ(nine[8], (PaneRect{600, 400, 899, 599}));
  EXPECT_EQ(wall::layoutRects(1, k900x600), std::vector<PaneRect>{(PaneRect{0, 0, 900, 600})});
}

TEST(WallGeometry, WhichCountsAreLayoutsAndHowManyPanesTheyShow) {
  const struct {
    int count;
    std::size_t panes;
    int order;
  } cases[] = {
      {1, 1, 0},   {4, 4, 1},   {6, 6, 2},   {8, 8, 3},   {9, 9, 2},    {16, 16, 3},   {25, 25, 4},
      {36, 36, 5}, {49, 49, 6}, {64, 64, 7}, {81, 64, 8}, {100, 64, 9}, {0, 0, -1},    {2, 0, -1},
      {5, 0, -1},  {7, 0, -1},  {10, 0, -1}, {65, 0, -1}, {-4, 0, -1},  {121, 0, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wall::layoutRects(c.count, k900x600).size(), c.panes) << c.count;
    EXPECT_EQ(wall::isLayout(c.count), c.panes > 0) << c.count;
    EXPECT_EQ(wall::gridOrder(c.count), c.order) << c.count;
  }
}

TEST(WallGeometry, PanesOfEveryLayoutStayInsideTheAreaAndNeverOverlap) {
  const WallArea areas[] = {k900x600, WallArea{}, WallArea{250, 86, 765, 615, 1}, WallArea{0, 0, 1280, 1024, 1},
                            WallArea{13.5, 7.25, 333, 211, 1}};
  for (const WallArea& area : areas) {
    for (const int count : {1, 4, 6, 8, 9, 16, 25, 36, 49, 64, 81, 100}) {
      const std::vector<PaneRect> rects = wall::layoutRects(count, area);
      for (std::size_t i = 0; i < rects.size(); ++i) {
        const PaneRect& r = rects[i];
        EXPECT_GT(r.width(), 0) << count << " pane " << i;
        EXPECT_GT(r.height(), 0) << count << " pane " << i;
        EXPECT_GE(r.left, static_cast<int>(area.left)) << count << " pane " << i;
        EXPECT_GE(r.top, static_cast<int>(area.top)) << count << " pane " << i;
        EXPECT_LE(r.right, static_cast<int>(area.left + area.width)) << count << " pane " << i;
        EXPECT_LE(r.bottom, static_cast<int>(area.top + area.height)) << count << " pane " << i;
        for (std::size_t j = 0; j < i; ++j) {
          const PaneRect& o = rects[j];
          const bool apart = r.right <= o.left || o.right <= r.left || r.bottom <= o.top || o.bottom <= r.top;
          EXPECT_TRUE(apart) << count << ": panes " << j << " and " << i << " overlap: " << o << " " << r;
        }
      }
    }
  }
}

TEST(WallGeometry, GrowthToTheNextSquareLayout) {
  const struct {
    int from;
    int selecting;  // layout when this index is selected
    int scan;       // layout after the scan took a pane beyond `from`
  } cases[] = {{1, 4, 4}, {4, 9, 9}, {9, 16, 16}, {16, 25, 25}, {49, 64, 64}};
  for (const auto& c : cases) {
    EXPECT_EQ(wall::layoutForSelecting(c.from), c.selecting) << c.from;
    EXPECT_EQ(wall::layoutAfterScan(c.from), c.scan) << c.from;
  }
  EXPECT_EQ(wall::layoutForSelecting(5), 9);
  EXPECT_EQ(wall::layoutForSelecting(6), 9) << "the large-pane layouts grow to the square that shows the pane";
  EXPECT_EQ(wall::layoutForSelecting(8), 9);
  EXPECT_EQ(wall::layoutForSelecting(63), 64);
}

TEST(WallGeometry, TheFrameSitsOnePixelOutsideThePane) {
  EXPECT_EQ(wall::frameAround({10, 20, 110, 220}), (PaneRect{9, 19, 111, 221}));
}

std::array<int, wall::kPaneCount> identity() {
  std::array<int, wall::kPaneCount> slots{};
  std::iota(slots.begin(), slots.end(), 0);
  return slots;
}

std::array<bool, wall::kPaneCount> playingIn(std::initializer_list<int> slots) {
  std::array<bool, wall::kPaneCount> playing{};
  for (int s : slots) playing[static_cast<std::size_t>(s)] = true;
  return playing;
}

TEST(WallGeometry, TourStepPacksAndRotatesThePlayingPanes) {
  const struct {
    const char* name;
    std::initializer_list<int> playing;
    std::vector<int> firstSlots;  // what slots 0, 1, ... hold afterwards
  } cases[] = {
      {"slots 0, 2 and 5", {0, 2, 5}, {2, 5, 0, 3, 4, 1}},
      {"one playing pane comes to slot 0", {3}, {3, 1, 2, 0}},
      {"nothing playing changes nothing", {}, {0, 1, 2, 3, 4, 5}},
      {"slots 0 to 3 rotate", {0, 1, 2, 3}, {1, 2, 3, 0, 4}},
  };
  for (const auto& c : cases) {
    auto slots = identity();
    wall::tourStep(slots, playingIn(c.playing));
    for (std::size_t s = 0; s < c.firstSlots.size(); ++s) EXPECT_EQ(slots[s], c.firstSlots[s]) << c.name << " slot " << s;
    auto sorted = slots;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, identity()) << c.name << ": every pane is still in exactly one slot";
  }
}

TEST(WallGeometry, RepeatedTourStepsBringEveryPlayingPaneToSlotZero) {
  // The panes first in slots 0, 2 and 5 play; their flags go where they go.
  auto slots = identity();
  const auto isPlaying = [](int pane) { return pane == 0 || pane == 2 || pane == 5; };
  std::vector<int> inFront;
  for (int step = 0; step < 4; ++step) {
    std::array<bool, wall::kPaneCount> playing{};
    for (int s = 0; s < wall::kPaneCount; ++s) playing[static_cast<std::size_t>(s)] = isPlaying(slots[static_cast<std::size_t>(s)]);
    wall::tourStep(slots, playing);
    inFront.push_back(slots[0]);
  }
  EXPECT_EQ(inFront, (std::vector<int>{2, 5, 0, 2}));
}

}  // namespace
