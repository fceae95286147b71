// The window base: layouts, control look-up, custom controls, modal runs,
// posted messages and timers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <map>
#include <thread>

#include "common/Messages.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/lib/ListUI.h"
#include "ui/lib/ProgressUI.h"
#include "ui/lib/TabLayoutUI.h"
#include "ui/lib/WindowRegistry.h"

namespace {

using mc::test::TestSkin;
using mc::test::TestWindow;
using mc::test::waitUntil;
using mc::test::widgetItem;

// A custom control the test window builds for the class name "RealyTree".
class FakeTree : public CListUI {
 public:
  using CListUI::CListUI;
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skin.writeLayout("Main.xml",
                     widgetItem("QLabel", "Title", R"(<property name="text"><string>标题</string></property>)") +
                         R"(<item><widget class="QWidget" name="Panel"><layout class="QHBoxLayout" name="pl">)" +
                         widgetItem("QPushButton", "BtnOK") + widgetItem("QLineEdit", "UserEdit") +
                         R"(</layout></widget></item>)" + widgetItem("RealyTree", "PlayRelayList") +
                         widgetItem("Unknown", "Fallback") + widgetItem("QStackedWidget", "switch",
                             R"(<widget class="QWidget" name="page0"/><widget class="QWidget" name="page1"/>)") +
                         widgetItem("QProgressBar", "InitPress") +
                         widgetItem("QLabel", "recodrIcon", R"(<property name="visible" stdset="0"><bool>false</bool></property>)"),
                     R"(<customwidgets>
  <customwidget><class>RealyTree</class><extends>QWidget</extends><header>tree.h</header></customwidget>
  <customwidget><class>Unknown</class><extends>QLabel</extends><header>unknown.h</header></customwidget>
 </customwidgets>)",
                     R"(<property name="caption" stdset="0"><number>30</number></property>)");
  }
  TestSkin skin;
};

TEST_F(WindowTest, LoadsTheLayoutAndFindsControlsByName) {
  TestWindow window(skin.dir(), "Main.xml");
  window.factory = [](const QString& className, QWidget* parent) -> QWidget* {
    return className == "RealyTree" ? new FakeTree(parent) : nullptr;
  };
  ASSERT_NE(window.Create(mc::kNoWindow, "测试", ui::UI_WNDSTYLE_FRAME, 0, 0, 0, 900, 600), mc::kNoWindow);
  EXPECT_TRUE(window.initialised);
  EXPECT_EQ(window.GetWidget()->objectName(), "TestWindow");
  EXPECT_EQ(window.GetWidget()->windowTitle(), "测试");

  EXPECT_EQ(window.FindControl<QLabel>("Title")->text(), "标题");
  EXPECT_NE(window.FindControl<QPushButton>("BtnOK"), nullptr);
  EXPECT_NE(window.FindControl<QLineEdit>("UserEdit"), nullptr);
  EXPECT_NE(dynamic_cast<FakeTree*>(window.FindControl("PlayRelayList")), nullptr) << "built by CreateControl";
  EXPECT_NE(window.FindControl<QLabel>("Fallback"), nullptr) << "unknown classes fall back to their base";
  EXPECT_NE(window.FindControl<CTabLayoutUI>("switch"), nullptr);
  EXPECT_NE(window.FindControl<CProgressUI>("InitPress"), nullptr);
  EXPECT_EQ(window.FindControl("NoSuchControl"), nullptr);
  window.ShowWindow();
  EXPECT_TRUE(window.FindControl("Title")->isVisible());
  EXPECT_FALSE(window.FindControl("recodrIcon")->isVisible()) << "hidden by its layout";
  EXPECT_EQ(window.FindControl(""), nullptr);

  QWidget* panel = window.FindControl("Panel");
  EXPECT_EQ(WindowImplBase::FindSubControl(panel, "BtnOK"), window.FindControl("BtnOK"));
  EXPECT_EQ(WindowImplBase::FindSubControl(panel, "Title"), nullptr) << "only inside the container";

  EXPECT_EQ(window.GetWidget()->size(), QSize(320, 240)) << "the layout's own size wins";
  EXPECT_EQ(CWindowWnd::FromHandle(window.GetHWND()), &window);
  EXPECT_EQ(CWindowWnd::FromWidget(window.FindControl("BtnOK")), &window);
}

TEST_F(WindowTest, MissingOrBrokenLayoutFailsCreate) {
  skin.write("Broken.xml", "<ui version=\"4.0\"><widget class=\"QWidget\"");
  for (const QString& file : {QString("Missing.xml"), QString("Broken.xml")}) {
    SCOPED_TRACE(file.toStdString());
    TestWindow window(skin.dir(), file);
    EXPECT_EQ(window.Create(mc::kNoWindow, "x", ui::UI_WNDSTYLE_DIALOG), mc::kNoWindow);
    EXPECT_FALSE(window.initialised);
    EXPECT_TRUE(window.IsClosed());
    EXPECT_EQ(window.ShowModal(), -1);
  }
  TestWindow never(skin.dir(), "Main.xml");
  EXPECT_EQ(never.ShowModal(), -1) << "a window never created";
}

TEST_F(WindowTest, ShowModalReturnsTheCodeAWorkerPostedCloseFor) {
  TestWindow window(skin.dir(), "Main.xml");
  const mc::WindowHandle handle = window.Create(mc::kNoWindow, "x", ui::UI_WNDSTYLE_POPUP_CAPTION);
  ASSERT_NE(handle, mc::kNoWindow);
  std::thread::id handlerThread;
  window.onMessage = [&](const mc::WindowMessage& m) {
    handlerThread = std::this_thread::get_id();
    if (m.id != mc::msg::MSG_CLOSE_WAIT) return false;
    window.Close(static_cast<int>(m.wParam));
    return true;
  };
  std::thread worker([handle] {
    QThread::msleep(20);
    mc::postMessage(handle, mc::msg::MSG_CLOSE_WAIT, 5);
  });
  const int result = window.ShowModal();
  worker.join();
  EXPECT_EQ(result, 5);
  EXPECT_EQ(handlerThread, std::this_thread::get_id());
  EXPECT_FALSE(window.GetWidget()->isVisible());
  EXPECT_FALSE(ui::isWindow(handle));
  EXPECT_FALSE(mc::postMessage(handle, mc::msg::MSG_CLOSE_WAIT)) << "a closed window takes no messages";
}

TEST_F(WindowTest, CloseBeforeShowModalReturnsAtOnce) {
  TestWindow window(skin.dir(), "Main.xml");
  ASSERT_NE(window.Create(mc::kNoWindow, "x", ui::UI_WNDSTYLE_POPUP_CAPTION), mc::kNoWindow);
  window.Close(3);
  window.Close(4);  // only the first close counts
  EXPECT_EQ(window.ShowModal(), 3);
}

TEST_F(WindowTest, MessageQueuedBeforeCloseNeverReachesTheHandler) {
  TestWindow window(skin.dir(), "Main.xml");
  const mc::WindowHandle handle = window.Create(mc::kNoWindow, "x", ui::UI_WNDSTYLE_POPUP_CAPTION);
  std::atomic<int> frees{0};
  ASSERT_TRUE(mc::postMessage(handle, mc::msg::MSG_CAMERA_PARAMS, 0, 0,
                              std::shared_ptr<void>(new int(1), [&](void* p) {
                                delete static_cast<int*>(p);
                                ++frees;
                              })));
  window.Close(1);
  mc::test::spinFor(30);
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(frees, 1);
}

TEST_F(WindowTest, TimersTickAsTimerMessagesUntilKilled) {
  TestWindow window(skin.dir(), "Main.xml");
  ASSERT_NE(window.Create(mc::kNoWindow, "x", ui::UI_WNDSTYLE_FRAME), mc::kNoWindow);
  std::map<std::uintptr_t, int> ticks;
  window.onMessage = [&](const mc::WindowMessage& m) {
    if (m.id != ui::kMsgTimer) return false;
    ++ticks[m.wParam];
    if (m.wParam == 1074) window.KillTimer(1074);  // killed from its own tick
    return true;
  };
  EXPECT_TRUE(window.SetTimer(1326, 10));
  EXPECT_TRUE(window.SetTimer(1074, 10));
  ASSERT_TRUE(waitUntil([&] { return ticks[1326] >= 3; }));
  EXPECT_EQ(ticks[1074], 1);
  EXPECT_TRUE(window.KillTimer(1326));
  EXPECT_FALSE(window.KillTimer(1326));
  const int after = ticks[1326];
  mc::test::spinFor(50);
  EXPECT_EQ(ticks[1326], after);

  // Timers end with the window.
  EXPECT_TRUE(window.SetTimer(1225, 10));
  window.Close(1);
  mc::test::spinFor(50);
  EXPECT_EQ(ticks.count(1225), 0u);
  EXPECT_FALSE(window.SetTimer(1225, 10));
}

TEST_F(WindowTest, ResettingATimerChangesItsPeriod) {
  TestWindow window(skin.dir(), "Main.xml");
  ASSERT_NE(window.Create(mc::kNoWindow, "x", ui::UI_WNDSTYLE_FRAME), mc::kNoWindow);
  int ticks = 0;
  window.onMessage = [&](const mc::WindowMessage& m) { return m.id == ui::kMsgTimer && ++ticks; };
  window.SetTimer(9, 60000);
  window.SetTimer(9, 10);
  EXPECT_TRUE(waitUntil([&] { return ticks >= 2; }, 2000));
}

TEST_F(WindowTest, CentresOverItsOwnerAndBlocksItWhileModal) {
  TestWindow owner(skin.dir(), "Main.xml", "Owner");
  ASSERT_NE(owner.Create(mc::kNoWindow, "owner", ui::UI_WNDSTYLE_FRAME, 0, 100, 80), mc::kNoWindow);
  owner.GetWidget()->move(100, 80);
  TestWindow child(skin.dir(), "Main.xml", "Child");
  ASSERT_NE(child.Create(owner.GetHWND(), "child", ui::UI_WNDSTYLE_POPUP_CAPTION), mc::kNoWindow);
  child.GetWidget()->resize(100, 60);
  child.CenterWindow();
  EXPECT_EQ(child.GetWidget()->frameGeometry().center(), owner.GetWidget()->frameGeometry().center());

  bool ownerBlocked = false;
  mc::test::whenWindowShown("Child", [&](QWidget*) {
    ownerBlocked = QApplication::activeModalWidget() == child.GetWidget() &&
                   child.GetWidget()->windowModality() == Qt::WindowModal;
    child.Close(2);
  });
  EXPECT_EQ(child.ShowModal(), 2);
  EXPECT_TRUE(ownerBlocked);
}

TEST_F(WindowTest, CaptionDoubleClickMaximisesOnlyWindowsThatCanBe) {
  struct Case {
    std::uint32_t style;
    bool maximised;
  };
  for (const Case& c : {Case{ui::UI_WNDSTYLE_FRAME, true}, Case{ui::UI_WNDSTYLE_DIALOG, false}}) {
    TestWindow window(skin.dir(), "Main.xml");
    ASSERT_NE(window.Create(mc::kNoWindow, "x", c.style), mc::kNoWindow);
    window.GetWidget()->show();
    QTest::mouseDClick(window.FindControl("Title"), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(window.GetWidget()->isMaximized(), c.maximised) << c.style;
  }
}

TEST_F(WindowTest, MovesSizesAndKeysReachTheMessageHandler) {
  TestWindow window(skin.dir(), "Main.xml");
  std::vector<mc::WindowMessage> raw;
  window.onMessage = [&](const mc::WindowMessage& m) {
    raw.push_back(m);
    return false;
  };
  ASSERT_NE(window.Create(mc::kNoWindow, "x", ui::UI_WNDSTYLE_FRAME), mc::kNoWindow);
  window.GetWidget()->resize(400, 300);
  window.GetWidget()->move(30, 40);
  window.GetWidget()->show();
  QTest::keyClick(window.GetWidget(), Qt::Key_Return);
  auto has = [&](std::uint32_t id, std::uintptr_t w, std::intptr_t l) {
    return std::any_of(raw.begin(), raw.end(),
                       [&](const mc::WindowMessage& m) { return m.id == id && m.wParam == w && m.lParam == l; });
  };
  ASSERT_TRUE(waitUntil([&] { return has(ui::kMsgSize, 400, 300); }));
  EXPECT_TRUE(has(ui::kMsgKeyDown, Qt::Key_Return, 0));
  EXPECT_TRUE(has(ui::kMsgKeyUp, Qt::Key_Return, 0));
}

}  // namespace
