#include <gtest/gtest.h>

#include <atomic>
#include <boost/thread/thread.hpp>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "common/AutoResetEvent.h"
#include "core/AppFolder.h"
#include "core/OLog.h"
#include "core/OThread.h"
#include "core/ThreadPool.h"
#include "tests/support/TempFolder.h"

using mc::test::readFile;
using mc::test::TempFolder;

namespace {

template <typename Predicate>
bool eventually(Predicate predicate, int milliseconds = 5000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (predicate()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return predicate();
}

std::set<std::string> logFiles(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder + "/Log"))
    names.insert(entry.path().filename().string());
  return names;
}

}  // namespace

TEST(OThread, StartOnARunningThreadInterruptsAndJoinsItFirst) {
  TempFolder temp;
  setApplicationFolder(temp.path());
  auto thread = OThread::create();
  std::atomic<bool> firstEnded{false};
  mc::AutoResetEvent firstRunning;
  ASSERT_TRUE(thread->start("restart", [&] {
    struct Guard {
      std::atomic<bool>& flag;
      ~Guard() { flag = true; }
    } guard{firstEnded};
    firstRunning.set();
    for (;;) boost::this_thread::sleep_for(boost::chrono::milliseconds(10));
  }));
  ASSERT_TRUE(firstRunning.wait(5000));
  EXPECT_TRUE(thread->running());

  std::atomic<bool> secondRan{false};
  ASSERT_TRUE(thread->start("restart", [&] { secondRan = true; }));
  EXPECT_TRUE(firstEnded) << "start returned before the first thread was joined";
  thread->stop();
  EXPECT_TRUE(secondRan);
  EXPECT_FALSE(thread->running());
  EXPECT_NE(readFile(temp.file("Log/restart.txt")).find("线程异常退出！restart"), std::string::npos)
      << "the interruption ends the first function like an exception";
}

TEST(OThread, AnEscapingExceptionIsLoggedAndEndsOnlyThatThread) {
  TempFolder temp;
  setApplicationFolder(temp.path());
  auto thread = OThread::create();
  ASSERT_TRUE(thread->start("thrower", [] { throw std::runtime_error("boom"); }));
  thread->stop();
  EXPECT_NE(readFile(temp.file("Log/thrower.txt")).find("[Error:] 线程异常退出！thrower"), std::string::npos);
}

TEST(ThreadPool, NamesItsThreadsAndLogsEachToItsOwnFile) {
  TempFolder temp;
  setApplicationFolder(temp.path());
  auto pool = ThreadPool::create(5);
  ASSERT_EQ(pool->threadCount(), 5);
  // Five tasks that wait for each other occupy all five threads at once.
  std::mutex mutex;
  std::condition_variable allArrived;
  int arrived = 0;
  for (int i = 0; i < 5; ++i) {
    pool->post([&] {
      LOG_PROMPT("task");
      std::unique_lock lock(mutex);
      ++arrived;
      allArrived.notify_all();
      allArrived.wait_for(lock, std::chrono::seconds(5), [&] { return arrived == 5; });
    });
  }
  ASSERT_TRUE(eventually([&] {
    std::lock_guard lock(mutex);
    return arrived == 5;
  }));
  pool->stop();
  EXPECT_EQ(logFiles(temp.path()),
            (std::set<std::string>{"5_threadPoolLogin_0.txt", "5_threadPoolLogin_1.txt", "5_threadPoolLogin_2.txt",
                                   "5_threadPoolLogin_3.txt", "5_threadPoolLogin_4.txt"}));
}

TEST(ThreadPool, AThrowingTaskLeavesThePoolOneThreadFewer) {
  TempFolder temp;
  setApplicationFolder(temp.path());
  auto pool = ThreadPool::create(5);
  ASSERT_TRUE(eventually([&] { return pool->runningThreads() == 5; }));
  pool->post([] { throw std::runtime_error("task failed"); });
  ASSERT_TRUE(eventually([&] { return pool->runningThreads() == 4; }));

  std::atomic<int> done{0};
  for (int i = 0; i < 20; ++i) pool->post([&] { ++done; });
  EXPECT_TRUE(eventually([&] { return done == 20; })) << "the other four threads keep serving the queue";
  EXPECT_EQ(pool->runningThreads(), 4);
  pool->stop();
}

TEST(ThreadPool, TasksPostedAfterStopNeverRun) {
  TempFolder temp;
  setApplicationFolder(temp.path());
  auto pool = ThreadPool::create(2);
  pool->stop();
  std::atomic<bool> ran{false};
  pool->post([&] { ran = true; });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(ran);
  EXPECT_EQ(pool->runningThreads(), 0);
}

TEST(ThreadPool, TwoOneThreadPoolsShareOneLogFile) {
  TempFolder temp;
  setApplicationFolder(temp.path());
  auto first = ThreadPool::create(1);
  auto second = ThreadPool::create(1);
  mc::AutoResetEvent done;
  first->post([&] { LOG_PROMPT("from the first pool"); done.set(); });
  ASSERT_TRUE(done.wait(5000));
  second->post([&] { LOG_PROMPT("from the second pool"); done.set(); });
  ASSERT_TRUE(done.wait(5000));
  first->stop();
  second->stop();
  const std::string text = readFile(temp.file("Log/1_threadPoolLogin_0.txt"));
  EXPECT_NE(text.find("from the first pool"), std::string::npos);
  EXPECT_NE(text.find("from the second pool"), std::string::npos);
}
