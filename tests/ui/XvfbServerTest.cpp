// The private X server of the display tests: servers started side by side
// get displays of their own, and a stopped server leaves its display free.
#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "tests/support/XvfbServer.h"

namespace {

bool displayInUse(int number) {
  return ::access(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), F_OK) == 0;
}

TEST(XvfbServer, ServersStartedTogetherGetDisplaysOfTheirOwn) {
  // Started at the same moment from one process, they begin their search at
  // the same display number: all but one find it taken and move on.
  constexpr int kServers = 3;
  std::vector<std::unique_ptr<mc::test::XvfbServer>> servers(kServers);
  std::vector<std::thread> starters;
  for (auto& server : servers) starters.emplace_back([&server] { server = std::make_unique<mc::test::XvfbServer>(320, 240); });
  for (auto& t : starters) t.join();
  std::set<int> displays;
  for (const auto& server : servers) {
    ASSERT_TRUE(server->ready()) << server->error();
    EXPECT_GT(server->pid(), 0);
    EXPECT_TRUE(displayInUse(server->display()));
    displays.insert(server->display());
  }
  EXPECT_EQ(displays.size(), static_cast<std::size_t>(kServers));

  const int first = servers[0]->display();
  servers[0]->stop();
  EXPECT_FALSE(servers[0]->ready());
  EXPECT_FALSE(displayInUse(first)) << "the server removed its socket on the way out";
}

}  // namespace
