// The waiting window: what closes it, and the work it waits for.
#include <gtest/gtest.h>

#include <QTest>
#include <atomic>
#include <thread>

#include "common/Messages.h"
#include "core/ThreadPool.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/controls/LoadingDlg.h"
#include "ui/lib/WindowRegistry.h"

namespace {

using mc::test::waitUntil;

TEST(LoadingDlg, ClosesOnItsMessageKeepingTheParameterOrOnItsTimer) {
  {
    CLoadingDlg wait;
    ASSERT_TRUE(wait.CreateOver(mc::kNoWindow));
    EXPECT_EQ(wait.GetWidget()->objectName(), "请稍后");
    EXPECT_EQ(wait.GetWidget()->windowTitle(), "等待");
    mc::postMessage(wait.GetHWND(), mc::msg::MSG_CLOSE_WAIT, 77);
    EXPECT_EQ(wait.ShowModal(), 1);
    EXPECT_EQ(wait.closeParam(), 77u);
  }
  {
    CLoadingDlg wait;
    ASSERT_TRUE(wait.CreateOver(mc::kNoWindow));
    ASSERT_TRUE(wait.SetTimer(CLoadingDlg::kCloseTimer, 50));
    EXPECT_EQ(wait.ShowModal(), 1);
    EXPECT_EQ(wait.closeParam(), 0u);
  }
}

TEST(LoadingDlg, TheOperatorCannotEndTheWait) {
  CLoadingDlg wait;
  ASSERT_TRUE(wait.CreateOver(mc::kNoWindow));
  wait.ShowWindow();
  QTest::keyClick(wait.GetWidget(), Qt::Key_Escape);
  wait.GetWidget()->close();
  EXPECT_FALSE(wait.IsClosed());
  // Other ids and other timers leave it open too.
  mc::postMessage(wait.GetHWND(), mc::msg::MSG_CLOSE_WAIT + 1);
  wait.SetTimer(7, 10);
  mc::test::spinFor(100);
  EXPECT_FALSE(wait.IsClosed());
  mc::postMessage(wait.GetHWND(), mc::msg::MSG_CLOSE_WAIT);
  EXPECT_EQ(wait.ShowModal(), 1);
}

TEST(LoadingDlg, RunsTheWorkOnThePoolAndEndsWithIt) {
  auto pool = ThreadPool::create(2);
  std::atomic<bool> done{false};
  std::thread::id worker;
  bool shownWhileWorking = false;
  mc::test::whenWindowShown("请稍后", [&](QWidget*) { shownWhileWorking = !done; });
  const int result = CLoadingDlg::RunWhile(mc::kNoWindow, *pool, [&] {
    worker = std::this_thread::get_id();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    done = true;
  });
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(done) << "returns only after the work";
  EXPECT_TRUE(shownWhileWorking);
  EXPECT_NE(worker, std::this_thread::get_id());
  // Work that throws still ends the wait.
  EXPECT_EQ(CLoadingDlg::RunWhile(mc::kNoWindow, *pool, [] { throw std::runtime_error("refused"); }), 1);
  pool->stop();
}

}  // namespace
