// platform-sim against bytes no client should send, and against many
// clients at once: a bad client is disconnected alone.
#include <atomic>
#include <thread>

#include "link/Base64.h"
#include "tests/sim/LinkFixture.h"
#include "tests/sim/RawLink.h"

using simtest::bytesOf;
using simtest::framed;
using simtest::RawLink;

namespace {

const char* const kCatalogue = R"({
  "cameraDefaults": {"audio": {"codec": "none"}},
  "users": [{"name": "alice", "password": "secret", "userId": "u1"}],
  "nodes": [{"id": "n1", "name": "Site", "cameras": [{"id": "c1"}, {"id": "c2"}]}]
})";

class RobustnessTest : public simtest::SimLinkTest {
 protected:
  std::string config() const override { return kCatalogue; }
};

std::vector<std::uint8_t> payload(char encoding, const std::string& text, bool terminated = true) {
  std::vector<std::uint8_t> body{static_cast<std::uint8_t>(encoding)};
  body.insert(body.end(), text.begin(), text.end());
  if (terminated) body.push_back(0);
  return body;
}

std::string base64(const std::string& text) {
  std::string out;
  base64Encode(text, out);
  return out;
}

struct Garbage {
  const char* what;
  std::vector<std::uint8_t> bytes;
};

std::vector<Garbage> garbageKinds() {
  const std::string json = R"({"TimeSep":0,"appId":1,"clientType":2,"msgType":3,"params":{"userId":"u1"},"version":1})";
  std::string broken = base64(json);
  broken.insert(8, "\n");
  std::vector<std::uint8_t> random(64);
  for (std::size_t i = 0; i < random.size(); ++i) random[i] = static_cast<std::uint8_t>((i * 151 + 7) % 256);
  random[0] = 0xEE;
  return {
      {"length 3", {3, 0, 0, 0, 'a', 'b', 'c'}},
      {"length 512 001", {0x01, 0xD0, 0x07, 0x00, '1'}},
      {"negative length", {0xFF, 0xFF, 0xFF, 0xFF}},
      {"Base64 with a bad character", framed(payload('1', "QUJD@@@@"))},
      {"Base64 with a line break", framed(payload('1', broken))},
      {"Base64 of a length not a multiple of 4", framed(payload('1', "QUJDR"))},
      {"JSON that does not parse", framed(payload('1', base64("{\"msgType\":3,")))},
      {"params holding an object", framed(payload('1', base64(R"({"msgType":3,"params":{"a":{"b":1}}})")))},
      {"no zero terminator", framed(payload('1', base64(json), false))},
      {"encoding type 2", framed(payload('2', base64(json)))},
      {"a media frame on the logic server", framed(bytesOf(std::string("V") + std::string(24, '\0') + "abcd"))},
      {"random bytes", framed(random)},
  };
}

TEST_F(RobustnessTest, GarbageEndsOnlyTheLinkThatSentIt) {
  auto good = loggedIn("alice", "secret");
  std::atomic<bool> stop{false};
  std::atomic<int> answered{0}, failed{0};
  std::thread steady([&] {
    while (!stop) {
      NodeListReply nodes;
      if (good->getNodeList("u1", nodes) && nodes.nodeIdList == "n1") ++answered;
      else ++failed;
    }
  });

  const auto kinds = garbageKinds();
  for (const Garbage& g : kinds) {
    SCOPED_TRACE(g.what);
    RawLink bad(sim().logic().host, sim().logic().port);
    ASSERT_TRUE(bad.sendBytes(g.bytes));
    EXPECT_TRUE(bad.closedByPeer());
  }
  // A message of another kind of client is ignored, not punished.
  RawLink foreign(sim().logic().host, sim().logic().port);
  ASSERT_TRUE(foreign.sendCommand(2, 0, {{"userName", "alice"}}, 3));
  ASSERT_TRUE(foreign.sendCommand(1, 0, {{"userName", "alice"}}));
  MessageEnvelope reply;
  ASSERT_TRUE(foreign.readCommand(reply));
  EXPECT_EQ(reply.msgType, 1) << "the foreign message got no answer, the next one did";
  EXPECT_EQ(reply.param("status"), "1");

  // A frame cut off by the peer's close harms nobody either.
  {
    RawLink cut(sim().logic().host, sim().logic().port);
    ASSERT_TRUE(cut.sendBytes(std::vector<std::uint8_t>{100, 0, 0, 0, '1', 'Q'}));
  }
  stop = true;
  steady.join();
  EXPECT_GT(answered.load(), 0);
  EXPECT_EQ(failed.load(), 0);

  const std::string stats = sim().controlOk("stats");
  EXPECT_NE(stats.find("\"garbage\":" + std::to_string(kinds.size())), std::string::npos) << stats;
  EXPECT_NE(stats.find("\"foreign\":1"), std::string::npos) << stats;
}

TEST_F(RobustnessTest, GarbageOnARelayEndsOnlyThatLink) {
  RawLink viewer(sim().relay().host, sim().relay().port);
  ASSERT_TRUE(viewer.sendCommand(1, 1, {{"SxtId", "c1"}, {"PWD", mc::md5Upper("c1")}}));
  MessageEnvelope reply;
  ASSERT_TRUE(viewer.readCommand(reply));
  ASSERT_EQ(reply.param("status"), "1");
  for (const Garbage& g : garbageKinds()) {
    if (std::string(g.what) == "a media frame on the logic server") continue;  // a relay takes media frames
    SCOPED_TRACE(g.what);
    RawLink bad(sim().relay().host, sim().relay().port);
    ASSERT_TRUE(bad.sendBytes(g.bytes));
    EXPECT_TRUE(bad.closedByPeer());
  }
  // Talk-back audio whose lengths do not add up is garbage too.
  RawLink liar(sim().relay().host, sim().relay().port);
  std::vector<std::uint8_t> audio(21 + 300, 0);
  audio[0] = 'V';
  audio[3] = 0x41;   // tag "A" in bits 16-31 of word 0
  audio[9] = 0xF4;   // word 2: 500 payload bytes announced
  audio[10] = 0x01;
  ASSERT_TRUE(liar.sendBytes(framed(audio)));
  EXPECT_TRUE(liar.closedByPeer());

  // The good viewer still gets its answers.
  ASSERT_TRUE(viewer.sendCommand(17, 2, {}));
  ASSERT_TRUE(viewer.readCommand(reply));
  EXPECT_EQ(reply.msgType, 17);
  EXPECT_EQ(reply.TimeSep, 2);
}

TEST_F(RobustnessTest, ManyClientsAtOnceAreAllServed) {
  constexpr int kClients = 40;
  std::vector<std::shared_ptr<CServerLogic>> clients;
  for (int i = 0; i < kClients; ++i) clients.push_back(connect(sim().logic()));
  std::atomic<int> served{0};
  std::vector<std::thread> threads;
  for (auto& client : clients)
    threads.emplace_back([&served, client] {
      if (client->login("alice", mc::md5Upper("secret"), "qvb") != kLoginSucceeded) return;
      NodeListReply nodes;
      CameraListReply cameras;
      std::string version;
      if (client->getNodeList("u1", nodes) && client->getCameraList("n1", cameras) &&
          client->getCatalogueVersion("u1", version) && cameras.cameraIdList == "c1;c2")
        ++served;
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(served.load(), kClients);
  EXPECT_NE(sim().controlOk("stats").find("\"clients\":" + std::to_string(kClients)), std::string::npos);
}

}  // namespace
