// platform-sim as a program: start-up failures, clean ends, and the same
// servers embedded in a test process.
#include <signal.h>
#include <sys/wait.h>

#include "sim/Simulator.h"
#include "tests/sim/LinkFixture.h"
#include "tests/sim/RawLink.h"

namespace {

const char* const kSmall = R"({"users":[{"name":"u","password":"p"}],"nodes":[{"id":"n","cameras":[{"id":"c1"}]}]})";

TEST(PlatformSim, RefusesAConfigurationItCannotUse) {
  struct Case {
    const char* json;
    const char* mentions;
  };
  const Case cases[] = {
      {"{", "not valid JSON"},
      {R"({"nodes":[{"id":"n","cameras":[{"id":"c","fps":500}]}]})", "nodes[0].cameras[0].fps"},
  };
  for (const Case& c : cases) {
    try {
      mc::test::SimProcess sim(c.json);
      ADD_FAILURE() << "started with " << c.json;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
    }
  }
}

TEST(PlatformSim, EndsCleanlyOnSigintAndSigterm) {
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    mc::test::SimProcess sim(kSmall);
    simtest::RawLink client(sim.logic().host, sim.logic().port);  // a link open at the end
    ASSERT_EQ(::kill(sim.pid(), signal), 0);
    EXPECT_TRUE(client.closedByPeer(5000));
    const int status = sim.waitExit(std::chrono::seconds(10));
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << sim.errorOutput();
  }
}

TEST(PlatformSim, ServesInProcessAndStopsFromAnotherThread) {
  mc::test::TempFolder home;
  setApplicationFolder(home.path());
  auto pool = ThreadPool::create(2);
  auto buffers = ClientBufferPool::create();
  buffers->init();
  {
    sim::Simulator simulator(sim::SimConfig::parse(kSmall));
    simulator.start();
    const auto listeners = simulator.listeners();
    ASSERT_EQ(listeners.size(), 4u);
    EXPECT_EQ(listeners[0].role, "dispatcher");
    EXPECT_EQ(listeners[2].role, "relay");
    EXPECT_EQ(listeners[3].role, "control");
    simulator.runInBackground();

    auto link = CServerLogic::create(nullptr, buffers, pool);
    const sim::ListenerInfo& logic = simulator.listener("logic");
    ASSERT_TRUE(link->connect(logic.host, std::to_string(logic.port)));
    EXPECT_EQ(link->login("u", mc::md5Upper("p"), "qvb"), kLoginSucceeded);
    NodeListReply nodes;
    EXPECT_TRUE(link->getNodeList("u", nodes));
    EXPECT_EQ(nodes.nodeIdList, "n");
    simulator.world().setCameraOnline("c1", false);  // from this thread, while serving
    std::string online, cameras;
    EXPECT_TRUE(link->getOnlineState("n;", "c1;", online, cameras));
    EXPECT_EQ(cameras, "");
    simulator.stop();
    link->close();
  }
  pool->stop();
  buffers->release();
}

}  // namespace
