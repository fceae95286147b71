#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <ostream>
#include <vector>

#include "common/Messages.h"
#include "common/WindowMessage.h"
#include "media/CShowVideo.h"
#include "media/OffscreenRenderTarget.h"
#include "media/ZoomRect.h"
#include "tests/support/H264TestStream.h"

namespace mc::media {
static std::ostream& operator<<(std::ostream& out, const ZoomRect& r) {
  return out << "{top " << r.top << ", bottom " << r.bottom << ", left " << r.left << ", right " << r.right << "}";
}
}  // namespace mc::media

static std::ostream& operator<<(std::ostream& out, const PixelRect& r) {
  return out << "{left " << r.left << ", top " << r.top << ", right " << r.right << ", bottom " << r.bottom << "}";
}

namespace {

using mc::media::ZoomRect;
using mc::media::zoomStep;

TEST(ZoomRect, WheelStepsFollowTheCursor) {
  struct Case {
    const char* name;
    ZoomRect from;
    int width, height;
    double px, py;
    std::int16_t delta;
    ZoomRect expected;
  };
  const ZoomRect full{0, 720, 0, 1280};
  const Case cases[] = {
      // vertical step 720 * 50 / 1280 = 28.125; 720 - 14.0625 = 705.9375 truncates to 705
      {"in at the centre", full, 1280, 720, 640, 360, 120, {14, 705, 25, 1255}},
      {"in at the top left corner", full, 1280, 720, 0, 0, 120, {0, 691, 0, 1230}},
      {"in at the bottom right corner", full, 1280, 720, 1280, 720, 120, {28, 720, 50, 1280}},
      {"out from the whole picture stays whole", full, 1280, 720, 640, 360, -120, full},
      {"delta 0 zooms out", {14, 705, 25, 1255}, 1280, 720, 640, 360, 0, {0, 719, 0, 1280}},
      {"out from a zoomed rectangle", {100, 400, 200, 900}, 1280, 720, 320, 180, -120, {92, 421, 187, 937}},
      {"a step that would leave no rows is ignored", {100, 110, 600, 640}, 1280, 720, 640, 360, 120,
       {100, 110, 600, 640}},
      {"a step that would leave no columns is ignored", {0, 720, 600, 640}, 1280, 720, 640, 360, 120,
       {0, 720, 600, 640}},
      {"unknown picture size changes nothing", {1, 2, 3, 4}, 0, 0, 0, 0, 120, {1, 2, 3, 4}},
      {"4:3 picture", {0, 576, 0, 704}, 704, 576, 352, 288, 120, {20, 555, 25, 679}},
  };
  for (const Case& c : cases) EXPECT_EQ(zoomStep(c.from, c.width, c.height, c.px, c.py, c.delta), c.expected) << c.name;
}

TEST(OffscreenRenderTarget, SourceRectangleChecks) {
  OffscreenRenderTarget target;
  ASSERT_TRUE(target.Open(IRenderTarget::kFormatYv12, 7, 640, 480, {}));
  struct Case {
    int top, bottom, left, right;
    bool accepted;
  };
  const Case cases[] = {
      {0, 480, 0, 640, true},   {10, 20, 30, 40, true},  {479, 480, 639, 640, true},
      {-1, 480, 0, 640, false}, {0, 480, -1, 640, false}, {0, 481, 0, 640, false}, {0, 480, 0, 641, false},
      {20, 20, 0, 640, false},  {30, 20, 0, 640, false},  {0, 480, 50, 50, false}, {0, 480, 60, 50, false},
      {481, 482, 0, 640, false}, {0, -5, 0, 640, false},
  };
  const PixelRect kept{30, 10, 40, 20};
  for (const Case& c : cases) {
    ASSERT_TRUE(target.SetSourceRect(10, 20, 30, 40));
    EXPECT_EQ(target.SetSourceRect(c.top, c.bottom, c.left, c.right), c.accepted)
        << c.top << " " << c.bottom << " " << c.left << " " << c.right;
    const PixelRect now = target.state().sourceRect;
    if (c.accepted) {
      EXPECT_EQ(now, (PixelRect{c.left, c.top, c.right, c.bottom}));
    } else {
      EXPECT_EQ(now, kept) << "a rejected rectangle must leave the old one";
    }
  }
}

TEST(OffscreenRenderTarget, OpenNeedsAWindowAndPresentDrawsInsideTheTrims) {
  OffscreenRenderTarget target(800, 600);
  EXPECT_FALSE(target.Open(IRenderTarget::kFormatYv12, mc::kNoWindow, 64, 48, {}));
  EXPECT_FALSE(target.Open(IRenderTarget::kFormatYv12, static_cast<mc::WindowHandle>(-1), 64, 48, {}));
  EXPECT_FALSE(target.Present());
  ASSERT_TRUE(target.Open(IRenderTarget::kFormatYv12, 3, 64, 48, DisplayTrims{10, 20, 30, 40}));
  EXPECT_TRUE(target.Present());
  EXPECT_EQ(target.state().lastDestination, (PixelRect{30, 10, 760, 580}));
}

// Records the messages posted to windows.
class PostedMessages {
 public:
  PostedMessages() {
    mc::setPostMessageHook([this](mc::WindowHandle window, mc::WindowMessage message) {
      std::lock_guard lock(mutex_);
      posted_.emplace_back(window, message.id);
      return true;
    });
  }
  ~PostedMessages() { mc::setPostMessageHook({}); }
  std::size_t count(mc::WindowHandle window, std::uint32_t id) const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const auto& [w, i] : posted_) n += (w == window && i == id);
    return n;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<mc::WindowHandle, std::uint32_t>> posted_;
};

struct PaneState : IVideoState {};

class Display : public ::testing::Test {
 protected:
  static constexpr mc::WindowHandle kPane = 42;
  PostedMessages messages;
  std::shared_ptr<PaneState> pane = std::make_shared<PaneState>();
  OffscreenRenderTarget* target = nullptr;
  std::unique_ptr<CShowVideo> show;
  VideoDoContext context;
  std::vector<Yv12Picture> pictures;

  void SetUp() override {
    auto owned = std::make_unique<OffscreenRenderTarget>(640, 360, 100, 50);
    target = owned.get();
    show = std::make_unique<CShowVideo>(SxtParam::create("1001"), pane, kPane, std::move(owned));
    show->SetTrims(0, 0, 0, 0);
  }

  void showPicture(int width, int height) {
    pictures.push_back(mc::test::makeTestPicture(width, height, static_cast<int>(pictures.size())));
    context.picture = pictures.back().data();
    context.width = static_cast<std::uint32_t>(width);
    context.height = static_cast<std::uint32_t>(height);
    context.pictureSize = static_cast<std::uint32_t>(pictures.back().size());
    EXPECT_TRUE(show->Process(&context));
  }
};

TEST_F(Display, TellsThePaneItIsLoadedUntilTheFirstPictureIsShown) {
  context.picture = nullptr;
  EXPECT_TRUE(show->Process(&context));
  EXPECT_TRUE(show->Process(&context));
  EXPECT_EQ(messages.count(kPane, mc::msg::MSG_PANE_LOADED), 2u);
  EXPECT_EQ(target->state().renders, 0u);
  showPicture(352, 288);
  showPicture(352, 288);
  EXPECT_EQ(messages.count(kPane, mc::msg::MSG_PANE_LOADED), 3u) << "no more once a picture is shown";
  EXPECT_EQ(target->state().presents, 2u);
}

TEST_F(Display, ShowsTheDecodedPictureWhole) {
  showPicture(352, 288);
  const auto state = target->state();
  EXPECT_TRUE(state.open);
  EXPECT_EQ(state.sourceRect, (PixelRect{0, 0, 352, 288}));
  const Yv12Picture shown = target->presentedPicture();
  ASSERT_EQ(shown.size(), pictures.back().size());
  EXPECT_EQ(0, std::memcmp(shown.data(), pictures.back().data(), shown.size()));
}

TEST_F(Display, ASizeChangeReopensTheTarget) {
  showPicture(352, 288);
  showPicture(352, 288);
  EXPECT_EQ(target->state().opens, 1u);
  showPicture(704, 576);
  auto state = target->state();
  EXPECT_EQ(state.opens, 2u);
  EXPECT_EQ(state.closes, 1u);
  EXPECT_EQ(state.width, 704);
  EXPECT_EQ(state.height, 576);
  EXPECT_EQ(state.sourceRect, (PixelRect{0, 0, 704, 576}));
  EXPECT_EQ(show->zoomRect(), (ZoomRect{0, 576, 0, 704})) << "a new size resets the zoom rectangle";
}

TEST_F(Display, AFailedPresentReopensWithTheNextPicture) {
  showPicture(352, 288);
  target->FailPresents(true);
  showPicture(352, 288);
  target->FailPresents(false);
  showPicture(352, 288);
  const auto state = target->state();
  EXPECT_EQ(state.opens, 2u);
  EXPECT_EQ(state.closes, 1u);
  EXPECT_EQ(state.presents, 2u);
}

TEST_F(Display, ZoomingShowsTheZoomRectangleAndOtherwiseTheWholePicture) {
  showPicture(1280, 720);
  // The cursor at the centre of the 640 x 360 client area at screen (100, 50).
  show->Zoom(100 + 320, 50 + 180, 120);
  showPicture(1280, 720);
  EXPECT_EQ(target->state().sourceRect, (PixelRect{0, 0, 1280, 720})) << "zooming is off";
  EXPECT_EQ(show->zoomRect(), (ZoomRect{0, 720, 0, 1280})) << "while off, each picture resets the rectangle";

  pane->zooming = true;
  show->Zoom(100 + 320, 50 + 180, 120);
  EXPECT_EQ(show->zoomRect(), (ZoomRect{14, 705, 25, 1255}));
  showPicture(1280, 720);
  EXPECT_EQ(target->state().sourceRect, (PixelRect{25, 14, 1255, 705}));
  const Yv12Picture shown = target->presentedPicture();
  EXPECT_EQ(shown.width(), 1230);
  EXPECT_EQ(shown.height(), 690);
}

TEST_F(Display, ZoomBeforeAnyPictureDoesNothing) {
  pane->zooming = true;
  show->Zoom(420, 230, 120);
  EXPECT_EQ(show->zoomRect(), ZoomRect{});
  target->SetGeometry(WindowGeometry{0, 0, 0, 0});
  showPicture(352, 288);
  show->Zoom(10, 10, 120);  // a window of no size
  EXPECT_EQ(show->zoomRect(), (ZoomRect{0, 288, 0, 352}));
}

TEST_F(Display, StopClosesErasesAndEndsZooming) {
  showPicture(352, 288);
  pane->zooming = true;
  EXPECT_TRUE(show->Stop());
  auto state = target->state();
  EXPECT_FALSE(state.open);
  EXPECT_EQ(state.erases, 1u);
  EXPECT_FALSE(pane->zooming);
  // The next picture opens again and tells the pane.
  const std::size_t loaded = messages.count(kPane, mc::msg::MSG_PANE_LOADED);
  showPicture(352, 288);
  EXPECT_TRUE(target->state().open);
  EXPECT_EQ(messages.count(kPane, mc::msg::MSG_PANE_LOADED), loaded + 1);
}

TEST_F(Display, TrimsReachTheTarget) {
  show->SetTrims(5, 6, 7, 8);
  showPicture(352, 288);
  EXPECT_EQ(target->state().lastDestination, (PixelRect{7, 5, 632, 354}));
}

TEST(RenderTargetFactory, PanesGetTheInstalledTargetElseAnOffscreenOne) {
  std::vector<mc::WindowHandle> asked;
  setRenderTargetFactory([&](mc::WindowHandle window) -> std::unique_ptr<IRenderTarget> {
    asked.push_back(window);
    return std::make_unique<OffscreenRenderTarget>(1, 2);
  });
  auto made = createRenderTarget(77);
  EXPECT_EQ(asked, std::vector<mc::WindowHandle>{77});
  EXPECT_EQ(made->Geometry().clientHeight, 2);
  setRenderTargetFactory({});
  auto fallback = createRenderTarget(78);
  ASSERT_NE(dynamic_cast<OffscreenRenderTarget*>(fallback.get()), nullptr);
  EXPECT_EQ(asked.size(), 1u);
}

}  // namespace
