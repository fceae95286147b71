// The 24-hour play progress control: click to time, painting, hover box.
#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QMouseEvent>
#include <QTest>
#include <thread>

#include "tests/ui/UiTestSupport.h"
#include "ui/controls/PlayProgressUI.h"

namespace {

struct Receiver : IPlayProgressNofity {
  void OnPlayProgressClick(const QString& time) override { times.push_back(time.toStdString()); }
  std::vector<std::string> times;
};

const QColor kTrack(0xE4, 0xE4, 0xE4);
const QColor kSegment(0x17, 0x7A, 0xD4);
const QColor kMarker(0xE5, 0x59, 0x17);

class PlayProgressTest : public ::testing::Test {
 protected:
  void make(int width, int height = 30) {
    bar = std::make_unique<CPlayProgressUI>(&receiver);
    bar->resize(width, height);
    bar->show();
  }

  void hoverAt(int x) {
    QEnterEvent enter(QPointF(x, 5), QPointF(x, 5), QPointF(x, 5));
    QCoreApplication::sendEvent(bar.get(), &enter);
    QMouseEvent move(QEvent::MouseMove, QPointF(x, 5), QPointF(x, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(bar.get(), &move);
  }

  // Columns holding the colour anywhere between the rows top … bottom.
  std::vector<int> columnsWith(const QImage& shot, QColor colour, int top, int bottom, int tolerance = 3) {
    std::vector<int> columns;
    for (int x = 0; x < shot.width(); ++x)
      for (int y = top; y < bottom; ++y)
        if (mc::test::near(shot.pixelColor(x, y), colour, tolerance)) {
          columns.push_back(x);
          break;
        }
    return columns;
  }

  Receiver receiver;
  std::unique_ptr<CPlayProgressUI> bar;
};

TEST_F(PlayProgressTest, ClickReportsTheTimeUnderThePointer) {
  struct Case {
    int width;
    int x;
    const char* time;
  };
  const Case cases[] = {
      {600, 300, "12:00:00"}, {600, 0, "00:00:00"},   {600, 599, "23:57:36"}, {1440, 1, "00:01:00"},
      {1440, 721, "12:01:00"}, {600, 150, "06:00:00"}, {700, 350, "12:00:00"},
      {600, 900, "23:57:36"},  // released beyond the right edge: the last pixel's time
      {600, -40, "00:00:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " @ " << c.x);
    make(c.width);
    receiver.times.clear();
    QTest::mouseClick(bar.get(), Qt::LeftButton, {}, QPoint(c.x, 15));
    EXPECT_EQ(receiver.times, std::vector<std::string>{c.time});
  }
  make(600);
  receiver.times.clear();
  QTest::mouseClick(bar.get(), Qt::RightButton, {}, QPoint(300, 15));
  EXPECT_TRUE(receiver.times.empty()) << "only the left button seeks";
  CPlayProgressUI lonely(nullptr);
  lonely.resize(600, 30);
  QTest::mouseClick(&lonely, Qt::LeftButton, {}, QPoint(300, 15));  // no receiver: nothing to tell
}

TEST_F(PlayProgressTest, HoverBoxStaysInsideTheRightEdge) {
  make(600);
  struct Case {
    int x;
    int left;
  };
  for (const Case& c : {Case{100, 100}, Case{0, 0}, Case{550, 550}, Case{551, 550}, Case{599, 550}}) {
    SCOPED_TRACE(c.x);
    hoverAt(c.x);
    EXPECT_TRUE(bar->IsHovering());
    EXPECT_EQ(bar->GetPointerX(), c.x);
    EXPECT_EQ(bar->hoverBox(), QRect(c.left, 12, 50, 18));
  }
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(bar.get(), &leave);
  EXPECT_FALSE(bar->IsHovering());
}

TEST_F(PlayProgressTest, HoverTimeIsDrawnOnlyInItsBox) {
  make(600);
  hoverAt(580);
  const QImage shot = bar->grab().toImage();
  mc::test::saveSnapshot(shot, "play-progress-hover");
  auto hoverRed = [](QColor c) { return c.red() >= 0xF0 && c.green() <= 0x90 && c.blue() <= 0x90; };
  int inside = 0, outside = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x)
      if (hoverRed(shot.pixelColor(x, y))) ++(QRect(550, 12, 50, 18).contains(x, y) ? inside : outside);
  EXPECT_GT(inside, 5);
  EXPECT_EQ(outside, 0);
}

TEST_F(PlayProgressTest, PaintsTrackSegmentsAndThePlayingMinute) {
  make(600);
  bar->SetSegments({{0, 1440}});
  QImage shot = bar->grab().toImage();
  // A whole-day segment fills the track from the first to the last column.
  EXPECT_EQ(columnsWith(shot, kSegment, 15, 23).size(), 600u);
  EXPECT_TRUE(columnsWith(shot, kSegment, 23, 30).empty());
  EXPECT_TRUE(mc::test::near(shot.pixelColor(200, 27), kTrack, 3)) << "the track below the segments";
  EXPECT_TRUE(columnsWith(shot, kMarker, 0, 30).empty()) << "no playing minute yet";

  bar->SetPosition(720);
  shot = bar->grab().toImage();
  mc::test::saveSnapshot(shot, "play-progress");
  EXPECT_EQ(columnsWith(shot, kMarker, 3, 28), (std::vector<int>{299, 300}));
  EXPECT_TRUE(mc::test::near(shot.pixelColor(300, 28), kTrack, 3)) << "the marker ends 2 pixels above the bottom";

  bar->SetSegments({{60, 120}});
  bar->SetPosition(0);
  shot = bar->grab().toImage();
  EXPECT_TRUE(columnsWith(shot, kMarker, 0, 30).empty()) << "minute 0 draws no marker";
  const auto segment = columnsWith(shot, kSegment, 15, 23);
  ASSERT_FALSE(segment.empty());
  EXPECT_EQ(segment.front(), 25);
  EXPECT_EQ(segment.back(), 49);

  bar->SetPosition(1439);
  shot = bar->grab().toImage();
  EXPECT_EQ(columnsWith(shot, kMarker, 3, 28), (std::vector<int>{598, 599}))
      << "minute 1439 sits one minute's width before the end";
}

TEST_F(PlayProgressTest, PositionMaySetFromAnotherThread) {
  make(600);
  std::thread([this] { bar->SetPosition(360); }).join();
  EXPECT_EQ(bar->GetPosition(), 360);
  mc::test::spinFor(10);
  EXPECT_EQ(columnsWith(bar->grab().toImage(), kMarker, 3, 28), (std::vector<int>{149, 150}));
}

}  // namespace
