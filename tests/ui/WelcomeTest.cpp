// The start-up window against platform-sim over loopback: the three steps on
// its worker, the failure messages, and destruction while a step is waiting
// on the network.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <memory>

#include "core/AppContext.h"
#include "link/CMainLogic.h"
#include "tests/coordinator/CoordinatorFixture.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/lib/WindowStyle.h"
#include "ui/login/WelcomeDlg.h"

namespace {

const QString kBoxClass = "MyMessageBox";

class WelcomeDlg : public coordtest::CoordinatorTest {
 protected:
  void SetUp() override {
    CoordinatorTest::SetUp();
    AppContext& context = AppContext::instance();
    context.userName = "alice";
    context.password = "secret";
  }

  static void open(CWelcomeDlg& window) {
    ASSERT_NE(window.Create(mc::kNoWindow, "CWelcomeDlg", ui::UI_WNDSTYLE_FRAME, 0, 0, 0, 900, 600), mc::kNoWindow);
    window.CenterWindow();
  }

  // Answers the failure message once it shows, keeping its text.
  static void answerMessage(QString& text) {
    mc::test::whenWindowShown(
        kBoxClass,
        [&text](QWidget* box) {
          text = box->findChild<QLabel*>("TextOne")->text();
          QTest::mouseClick(box->findChild<QAbstractButton*>("BtnOK"), Qt::LeftButton);
        },
        20000);
  }

  static bool messageBoxShown() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == kBoxClass && w->isVisible()) return true;
    return false;
  }

  int dispatcherRequests(int kind) {
    return controlJson("stats")["dispatcher"]["requests"][std::to_string(kind)].asInt();
  }
};

TEST_F(WelcomeDlg, AllThreeStepsGiveOne) {
  loadWith({});
  CWelcomeDlg window;
  open(window);
  EXPECT_EQ(window.ShowModal(), 1);
  EXPECT_EQ(window.FindControl<QLabel>("InitMsg")->text(), "获取数据成功！");
  EXPECT_EQ(window.FindControl<QProgressBar>("InitPress")->value(), 80);
  EXPECT_EQ(AppContext::instance().userId, "u1");
  EXPECT_EQ(logic().nodeTotal(), 2) << "the catalogue was loaded";
  EXPECT_FALSE(messageBoxShown());
}

TEST_F(WelcomeDlg, FailuresShowTheStepsTextAndGiveTwo) {
  struct Case {
    const char* what;
    std::string password;
    bool dispatcherDown;
    QString message;
  };
  for (const Case& c : {Case{"refused password", "wrong", false, "账号密码错误！"},
                        Case{"dead server", "secret", true, "连接服务器失败"}}) {
    SCOPED_TRACE(c.what);
    if (auto previous = AppContext::instance().getMainLogic()) {
      previous->closeServer();
      previous->shutdown();
    }
    if (c.dispatcherDown) sim->controlOk("stop dispatcher");
    loadWith({});
    AppContext::instance().password = c.password;
    QString shown;
    answerMessage(shown);
    CWelcomeDlg window;
    open(window);
    EXPECT_EQ(window.ShowModal(), 2);
    EXPECT_EQ(shown, c.message);
    EXPECT_EQ(window.currentText(), c.message.toStdString());
  }
}

TEST_F(WelcomeDlg, NoCoordinatorFailsLikeADeadServer) {
  AppContext::instance().mainLogic.reset();
  QString shown;
  answerMessage(shown);
  CWelcomeDlg window;
  open(window);
  EXPECT_EQ(window.ShowModal(), 2);
  EXPECT_EQ(shown, "连接服务器失败");
}

// The dispatcher answers late and the catalogue would take long: destroying
// the window while it connects waits for the answer in flight only, and no
// step after it runs.
TEST_F(WelcomeDlg, DestroyingTheWindowWhileConnectingEndsTheWorker) {
  loadWith({});
  sim->controlOk("delay dispatcher 1 1500");
  sim->controlOk("delay logic 2 6000");
  sim->controlOk("delay logic 22 6000");
  QElapsedTimer clock;
  {
    auto window = std::make_unique<CWelcomeDlg>();
    open(*window);
    ASSERT_TRUE(mc::test::waitUntil([&] { return dispatcherRequests(1) >= 1; }, 10000));
    clock.start();
    window.reset();
  }
  const qint64 destroyMs = clock.elapsed();
  EXPECT_LT(destroyMs, 4000) << "the destruction waited for more than the connection";
  mc::test::spinFor(300);
  EXPECT_FALSE(messageBoxShown());
  EXPECT_EQ(requests(2), 0) << "no login after the window went";
}

TEST_F(WelcomeDlg, ClosingTheWindowMidwayGivesTwo) {
  loadWith({});
  sim->controlOk("delay logic 2 1500");
  CWelcomeDlg window;
  open(window);
  mc::test::whenWindowShown("DUILoginWin", [](QWidget* shown) {
    QTest::mouseClick(shown->findChild<QAbstractButton*>("closebtn"), Qt::LeftButton);
  });
  EXPECT_EQ(window.ShowModal(), 2);
  EXPECT_FALSE(messageBoxShown());
}

TEST_F(WelcomeDlg, LayoutShowsTheStepInsideTheWindow) {
  loadWith({});
  sim->controlOk("delay logic 2 1500");
  CWelcomeDlg window;
  open(window);
  auto* progress = window.FindControl<QProgressBar>("InitPress");
  auto* text = window.FindControl<QLabel>("InitMsg");
  ASSERT_NE(progress, nullptr);
  ASSERT_NE(text, nullptr);
  ASSERT_TRUE(mc::test::waitUntil([&] { return progress->value() == 30; }, 10000));
  EXPECT_EQ(text->text(), "连接服务器成功！");
  QWidget* host = window.GetWidget();
  for (QWidget* control : {static_cast<QWidget*>(progress), static_cast<QWidget*>(text)}) {
    EXPECT_TRUE(control->isVisible());
    EXPECT_TRUE(host->rect().contains(QRect(control->mapTo(host, QPoint(0, 0)), control->size())));
  }
  EXPECT_GE(progress->width(), 400);
  mc::test::saveSnapshot(host->grab().toImage(), "welcome");
}

}  // namespace
