#pragma once
#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/WindowMessage.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempFolder.h"

class CMainLogic;

namespace coordtest {

// The simulator's catalogue used by most cases: two nodes, one off line, a
// name with single quotes, an expired camera.
extern const char* const kCatalogue;

// Records every posted window message so a test can wait for one.
class MessageRecorder {
 public:
  MessageRecorder();
  ~MessageRecorder();
  // Waits until a message with `id` was posted to `window`; returns it.
  bool waitFor(std::uint32_t id, mc::WindowMessage& message,
               std::chrono::milliseconds limit = std::chrono::seconds(10));
  std::vector<std::pair<mc::WindowHandle, mc::WindowMessage>> messages();

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::vector<std::pair<mc::WindowHandle, mc::WindowMessage>> messages_;
};

// An application folder pointing at a running simulator, and the coordinator
// loaded from it (AppContext is process-wide: every TEST runs in a process of
// its own).
class CoordinatorTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes Config.ini with these dispatchers (the simulator's when none are
  // given) and a LockSetConfig.ini without folders.
  void writeConfig(const std::vector<std::pair<std::string, std::string>>& servers = {});
  // Writes the configuration, then runs the configuration loader.
  void loadWith(const std::vector<std::pair<std::string, std::string>>& servers);
  // Loads with the simulator's dispatcher, connects and logs in as `user`.
  void connectAndLogin(const std::string& user = "alice", const std::string& password = "secret");
  CMainLogic& logic();
  // The simulator's request counter of `kind` on the logic server.
  int requests(int kind);
  Json::Value controlJson(const std::string& command);

  virtual std::string config() const { return kCatalogue; }

  mc::test::TempFolder home;
  std::unique_ptr<mc::test::SimProcess> sim;
};

}  // namespace coordtest
