// The video wall with its 64 panes in a main window (offscreen): layouts,
// selection, free panes and growth, drag and drop, the tour, full screen and
// the maximised pane with the statistics messages.
#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>
#include <QWidget>
#include <ostream>

#include "common/Messages.h"
#include "tests/ui/PanePictureSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/ui/WallTestSupport.h"
#include "ui/wall/CWinSub.h"
#include "ui/wall/CWinSubUp.h"
#include "ui/wall/MyRectCon.h"
#include "ui/wall/MyVideoPanel.h"

namespace wall {
static std::ostream& operator<<(std::ostream& out, const PaneRect& r) {
  return out << "{" << r.left << "," << r.top << " to " << r.right << "," << r.bottom << "}";
}
}  // namespace wall

namespace {

using mc::test::makeCamera;
using mc::test::waitUntil;
using mc::test::WallFixture;
using mc::msg::MSG_PANE_LOADED;
using mc::msg::MSG_PANE_LOADING;
using mc::msg::MSG_PLAYBACK_REFRESH;
using mc::msg::MSG_STATS_START;
using mc::msg::MSG_STATS_STOP;

const wall::WallArea kArea{250, 86, 900, 600, 1};

// The pane rectangles of the wall equal those of the layout, and exactly the
// layout's panes are shown.
void expectLayout(const WallFixture& f, int count, const wall::WallArea& area = kArea) {
  const auto rects = wall::layoutRects(count, area);
  ASSERT_FALSE(rects.empty());
  EXPECT_EQ(f.wall->currentCount(), count);
  for (int i = 0; i < wall::kPaneCount; ++i) {
    const MyVideoPanel* pane = f.wall->pane(i);
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->index(), i) << "a pane's index is its slot";
    if (i < static_cast<int>(rects.size())) {
      EXPECT_FALSE(pane->isHidden()) << "slot " << i;
      EXPECT_EQ(f.rectOf(i), rects[static_cast<std::size_t>(i)]) << "slot " << i;
    } else {
      EXPECT_TRUE(pane->isHidden()) << "slot " << i;
    }
  }
}

// A double click as the system delivers it: the first click, then the second
// press as a double click.
void doubleClick(QWidget* widget) {
  QTest::mouseClick(widget, Qt::LeftButton);
  QTest::mouseDClick(widget, Qt::LeftButton);
}

void mouseClick(QWidget* widget, const QPoint& at = {}) {
  const QPoint pos = at.isNull() ? widget->rect().center() : at;
  QTest::mousePress(widget, Qt::LeftButton, {}, pos);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, pos);
}

TEST(VideoWall, AttachBuildsTheSixtyFourPanesInLayoutFour) {
  WallFixture f;
  expectLayout(f, 4);
  EXPECT_EQ(f.wall->selectedIndex(), -1);
  EXPECT_TRUE(f.wall->frame()->isHidden()) << "no frame before a selection";
  EXPECT_TRUE(f.wall->bottomBar()->GetWidget()->isHidden());
  EXPECT_TRUE(f.wall->topBar()->GetWidget()->isHidden());
  EXPECT_FALSE(f.wall->attach(f.host.GetHWND())) << "attached once";
  // Every pane is a window of its own that the display can draw into.
  std::set<mc::WindowHandle> handles;
  for (int i = 0; i < wall::kPaneCount; ++i) handles.insert(f.wall->pane(i)->handle());
  EXPECT_EQ(handles.size(), static_cast<std::size_t>(wall::kPaneCount));
  EXPECT_EQ(handles.count(mc::kNoWindow), 0u);
  EXPECT_EQ(f.wall->slotOfWindow(f.wall->pane(17)->handle()), 17);
}

TEST(VideoWall, LayoutsSixAndEightAndTheIgnoredCounts) {
  WallFixture f;
  f.wall->setLayout(6, false);
  expectLayout(f, 6);
  f.wall->setLayout(8, false);
  expectLayout(f, 8);
  for (const int ignored : {0, 2, 5, 7, 12, 65, -1}) {
    f.wall->setLayout(ignored, true);
    expectLayout(f, 8);
  }
  f.wall->setLayout(100, false);
  expectLayout(f, 100);
  EXPECT_FALSE(f.wall->pane(63)->isHidden()) << "100 shows the 64 panes";
}

TEST(VideoWall, SizeAndPositionRelayOutAndBadValuesAreIgnored) {
  WallFixture f;
  f.wall->setLayout(9, false);
  f.wall->setSize(600, 300);
  f.wall->setPosition(10, 20);
  const wall::WallArea moved{10, 20, 600, 300, 1};
  expectLayout(f, 9, moved);
  f.wall->setSize(0, 300);
  f.wall->setSize(600, -1);
  f.wall->setPosition(-5, 20);
  expectLayout(f, 9, moved);
}

TEST(VideoWall, SelectingPlacesTheFrameAndGrowsTheLayoutWhenNeeded) {
  WallFixture f;
  std::vector<std::pair<int, int>> told;
  f.wall->setSelectionCallback([&](int flag, int index) { told.emplace_back(flag, index); });
  f.wall->select(2);
  EXPECT_EQ(f.wall->selectedIndex(), 2);
  EXPECT_FALSE(f.wall->frame()->isHidden());
  const QRect frame = f.wall->frame()->geometry();
  EXPECT_EQ(frame, f.wall->pane(2)->geometry().adjusted(-1, -1, 1, 1));
  f.wall->select(4);
  EXPECT_EQ(f.wall->currentCount(), 9) << "index 4 gives 9";
  f.wall->select(9);
  EXPECT_EQ(f.wall->currentCount(), 16) << "index 9 gives 16";
  expectLayout(f, 16);
  EXPECT_EQ(f.wall->frame()->geometry(), f.wall->pane(9)->geometry().adjusted(-1, -1, 1, 1));
  EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{0, 2}, {0, 4}, {0, 9}}));
  f.wall->select(64);
  f.wall->select(-1);
  EXPECT_EQ(f.wall->selectedIndex(), 9) << "indexes outside 0 … 63 are ignored";
  // A smaller layout that no longer shows the selected pane selects pane 0.
  f.wall->setLayout(4, false);
  EXPECT_EQ(f.wall->selectedIndex(), 0);
}

TEST(VideoWall, LayoutOneAlwaysSelectsPaneZero) {
  WallFixture f;
  std::vector<int> told;
  f.wall->setSelectionCallback([&](int, int index) { told.push_back(index); });
  f.wall->setLayout(1, false);
  for (const int index : {0, 3, 17}) {
    f.wall->select(index);
    EXPECT_EQ(f.wall->selectedIndex(), 0) << index;
    EXPECT_EQ(f.wall->currentCount(), 1) << "selecting in layout 1 does not grow it";
  }
  mouseClick(f.wall->pane(0));
  EXPECT_EQ(f.wall->selectedIndex(), 0);
  EXPECT_EQ(told, (std::vector<int>{0, 0, 0, 0}));
}

TEST(VideoWall, AFifthCameraInLayoutFourTakesPaneFourAndGrowsToNine) {
  WallFixture f;
  for (int slot = 0; slot < 4; ++slot) f.playIn(slot, "cam" + std::to_string(slot));
  f.wall->select(1);
  int index = f.wall->selectedIndex();
  mc::WindowHandle window = mc::kNoWindow;
  ASSERT_TRUE(f.wall->findFreePane(index, window));
  EXPECT_EQ(index, 4);
  EXPECT_EQ(window, f.wall->pane(4)->handle());
  expectLayout(f, 9);
}

TEST(VideoWall, FreePanesOfTheLiveWall) {
  WallFixture f;
  f.wall->setLayout(9, false);
  for (int slot = 0; slot < 4; ++slot) f.playIn(slot, "cam" + std::to_string(slot));
  int index = 0;
  mc::WindowHandle window = mc::kNoWindow;

  index = 6;
  ASSERT_TRUE(f.wall->findFreePane(index, window));
  EXPECT_EQ(index, 6) << "a free pane asked for is taken";
  index = 2;
  ASSERT_TRUE(f.wall->findFreePane(index, window));
  EXPECT_EQ(index, 4) << "a busy pane asked for: the first free one";

  f.cameras->playingIds.erase("cam1");
  index = 0;
  ASSERT_TRUE(f.wall->findFreePane(index, window));
  EXPECT_EQ(index, 1) << "a pane whose camera does not play is free";

  f.records[0].reset();  // the catalogue released the record of slot 0 ...
  f.cameras->dropView("cam0");  // ... and its view is gone
  index = 3;
  ASSERT_TRUE(f.wall->findFreePane(index, window));
  EXPECT_EQ(index, 0) << "a pane whose record was released counts as free";
  EXPECT_EQ(f.wall->cameraOfPane(0), nullptr);

  for (int slot = 0; slot < wall::kPaneCount; ++slot) f.playIn(slot, "full" + std::to_string(slot));
  index = 5;
  EXPECT_FALSE(f.wall->findFreePane(index, window)) << "every pane plays";
}

TEST(VideoWall, GrowingNeverLeavesTheTakenPaneHidden) {
  WallFixture f;
  f.wall->setLayout(6, false);
  for (int slot = 0; slot < 6; ++slot) f.playIn(slot, "cam" + std::to_string(slot));
  int index = 0;
  mc::WindowHandle window = mc::kNoWindow;
  ASSERT_TRUE(f.wall->findFreePane(index, window));
  EXPECT_EQ(index, 6);
  EXPECT_EQ(f.wall->currentCount(), 9);
  EXPECT_FALSE(f.wall->pane(6)->isHidden());

  // Cameras still playing in panes a smaller layout hides.
  f.wall->setLayout(16, false);
  for (int slot = 6; slot < 12; ++slot) f.playIn(slot, "more" + std::to_string(slot));
  f.wall->setLayout(4, false);
  for (int slot = 0; slot < 4; ++slot) ASSERT_TRUE(f.cameras->playing(f.wall->cameraOfPane(slot)));
  ASSERT_TRUE(f.wall->findFreePane(index = 0, window));
  EXPECT_EQ(index, 12);
  EXPECT_EQ(f.wall->currentCount(), 16);
  EXPECT_FALSE(f.wall->pane(12)->isHidden());
}

TEST(VideoWall, FreePanesOfThePlaybackWall) {
  WallFixture f(CVideoPanelHandle::kPlayback);
  const SxtParamPtr a = f.playIn(0, "a");
  const SxtParamPtr b = f.playIn(1, "b");
  f.cameras->playingIds.clear();  // no live views: the playback wall looks at the records only
  int index = 1;
  mc::WindowHandle window = mc::kNoWindow;
  ASSERT_TRUE(f.wall->findFreePane(index, window));
  EXPECT_EQ(index, 1) << "a pane asked for is taken even while it shows a recording";
  index = 0;
  ASSERT_TRUE(f.wall->findFreePane(index, window));
  EXPECT_EQ(index, 2) << "otherwise the first pane holding no camera";
  EXPECT_EQ(f.wall->bottomBar(), nullptr) << "the playback wall has no bars";
}

TEST(VideoWall, AssigningACameraMovesItAndAnEmptyRecordFreesThePane) {
  WallFixture f;
  const SxtParamPtr camera = makeCamera("c1");
  f.wall->assignCamera(0, camera);
  f.wall->assignCamera(2, camera);
  EXPECT_EQ(f.wall->cameraOfPane(0), nullptr) << "a camera is in one pane only";
  EXPECT_EQ(f.wall->cameraOfPane(2), camera);
  EXPECT_EQ(f.wall->findPaneOfCamera(makeCamera("c1")), 2) << "found by id";
  EXPECT_EQ(f.wall->findPaneOfCamera(makeCamera("c9")), -1);
  EXPECT_EQ(f.wall->barsIndex(), 2);

  MyVideoPanel* pane = f.wall->pane(2);
  mc::postMessage(pane->handle(), MSG_PANE_LOADING);
  ASSERT_TRUE(waitUntil([&] { return pane->isAnimating(); }));
  f.wall->assignCamera(2, nullptr);
  EXPECT_EQ(f.wall->cameraOfPane(2), nullptr);
  EXPECT_TRUE(waitUntil([&] { return !pane->isAnimating(); })) << "freeing a pane stops its animation";
  f.wall->assignCamera(64, camera);
  EXPECT_EQ(f.wall->findPaneOfCamera(camera), -1);
  EXPECT_EQ(f.wall->cameraOfPane(-1), nullptr);
}

TEST(VideoWall, DraggingPaneTwoOntoPaneZeroExchangesThem) {
  WallFixture f;
  const SxtParamPtr a = f.playIn(0, "a");
  const SxtParamPtr b = f.playIn(1, "b");
  const SxtParamPtr c = f.playIn(2, "c");
  MyVideoPanel* dragged = f.wall->pane(2);
  MyVideoPanel* target = f.wall->pane(0);
  const QRect slotZero = target->geometry();
  // Pressed in pane 2, released over pane 0 (the release goes to pane 2).
  QTest::mousePress(dragged, Qt::LeftButton, {}, QPoint(20, 20));
  const QPoint over = dragged->mapFromGlobal(target->mapToGlobal(QPoint(30, 30)));
  QTest::mouseRelease(dragged, Qt::LeftButton, {}, over);
  EXPECT_EQ(f.wall->cameraOfPane(0), c);
  EXPECT_EQ(f.wall->cameraOfPane(2), a);
  EXPECT_EQ(f.wall->cameraOfPane(1), b);
  EXPECT_EQ(f.wall->pane(0), dragged) << "the pane window moves with its video";
  EXPECT_EQ(dragged->geometry(), slotZero);
  EXPECT_EQ(f.wall->selectedIndex(), 0);
  EXPECT_EQ(f.owner.selections.back(), 0);
  expectLayout(f, 4);
}

TEST(VideoWall, AClickWithoutMovingAndDragsWhileFullScreenExchangeNothing) {
  WallFixture f;
  const SxtParamPtr a = f.playIn(0, "a");
  const SxtParamPtr c = f.playIn(2, "c");
  mouseClick(f.wall->pane(2));
  EXPECT_EQ(f.wall->cameraOfPane(2), c);
  EXPECT_EQ(f.wall->selectedIndex(), 2);
  EXPECT_EQ(f.owner.selections, std::vector<int>{2}) << "the owner hears of every release";

  f.wall->fullScreen(true);
  f.wall->OnLButtonDown(2);
  f.wall->OnLButtonUp(0);
  EXPECT_EQ(f.wall->cameraOfPane(0), a);
  EXPECT_EQ(f.wall->cameraOfPane(2), c);
}

TEST(VideoWall, TourStepWithPlayingPanesInSlotsZeroTwoAndFive) {
  WallFixture f;
  f.wall->setLayout(6, false);
  const SxtParamPtr a = f.playIn(0, "a");
  const SxtParamPtr idle = makeCamera("idle");
  f.wall->assignCamera(1, idle);  // holds a camera that does not play
  const SxtParamPtr c = f.playIn(2, "c");
  const SxtParamPtr d = f.playIn(5, "d");
  f.wall->select(1);
  f.wall->tourStep();
  EXPECT_EQ(f.wall->cameraOfPane(0), c);
  EXPECT_EQ(f.wall->cameraOfPane(1), d);
  EXPECT_EQ(f.wall->cameraOfPane(2), a);
  EXPECT_EQ(f.wall->cameraOfPane(5), idle);
  expectLayout(f, 6);
  EXPECT_EQ(f.wall->bottomBar()->camera(), d) << "the bars show the camera now in their slot";

  f.wall->tourStep();
  EXPECT_EQ(f.wall->cameraOfPane(0), d) << "each playing camera comes into the large pane in turn";
  f.wall->tourStep();
  EXPECT_EQ(f.wall->cameraOfPane(0), a);
}

TEST(VideoWall, FullScreenStopsTheStatisticsAndLaysOutOverTheScreen) {
  WallFixture f;
  f.wall->select(1);
  const QRect before = f.host.GetWidget()->geometry();
  f.wall->fullScreen(true);
  EXPECT_TRUE(f.wall->isFullScreen());
  ASSERT_TRUE(waitUntil([&] { return f.host.count(MSG_STATS_STOP) == 1; }));
  const QSize screen = f.host.GetWidget()->screen()->geometry().size();
  expectLayout(f, 4, wall::WallArea{0, 0, static_cast<double>(screen.width()), static_cast<double>(screen.height()), 1});
  f.wall->setSize(300, 200);  // the main window's sizing meanwhile
  f.wall->setLayout(9, false);
  expectLayout(f, 9, wall::WallArea{0, 0, static_cast<double>(screen.width()), static_cast<double>(screen.height()), 1});

  f.wall->fullScreen(false);
  EXPECT_FALSE(f.wall->isFullScreen());
  ASSERT_TRUE(waitUntil([&] { return f.host.count(MSG_STATS_START) == 1; }));
  expectLayout(f, 9);
  EXPECT_FALSE(f.wall->frame()->isHidden());
  EXPECT_TRUE(waitUntil([&] { return f.host.GetWidget()->geometry() == before; }))
      << "the main window gets its place back";
}

TEST(VideoWall, ADoubleClickWhileFullScreenOnlyLeavesFullScreen) {
  WallFixture f;
  f.wall->fullScreen(true);
  doubleClick(f.wall->pane(1));
  EXPECT_FALSE(f.wall->isFullScreen());
  EXPECT_FALSE(f.wall->isMaximised());
  ASSERT_TRUE(waitUntil([&] { return f.host.count(MSG_STATS_START) == 1; }));
  EXPECT_EQ(f.host.count(MSG_PLAYBACK_REFRESH), 1u);
  const auto refresh = std::find_if(f.host.messages.begin(), f.host.messages.end(),
                                    [](const mc::WindowMessage& m) { return m.id == MSG_PLAYBACK_REFRESH; });
  EXPECT_EQ(refresh->wParam, 1u) << "the pane index goes with it";
}

TEST(VideoWall, ADoubleClickMaximisesThePaneAndTheNextOneRestoresIt) {
  WallFixture f;
  const SxtParamPtr camera = f.playIn(2, "c");
  MyVideoPanel* pane = f.wall->pane(2);
  doubleClick(pane);
  ASSERT_TRUE(f.wall->isMaximised());
  ASSERT_TRUE(waitUntil([&] { return f.host.count(MSG_STATS_STOP) == 1; }));
  const QSize screen = f.host.GetWidget()->screen()->geometry().size();
  EXPECT_EQ(pane->geometry(), QRect(QPoint(0, 0), screen));
  for (const int other : {0, 1, 3}) EXPECT_TRUE(f.wall->pane(other)->isHidden()) << other;
  EXPECT_TRUE(f.wall->frame()->isHidden());
  EXPECT_EQ(f.wall->bottomBar()->GetWidget()->geometry(), QRect(0, screen.height() - 26, screen.width(), 26));
  // The main window's sizing while maximised brings no other pane back.
  f.wall->setSize(700, 500);
  for (const int other : {0, 1, 3}) EXPECT_TRUE(f.wall->pane(other)->isHidden()) << other;
  EXPECT_EQ(pane->geometry(), QRect(QPoint(0, 0), screen));

  doubleClick(pane);
  EXPECT_FALSE(f.wall->isMaximised());
  ASSERT_TRUE(waitUntil([&] { return f.host.count(MSG_STATS_START) == 1; }));
  expectLayout(f, 4, wall::WallArea{250, 86, 700, 500, 1});
  EXPECT_FALSE(f.wall->frame()->isHidden());
  EXPECT_EQ(f.host.count(MSG_PLAYBACK_REFRESH), 2u);
}

TEST(VideoWall, HideAllHidesPanesFrameAndBars) {
  WallFixture f;
  f.playIn(0, "a");
  f.wall->select(0);
  ASSERT_FALSE(f.wall->bottomBar()->GetWidget()->isHidden());
  f.wall->hideAll();
  for (int i = 0; i < wall::kPaneCount; ++i) EXPECT_TRUE(f.wall->pane(i)->isHidden()) << i;
  EXPECT_TRUE(f.wall->frame()->isHidden());
  EXPECT_TRUE(f.wall->bottomBar()->GetWidget()->isHidden());
  EXPECT_TRUE(f.wall->topBar()->GetWidget()->isHidden());
  f.wall->setLayout(4, true);
  expectLayout(f, 4);
}

TEST(VideoPanes, TheWaitingAnimationRunsFromLoadingToLoaded) {
  WallFixture f;
  MyVideoPanel* pane = f.wall->pane(1);
  mc::postMessage(pane->handle(), MSG_PANE_LOADING);
  ASSERT_TRUE(waitUntil([&] { return pane->isAnimating(); }));
  EXPECT_GT(pane->animationFrameCount(), 1) << "checking.gif from the resource folder";
  EXPECT_TRUE(waitUntil([&] { return pane->animationFrame() > 0; })) << "the frames advance";
  const QImage animating = pane->grabPane().convertToFormat(QImage::Format_RGB32);
  mc::test::saveSnapshot(animating, "pane-waiting");
  const QRect box(QPoint(0, 0), QSize(std::min(130, pane->width()), std::min(130, pane->height())));
  const QRect centred = box.translated(pane->rect().center() - box.center());
  EXPECT_GT(mc::test::countPixelsOff(animating, centred, kPaneBackground, 8), 20) << "the animation is drawn";
  EXPECT_EQ(mc::test::countPixelsOff(animating, QRect(0, 0, pane->width(), centred.top() - 1), kPaneBackground, 0), 0)
      << "nothing but the background outside the 130 x 130 box";
  mc::postMessage(pane->handle(), MSG_PANE_LOADING);  // again: keeps running
  mc::postMessage(pane->handle(), MSG_PANE_LOADED);
  ASSERT_TRUE(waitUntil([&] { return !pane->isAnimating(); }));
  EXPECT_EQ(pane->animationFrame(), 0);
  const QImage stopped = pane->grabPane().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(mc::test::countPixelsOff(stopped, stopped.rect(), kPaneBackground, 0), 0);
}

TEST(VideoPanes, WithoutTheAnimationFileAPaneOnlyShowsItsColour) {
  WallFixture f;
  MyVideoPanel pane(VideoSurfaceKind::Painter, MyVideoPanel::kLive, f.wall.get(), f.cameras,
                    QStringLiteral("/nonexistent/checking.gif"), f.host.GetWidget());
  pane.setGeometry(0, 0, 200, 150);
  pane.show();
  mc::postMessage(pane.handle(), MSG_PANE_LOADING);
  mc::test::spinFor(50);
  EXPECT_FALSE(pane.isAnimating());
  const QImage shown = pane.grabPane().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(mc::test::countPixelsOff(shown, shown.rect(), kPaneBackground, 0), 0);
}

}  // namespace
