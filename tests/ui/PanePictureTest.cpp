// Camera pictures in a pane, through the display handler and the pane render
// target, checked by pixel value against the simulator's documented test
// picture. The same tests run offscreen (painter surface) and under Xvfb
// (OpenGL surface); MC_EXPECT_VIDEO_SURFACE (a compile definition) says which
// one the run must get, MC_PANE_PICTURE_SUITE names the suite of each run.
#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>
#include <thread>
#include <vector>

#include "common/Messages.h"
#include "media/CShowVideo.h"
#include "tests/ui/PanePictureSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/video/PaneRenderTarget.h"
#include "ui/video/VideoPaneWidget.h"

namespace {

using mc::test::checkPanePicture;
using mc::test::countPixelsOff;
using mc::test::decodedSimPicture;
using mc::test::saveSnapshot;
using mc::test::waitUntil;

class RecordingPane : public VideoPaneWidget {
 public:
  using VideoPaneWidget::VideoPaneWidget;
  std::vector<std::uint32_t> messages;

 protected:
  void HandleMessage(const mc::WindowMessage& message) override { messages.push_back(message.id); }
};

struct PaneState : IVideoState {};

const char* kindName(VideoSurfaceKind kind) { return kind == VideoSurfaceKind::OpenGL ? "opengl" : "painter"; }

Yv12Picture flatPicture(int width, int height, std::uint8_t y, std::uint8_t cb, std::uint8_t cr) {
  Yv12Picture picture(width, height);
  std::fill(picture.luma(), picture.luma() + static_cast<std::size_t>(width) * height, y);
  std::fill(picture.cb(), picture.cb() + picture.size() / 6, cb);
  std::fill(picture.cr(), picture.cr() + picture.size() / 6, cr);
  return picture;
}

class PanePicture : public ::testing::Test {
 protected:
  static constexpr int kWidth = 352, kHeight = 288;  // CIF, as the simulator's cameras send
  static constexpr int kPaneWidth = 528, kPaneHeight = 432;  // 1.5 times

  QWidget window;
  RecordingPane* pane = nullptr;
  std::shared_ptr<PaneState> state = std::make_shared<PaneState>();
  std::unique_ptr<CShowVideo> show;
  Yv12Picture picture;

  void SetUp() override {
    const VideoSurfaceKind kind = probeVideoSurfaceKind();
    ASSERT_STREQ(kindName(kind), MC_EXPECT_VIDEO_SURFACE);
    installPaneRenderTargets();
    window.resize(kPaneWidth + 60, kPaneHeight + 60);
    pane = new RecordingPane(kind, &window);
    pane->setGeometry(24, 30, kPaneWidth, kPaneHeight);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    show = std::make_unique<CShowVideo>(SxtParam::create("1001"), state, pane->handle(),
                                        createRenderTarget(pane->handle()));
    picture = decodedSimPicture(kWidth, kHeight, 7);
  }

  void TearDown() override {
    show.reset();
    setRenderTargetFactory({});
  }

  // One picture through the display handler on a thread of its own, as the
  // camera's dispatch thread runs it.
  void present(const Yv12Picture& shown) {
    std::thread dispatch([&] {
      VideoDoContext context;
      context.picture = shown.data();
      context.width = static_cast<std::uint32_t>(shown.width());
      context.height = static_cast<std::uint32_t>(shown.height());
      context.pictureSize = static_cast<std::uint32_t>(shown.size());
      show->Process(&context);
    });
    dispatch.join();
  }

  // Waits until the pane has drawn `pictures` pictures, then grabs it.
  QImage shownPane(std::uint64_t pictures) {
    EXPECT_TRUE(waitUntil([&] { return pane->showsVideo() && pane->videoStats().taken >= pictures; }))
        << "the pane drew " << pane->videoStats().taken << " pictures";
    return pane->grabPane().convertToFormat(QImage::Format_RGB32);
  }
};

using MC_PANE_PICTURE_SUITE = PanePicture;

TEST_F(MC_PANE_PICTURE_SUITE, ShowsTheDecodedTestPictureScaledIntoThePane) {
  present(picture);
  const QImage shown = shownPane(1);
  saveSnapshot(shown, QString("pane-whole-%1").arg(kindName(pane->surfaceKind())));
  ASSERT_EQ(shown.size(), QSize(kPaneWidth, kPaneHeight));
  const auto check = checkPanePicture(shown, QRect(0, 0, kPaneWidth, kPaneHeight), {0, 0, kWidth, kHeight}, kWidth,
                                      kHeight);
  EXPECT_GT(check.sampled, 1500) << "bars and grey steps are sampled";
  EXPECT_EQ(check.mismatches, 0) << check.report.toStdString();
  EXPECT_EQ(std::count(pane->messages.begin(), pane->messages.end(), mc::msg::MSG_PANE_LOADED), 1)
      << "the display tells the pane once, before its first picture";
}

TEST_F(MC_PANE_PICTURE_SUITE, TrimmedEdgesKeepTheBackgroundAndThePictureFillsTheRest) {
  const int top = 20, bottom = 30, left = 12, right = 40;
  show->SetTrims(top, bottom, left, right);
  present(picture);
  const QImage shown = shownPane(1);
  saveSnapshot(shown, QString("pane-trims-%1").arg(kindName(pane->surfaceKind())));
  const struct {
    const char* edge;
    QRect band;
  } bands[] = {
      {"top", QRect(0, 0, kPaneWidth, top)},
      {"bottom", QRect(0, kPaneHeight - bottom, kPaneWidth, bottom)},
      {"left", QRect(0, 0, left, kPaneHeight)},
      {"right", QRect(kPaneWidth - right, 0, right, kPaneHeight)},
  };
  for (const auto& b : bands) EXPECT_EQ(countPixelsOff(shown, b.band, kPaneBackground), 0) << b.edge << " trim";
  const QRect dest(left, top, kPaneWidth - left - right, kPaneHeight - top - bottom);
  const auto check = checkPanePicture(shown, dest, {0, 0, kWidth, kHeight}, kWidth, kHeight);
  EXPECT_GT(check.sampled, 1000);
  EXPECT_EQ(check.mismatches, 0) << check.report.toStdString();
  // The picture reaches the trims: white at the left edge, black at the right.
  const int row = top + dest.height() / 4;
  EXPECT_TRUE(mc::test::near(shown.pixelColor(left + 1, row), QColor(255, 255, 255), 3));
  EXPECT_TRUE(mc::test::near(shown.pixelColor(kPaneWidth - right - 2, row), QColor(0, 0, 0), 3));
}

TEST_F(MC_PANE_PICTURE_SUITE, WheelZoomShowsTheSubRectangleAroundTheCursor) {
  state->zooming = true;
  present(picture);
  shownPane(1);
  const WindowGeometry where = pane->clientGeometry();
  const QPoint cursor(kPaneWidth / 4, kPaneHeight / 3);
  for (int step = 0; step < 3; ++step) show->Zoom(where.screenLeft + cursor.x(), where.screenTop + cursor.y(), 120);
  const mc::media::ZoomRect zoom = show->zoomRect();
  ASSERT_GT(zoom.left, 0);
  ASSERT_GT(zoom.top, 0);
  ASSERT_LT(zoom.right, kWidth);
  ASSERT_LT(zoom.bottom, kHeight);
  // The picture point under the cursor stays under it (within truncation).
  const double before = (cursor.x() + 0.5) * kWidth / kPaneWidth;
  const double after = zoom.left + (cursor.x() + 0.5) * (zoom.right - zoom.left) / kPaneWidth;
  EXPECT_NEAR(after, before, 2.0);

  present(picture);
  const QImage shown = shownPane(2);
  saveSnapshot(shown, QString("pane-zoom-%1").arg(kindName(pane->surfaceKind())));
  const auto check = checkPanePicture(shown, QRect(0, 0, kPaneWidth, kPaneHeight),
                                      {zoom.left, zoom.top, zoom.right, zoom.bottom}, kWidth, kHeight);
  EXPECT_GT(check.sampled, 1000);
  EXPECT_EQ(check.mismatches, 0) << check.report.toStdString();
  // The whole picture would show the white bar in the left eighth; zoomed
  // to the right of it, that column is yellow now.
  const double firstBarEnd = (kWidth / 8.0 - zoom.left) * kPaneWidth / (zoom.right - zoom.left);
  ASSERT_GT(firstBarEnd, 10);
  EXPECT_TRUE(mc::test::near(shown.pixelColor(static_cast<int>(firstBarEnd) + 8, 20), QColor(255, 255, 0), 3));
}

TEST_F(MC_PANE_PICTURE_SUITE, StopErasesThePaneAndEndsZooming) {
  state->zooming = true;
  present(picture);
  shownPane(1);
  std::thread([&] { show->Stop(); }).join();
  ASSERT_TRUE(waitUntil([&] { return !pane->showsVideo(); }));
  EXPECT_FALSE(state->zooming);
  const QImage erased = pane->grabPane().convertToFormat(QImage::Format_RGB32);
  saveSnapshot(erased, QString("pane-erased-%1").arg(kindName(pane->surfaceKind())));
  EXPECT_EQ(countPixelsOff(erased, erased.rect(), kPaneBackground), 0);

  // The next picture brings the video back.
  present(picture);
  const QImage again = shownPane(2);
  EXPECT_EQ(checkPanePicture(again, again.rect(), {0, 0, kWidth, kHeight}, kWidth, kHeight).mismatches, 0);
}

TEST_F(MC_PANE_PICTURE_SUITE, ANewVideoTakesThePaneOverAndALateEraseOfTheOldOneChangesNothing) {
  PaneRenderTarget first(pane->handle()), second(pane->handle());
  const Yv12Picture red = flatPicture(64, 48, 81, 90, 240);
  ASSERT_TRUE(first.Open(IRenderTarget::kFormatYv12, pane->handle(), kWidth, kHeight, {}));
  ASSERT_TRUE(first.Render(picture.data(), kWidth, kHeight));
  ASSERT_TRUE(first.Present());
  shownPane(1);
  ASSERT_TRUE(second.Open(IRenderTarget::kFormatYv12, pane->handle(), 64, 48, {}));
  ASSERT_TRUE(second.Render(red.data(), 64, 48));
  ASSERT_TRUE(second.Present());
  first.Erase();
  ASSERT_TRUE(waitUntil([&] { return second.mailbox()->stats().taken == 1; }));
  mc::test::spinFor(50);
  QImage shown = pane->grabPane().convertToFormat(QImage::Format_RGB32);
  ASSERT_TRUE(pane->showsVideo());
  EXPECT_EQ(countPixelsOff(shown, shown.rect(), QColor(255, 0, 0), 3), 0) << "the second video shows";

  second.Erase();
  ASSERT_TRUE(waitUntil([&] { return !pane->showsVideo(); }));
  shown = pane->grabPane().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(countPixelsOff(shown, shown.rect(), kPaneBackground), 0);
}

TEST_F(MC_PANE_PICTURE_SUITE, APaneThatIsGoneDropsThePictures) {
  PaneRenderTarget target(pane->handle());
  ASSERT_TRUE(target.Open(IRenderTarget::kFormatYv12, pane->handle(), kWidth, kHeight, {}));
  ASSERT_TRUE(target.Render(picture.data(), kWidth, kHeight));
  ASSERT_TRUE(target.Present());  // its notice is on its way
  const mc::WindowHandle handle = pane->handle();
  delete pane;
  pane = nullptr;
  mc::test::spinFor(30);
  EXPECT_TRUE(target.Render(picture.data(), kWidth, kHeight));
  EXPECT_FALSE(target.Present()) << "a present into a closed window fails, so the display reopens later";
  EXPECT_FALSE(target.Open(IRenderTarget::kFormatYv12, handle, kWidth, kHeight, {}));
  EXPECT_EQ(target.Geometry().clientWidth, 0);
}

TEST_F(MC_PANE_PICTURE_SUITE, OpenRefusesWhatCannotBeShown) {
  PaneRenderTarget target(pane->handle());
  const struct {
    const char* what;
    int format;
    mc::WindowHandle window;
    int width, height;
  } cases[] = {
      {"no window", IRenderTarget::kFormatYv12, mc::kNoWindow, 64, 48},
      {"window -1", IRenderTarget::kFormatYv12, static_cast<mc::WindowHandle>(-1), 64, 48},
      {"another format", 2, pane->handle(), 64, 48},
      {"no width", IRenderTarget::kFormatYv12, pane->handle(), 0, 48},
      {"odd height", IRenderTarget::kFormatYv12, pane->handle(), 64, 47},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(target.Open(c.format, c.window, c.width, c.height, {})) << c.what;
    EXPECT_FALSE(target.Present()) << c.what;
  }
  EXPECT_TRUE(target.Open(IRenderTarget::kFormatYv12, pane->handle(), 64, 48, {}));
  EXPECT_TRUE(target.Render(nullptr, 64, 48)) << "nothing to draw is no failure";
}

TEST_F(MC_PANE_PICTURE_SUITE, GeometryIsThePaneOnScreenFromAnyThread) {
  PaneRenderTarget target(pane->handle());
  const QPoint origin = pane->mapToGlobal(QPoint(0, 0));
  const WindowGeometry here = target.Geometry();
  EXPECT_EQ(here.screenLeft, origin.x());
  EXPECT_EQ(here.screenTop, origin.y());
  EXPECT_EQ(here.clientWidth, kPaneWidth);
  EXPECT_EQ(here.clientHeight, kPaneHeight);

  // Other threads read what the pane last reported for its current video.
  ASSERT_TRUE(target.Open(IRenderTarget::kFormatYv12, pane->handle(), kWidth, kHeight, {}));
  ASSERT_TRUE(target.Render(picture.data(), kWidth, kHeight));
  ASSERT_TRUE(target.Present());
  ASSERT_TRUE(waitUntil([&] { return pane->showsVideo(); }));
  pane->resize(400, 300);
  WindowGeometry there;
  std::thread([&] { there = target.Geometry(); }).join();
  EXPECT_EQ(there.screenLeft, origin.x());
  EXPECT_EQ(there.clientWidth, 400);
  EXPECT_EQ(there.clientHeight, 300);
}

}  // namespace
