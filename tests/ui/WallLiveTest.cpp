// The wall with live cameras of platform-sim under Xvfb: the coordinator
// opens each camera into a pane's window, the camera's own pipeline draws it
// there through the pane render target with OpenGL, and every pane shows its
// camera's picture (the colour bars and the camera's number); the pane bars
// act on the real live view.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTest>
#include <cmath>

#include "camera/CCameraLogic.h"
#include "common/Messages.h"
#include "core/AppContext.h"
#include "link/CMainLogic.h"
#include "tests/coordinator/CoordinatorFixture.h"
#include "tests/ui/PanePictureSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/ui/WallTestSupport.h"
#include "ui/lib/ControlOps.h"
#include "ui/video/PaneRenderTarget.h"
#include "ui/wall/CWinSub.h"
#include "ui/wall/MyVideoPanel.h"

namespace {

using mc::test::waitUntil;

constexpr int kWidth = 352, kHeight = 288;
constexpr int kBarTrim = 26;  // the pane bars cover this much at the top and the bottom

const char* const kFourCameras = R"({
  "cameraDefaults": {"audio": {"codec": "none"}, "bitrate": 1200,
                     "capabilities": {"qp": true, "setTime": true}},
  "users": [{"name": "alice", "password": "secret", "userId": "u1"}],
  "nodes": [{"id": "n1", "name": "Yard", "type": 9, "cameras": [
    {"id": "cam-a1", "name": "A", "number": 1}, {"id": "cam-a2", "name": "B", "number": 2},
    {"id": "cam-a3", "name": "C", "number": 3}, {"id": "cam-a4", "name": "D", "number": 4}]}]
})";

class WallLive : public coordtest::CoordinatorTest {
 protected:
  std::string config() const override { return kFourCameras; }

  void SetUp() override {
    coordtest::CoordinatorTest::SetUp();
    connectAndLogin();
    ASSERT_TRUE(logic().loadCatalogue(mc::kNoWindow, ""));
    for (const IParamPtr& node : logic().getNodes())
      for (const IParamPtr& child : node->children())
        if (auto camera = std::dynamic_pointer_cast<SxtParam>(child)) cameras.push_back(camera);
    ASSERT_EQ(cameras.size(), 4u);
    installPaneRenderTargets();
    host.Create(mc::kNoWindow, QStringLiteral("wall"), ui::UI_WNDSTYLE_FRAME, 0, 0, 0, 1000, 760);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.GetWidget()));
    AppContext::instance().mainHwnd = host.GetHWND();
    wall = std::make_unique<CVideoPanelHandle>(CVideoPanelHandle::kLive, &owner);
    ASSERT_TRUE(wall->attach(host.GetHWND()));
    wall->setPosition(20, 20);
    wall->setSize(960, 720);
  }

  void TearDown() override {
    for (const auto& camera : cameras) logic().closeLive(camera);
    wall.reset();
    AppContext::instance().mainHwnd = mc::kNoWindow;
    setRenderTargetFactory({});
    coordtest::CoordinatorTest::TearDown();
  }

  // Opens the camera the way the main window does; its slot.
  int open(const SxtParamPtr& camera) {
    int index = wall->selectedIndex();
    mc::WindowHandle window = mc::kNoWindow;
    EXPECT_TRUE(wall->findFreePane(index, window));
    EXPECT_EQ(logic().openLive(window, camera, kBarTrim, kBarTrim), 1) << camera->id;
    mc::postMessage(window, mc::msg::MSG_PANE_LOADING);
    wall->assignCamera(index, camera);
    wall->select(index);
    return index;
  }

  bool showsVideo(int slot) {
    MyVideoPanel* pane = wall->pane(slot);
    return pane->showsVideo() && !pane->isAnimating() && pane->videoStats().taken >= 3;
  }

  mc::test::WallHostWindow host;
  mc::test::WallOwner owner;
  std::unique_ptr<CVideoPanelHandle> wall;
  std::vector<SxtParamPtr> cameras;
};

TEST_F(WallLive, EveryPaneShowsItsOwnCamera) {
  std::vector<int> taken;
  for (const auto& camera : cameras) taken.push_back(open(camera));
  EXPECT_EQ(taken, (std::vector<int>{0, 1, 2, 3})) << "the four panes of layout 4";
  for (int slot : taken) ASSERT_TRUE(waitUntil([&] { return showsVideo(slot); }, 20000)) << "slot " << slot;

  mc::test::saveSnapshot(host.GetWidget()->grab().toImage(), "wall-live-four");
  for (int slot : taken) {
    MyVideoPanel* pane = wall->pane(slot);
    EXPECT_EQ(pane->surfaceKind(), VideoSurfaceKind::OpenGL);
    const QImage shown = pane->grabPane().convertToFormat(QImage::Format_RGB32);
    mc::test::saveSnapshot(shown, QString("wall-live-pane%1").arg(slot));
    const QRect dest(0, kBarTrim, pane->width(), pane->height() - 2 * kBarTrim);
    EXPECT_EQ(mc::test::countPixelsOff(shown, QRect(0, 0, pane->width(), kBarTrim), kPaneBackground), 0)
        << "the top trim, slot " << slot;
    const auto check = mc::test::checkPanePicture(shown, dest, {0, 0, kWidth, kHeight}, kWidth, kHeight, 8);
    EXPECT_GT(check.sampled, 800);
    EXPECT_LE(check.mismatches, check.sampled / 50) << "slot " << slot << ": " << check.report.toStdString();
    QString why;
    const int number = std::stoi(wall->cameraOfPane(slot)->id.substr(5));
    EXPECT_TRUE(mc::test::stripShowsNumber(shown, dest, kWidth, kHeight, number, &why))
        << "slot " << slot << ": " << why.toStdString();
  }
}

TEST_F(WallLive, ClosingACameraErasesItsPaneAndTheOthersPlayOn) {
  for (int i = 0; i < 2; ++i) open(cameras[static_cast<std::size_t>(i)]);
  ASSERT_TRUE(waitUntil([&] { return showsVideo(0) && showsVideo(1); }, 20000));
  logic().closeLive(cameras[0]);
  wall->assignCamera(0, nullptr);
  ASSERT_TRUE(waitUntil([&] { return !wall->pane(0)->showsVideo(); }, 5000));
  const QImage erased = wall->pane(0)->grabPane().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(mc::test::countPixelsOff(erased, erased.rect(), kPaneBackground), 0);
  const std::uint64_t before = wall->pane(1)->videoStats().taken;
  EXPECT_TRUE(waitUntil([&] { return wall->pane(1)->videoStats().taken > before + 5; }, 5000));

  // The pane is free again and the camera opens anew in it.
  EXPECT_EQ(open(cameras[2]), 0);
  EXPECT_TRUE(waitUntil([&] { return showsVideo(0); }, 20000));
}

TEST_F(WallLive, TheClockButtonSetsTheCameraClock) {
  open(cameras[1]);
  ASSERT_TRUE(waitUntil([&] { return showsVideo(0); }, 20000));
  cameras[1]->setTimeEnabled = true;  // as MSG_CAMERA_PARAMS tells the main window
  wall->moveBars(0);
  auto* clock = wall->bottomBar()->FindControl<QAbstractButton>("timeBtn");
  ASSERT_NE(clock, nullptr);
  ASSERT_FALSE(clock->isHidden());
  QString first, second;
  mc::test::whenWindowShown("MyMessageBox", [&](QWidget* box) {
    first = ui::GetText(box->findChild<QWidget*>("TextOne"));
    second = ui::GetText(box->findChild<QWidget*>("TextTwo"));
    QTest::mouseClick(box->findChild<QAbstractButton*>("BtnOK"), Qt::LeftButton);
  });
  QTest::mouseClick(clock, Qt::LeftButton);
  EXPECT_EQ(first, QStringLiteral("同步时间成功"));
  ASSERT_TRUE(waitUntil([&] { return controlJson("camera cam-a2")["clock"].asString() == second.toStdString(); }, 5000))
      << "the camera's clock is " << controlJson("camera cam-a2")["clock"].asString() << ", the bar said "
      << second.toStdString();
}

}  // namespace
