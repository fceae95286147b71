// The window-handle registry: posted messages cross threads to the UI thread,
// are dropped for closed windows, and free their payload exactly once.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "common/Messages.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/lib/WindowRegistry.h"

namespace {

using mc::test::spinFor;
using mc::test::waitUntil;

// A payload that counts how often it is freed.
std::shared_ptr<void> countedPayload(std::atomic<int>& frees) {
  return std::shared_ptr<void>(new int(7), [&frees](void* p) {
    delete static_cast<int*>(p);
    ++frees;
  });
}

struct Received {
  std::uint32_t id;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  bool onUiThread;
};

TEST(WindowRegistry, MessagesFromWorkerThreadsArriveOnTheUiThreadInOrder) {
  std::vector<Received> received;
  ui::MessageReceiver receiver([&](const mc::WindowMessage& m) {
    received.push_back({m.id, m.wParam, m.lParam, QThread::currentThread() == qApp->thread()});
  });
  constexpr int kThreads = 4;
  constexpr int kPerThread = 500;
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i)
        ASSERT_TRUE(mc::postMessage(receiver.handle(), mc::msg::MSG_WELCOME_PROGRESS, t, i));
    });
  }
  for (auto& w : workers) w.join();
  ASSERT_TRUE(waitUntil([&] { return received.size() == kThreads * kPerThread; }));
  std::vector<std::intptr_t> next(kThreads, 0);
  for (const Received& r : received) {
    EXPECT_TRUE(r.onUiThread);
    EXPECT_EQ(r.id, mc::msg::MSG_WELCOME_PROGRESS);
    ASSERT_LT(r.wParam, static_cast<std::uintptr_t>(kThreads));
    EXPECT_EQ(r.lParam, next[r.wParam]++) << "messages of one thread keep their order";
  }
}

// Each way a message can meet a closed window: the payload is freed exactly
// once and the handler never sees the message.
TEST(WindowRegistry, MessagesToClosedWindowsAreDroppedAndFreedOnce) {
  enum class Close { BeforePost, AfterPostBeforeDelivery, ReceiverDestroyedWhileQueued };
  for (Close when : {Close::BeforePost, Close::AfterPostBeforeDelivery, Close::ReceiverDestroyedWhileQueued}) {
    SCOPED_TRACE(static_cast<int>(when));
    std::atomic<int> frees{0};
    int handled = 0;
    auto receiver = std::make_unique<ui::MessageReceiver>([&](const mc::WindowMessage&) { ++handled; });
    const mc::WindowHandle handle = receiver->handle();
    bool posted = false;
    switch (when) {
      case Close::BeforePost:
        ui::unregisterWindow(handle);
        posted = mc::postMessage(handle, mc::msg::MSG_CAMERA_PARAMS, 0, 0, countedPayload(frees));
        EXPECT_FALSE(posted);
        EXPECT_EQ(frees, 1) << "a refused message is freed at once";
        break;
      case Close::AfterPostBeforeDelivery:
        posted = mc::postMessage(handle, mc::msg::MSG_CAMERA_PARAMS, 0, 0, countedPayload(frees));
        EXPECT_TRUE(posted);
        ui::unregisterWindow(handle);
        break;
      case Close::ReceiverDestroyedWhileQueued:
        posted = mc::postMessage(handle, mc::msg::MSG_CAMERA_PARAMS, 0, 0, countedPayload(frees));
        EXPECT_TRUE(posted);
        receiver.reset();
        break;
    }
    spinFor(30);
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(frees, 1);
    EXPECT_FALSE(ui::isWindow(handle));
  }
}

TEST(WindowRegistry, DeliveredPayloadIsFreedOnceAfterTheHandler) {
  std::atomic<int> frees{0};
  int seenValue = 0;
  int freesDuringHandler = -1;
  ui::MessageReceiver receiver([&](const mc::WindowMessage& m) {
    seenValue = *static_cast<int*>(m.payload.get());
    freesDuringHandler = frees;
  });
  std::thread([&] { mc::postMessage(receiver.handle(), mc::msg::MSG_CAMERA_PARAMS, 0, 0, countedPayload(frees)); })
      .join();
  ASSERT_TRUE(waitUntil([&] { return frees == 1; }));
  EXPECT_EQ(seenValue, 7);
  EXPECT_EQ(freesDuringHandler, 0);
  spinFor(20);
  EXPECT_EQ(frees, 1);
}

TEST(WindowRegistry, HandlesAreNeverReused) {
  mc::WindowHandle first;
  {
    ui::MessageReceiver a([](const mc::WindowMessage&) {});
    first = a.handle();
    EXPECT_TRUE(ui::isWindow(first));
  }
  int reachedSecond = 0;
  ui::MessageReceiver b([&](const mc::WindowMessage&) { ++reachedSecond; });
  EXPECT_NE(b.handle(), first);
  EXPECT_FALSE(ui::isWindow(first));
  EXPECT_FALSE(mc::postMessage(first, mc::msg::MSG_CLOSE_WAIT));
  EXPECT_FALSE(mc::postMessage(mc::kNoWindow, mc::msg::MSG_CLOSE_WAIT));
  spinFor(20);
  EXPECT_EQ(reachedSecond, 0);
}

// Workers keep posting while the UI thread opens and closes receivers; every
// payload is freed exactly once, whatever the interleaving.
TEST(WindowRegistry, PostingRacesWithClosingWindows) {
  std::atomic<int> frees{0};
  std::atomic<int> posts{0};
  std::atomic<mc::WindowHandle> target{mc::kNoWindow};
  std::atomic<bool> stop{false};
  std::vector<std::thread> workers;
  for (int t = 0; t < 3; ++t) {
    workers.emplace_back([&] {
      while (!stop) {
        mc::postMessage(target.load(), mc::msg::MSG_CAMERA_PARAMS, 0, 0, countedPayload(frees));
        ++posts;
        std::this_thread::sleep_for(std::chrono::microseconds(20));  // keep the queue short
      }
    });
  }
  int handled = 0;
  for (int round = 0; round < 100; ++round) {
    auto receiver = std::make_unique<ui::MessageReceiver>([&](const mc::WindowMessage&) { ++handled; });
    target = receiver->handle();
    const int before = handled;
    waitUntil([&] { return handled > before; }, 20);
    // Odd rounds close the window with messages still arriving; even ones
    // destroy the receiver with messages still queued.
    if (round % 2) {
      ui::unregisterWindow(receiver->handle());
      QCoreApplication::processEvents();
    }
  }
  stop = true;
  for (auto& w : workers) w.join();
  spinFor(20);
  EXPECT_EQ(frees.load(), posts.load());
  EXPECT_GT(handled, 0);
}

}  // namespace
