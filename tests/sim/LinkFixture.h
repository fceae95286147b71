#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/Md5.h"
#include "core/AppContext.h"
#include "core/AppFolder.h"
#include "core/ThreadPool.h"
#include "link/CServerLogic.h"
#include "link/ClientBufferPool.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempFolder.h"

namespace simtest {

// What a logic-server link reported, for tests to wait on.
class RecordingNotify : public IServerNotify {
 public:
  void OnServerDisconnected() override { bump(disconnects_); }
  void OnServerReconnected() override { bump(reconnects_); }
  void OnNodeActive(const std::string& id, const std::string& active) override { add(nodes_, id, active); }
  void OnCameraActive(const std::string& id, const std::string& active) override { add(cameras_, id, active); }

  using Pairs = std::vector<std::pair<std::string, std::string>>;
  Pairs nodes() const { return copy(nodes_); }
  Pairs cameras() const { return copy(cameras_); }
  int reconnects() const {
    std::lock_guard<std::mutex> guard(lock_);
    return reconnects_;
  }
  // Waits until `done` holds (checked under the lock) or the limit passes.
  template <typename Predicate>
  bool waitFor(Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, limit, [&] { return done(*this); });
  }
  // For predicates (the lock is held).
  const Pairs& nodesLocked() const { return nodes_; }
  const Pairs& camerasLocked() const { return cameras_; }
  int reconnectsLocked() const { return reconnects_; }
  int disconnectsLocked() const { return disconnects_; }

 private:
  void bump(int& n) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      ++n;
    }
    changed_.notify_all();
  }
  void add(Pairs& list, const std::string& id, const std::string& active) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      list.emplace_back(id, active);
    }
    changed_.notify_all();
  }
  Pairs copy(const Pairs& p) const {
    std::lock_guard<std::mutex> guard(lock_);
    return p;
  }
  mutable std::mutex lock_;
  std::condition_variable changed_;
  Pairs nodes_, cameras_;
  int disconnects_ = 0;
  int reconnects_ = 0;
};

// A running simulator plus what the project's links need: an application
// folder for the pool threads' logs, a callback pool and buffer pools.
class SimLinkTest : public ::testing::Test {
 protected:
  // The catalogue the test starts the simulator with.
  virtual std::string config() const = 0;

  void SetUp() override {
    setApplicationFolder(home_.path());
    pool_ = ThreadPool::create(5);
    buffers_ = ClientBufferPool::create();
    buffers_->init();
    sim_ = std::make_unique<mc::test::SimProcess>(config());
  }

  void TearDown() override {
    for (auto& link : links_) link->close();
    links_.clear();
    if (sim_) {
      const int status = sim_->stop();
      // A clean end: exit code 0 (under the sanitizers also: no leak reports).
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
          << "platform-sim ended with status " << status << ":\n" << sim_->errorOutput();
    }
    pool_->stop();
    buffers_->release();
  }

  std::shared_ptr<CServerLogic> connect(const mc::test::SimProcess::Endpoint& where,
                                        const std::shared_ptr<IServerNotify>& notify = nullptr) {
    auto link = CServerLogic::create(notify, buffers_, pool_);
    EXPECT_TRUE(link->connect(where.host, where.portText()));
    links_.push_back(link);
    return link;
  }

  // A link to the logic server, logged in.
  std::shared_ptr<CServerLogic> loggedIn(const std::string& user, const std::string& password,
                                         const std::shared_ptr<IServerNotify>& notify = nullptr) {
    auto link = connect(sim_->logic(), notify);
    EXPECT_EQ(link->login(user, mc::md5Upper(password), "qvb"), kLoginSucceeded) << user;
    return link;
  }

  mc::test::SimProcess& sim() { return *sim_; }

  mc::test::TempFolder home_;
  std::shared_ptr<ThreadPool> pool_;
  std::shared_ptr<ClientBufferPool> buffers_;
  std::unique_ptr<mc::test::SimProcess> sim_;
  std::vector<std::shared_ptr<CServerLogic>> links_;
};

}  // namespace simtest
