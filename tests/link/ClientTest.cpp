#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <regex>

#include "core/ThreadPool.h"
#include "tests/link/ClientFixture.h"

using namespace mc::test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::uint32_t kLimitMs = 3000;

BufferPtr bufferWith(const std::vector<std::uint8_t>& bytes) {
  auto buffer = std::make_shared<Asio_Buffer>(static_cast<std::int32_t>(bytes.size()));
  std::copy(bytes.begin(), bytes.end(), buffer->data());
  return buffer;
}

long long millisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string runCommand(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) output += line;
    ::pclose(pipe);
  }
  return output;
}

// A port on 127.0.0.1 that nobody listens on.
int closedPort() {
  LoopbackPeer peer;
  const int port = peer.port();
  peer.stopListening();
  return port;
}

}  // namespace

using ClientTest = LinkFixture;

TEST_F(ClientTest, DeliversBodiesOfFourAnd512000Bytes) {
  for (const std::size_t length : {std::size_t(4), std::size_t(512000)}) {
    LoopbackPeer peer;
    auto client = makeClient();
    ASSERT_TRUE(client->connect("127.0.0.1", peer.port(), kLimitMs));
    auto connection = peer.nextConnection();
    ASSERT_TRUE(connection);
    const auto body = pattern(length, 3);
    const auto small = pattern(10, 9);
    ASSERT_TRUE(connection->sendBytes(frameBytes(body)));
    ASSERT_TRUE(connection->sendBytes(frameBytes(small)));
    ASSERT_TRUE(client->waitForBodies(2)) << length;
    EXPECT_EQ(client->bodies()[0], body) << "a " << length << "-byte body arrives whole";
    EXPECT_EQ(client->bodies()[1], small) << "and the reader is back on the next header";
    EXPECT_TRUE(client->disconnects().empty());
    EXPECT_EQ(client->connected(), 1);
  }
}

TEST_F(ClientTest, ClosesAndReconnectsOnLengthsOutsideTheLimit) {
  for (const std::int32_t length : {3, 512001, 0, -1}) {
    LoopbackPeer peer;
    auto client = makeClient();
    ASSERT_TRUE(client->connect("127.0.0.1", peer.port(), kLimitMs));
    auto first = peer.nextConnection();
    ASSERT_TRUE(first);
    auto bytes = lengthBytes(length);
    const auto filler = pattern(64, 1);
    bytes.insert(bytes.end(), filler.begin(), filler.end());
    ASSERT_TRUE(first->sendBytes(bytes));

    ASSERT_TRUE(client->waitForDisconnects(1)) << length;
    EXPECT_FALSE(client->disconnects()[0]) << "a protocol error closes with the success code";
    EXPECT_GE(first->waitForClose(), 0) << "the connection is really closed";
    EXPECT_TRUE(client->bodies().empty());

    auto second = peer.nextConnection();
    ASSERT_TRUE(second) << "the client reconnects by itself";
    ASSERT_TRUE(client->waitForReconnects(1));
    const auto body = pattern(5, 2);
    ASSERT_TRUE(second->sendBytes(frameBytes(body)));
    ASSERT_TRUE(client->waitForBodies(1));
    EXPECT_EQ(client->bodies()[0], body);
  }
}

TEST_F(ClientTest, ReassemblesFramesThatArriveInPieces) {
  LoopbackPeer peer;
  auto client = makeClient();
  ASSERT_TRUE(client->connect("127.0.0.1", peer.port(), kLimitMs));
  auto connection = peer.nextConnection();
  ASSERT_TRUE(connection);
  std::vector<std::uint8_t> stream;
  std::vector<std::vector<std::uint8_t>> expected;
  for (std::size_t n : {4u, 17u, 70000u, 4u}) {
    expected.push_back(pattern(n, static_cast<std::uint8_t>(n)));
    const auto framed = frameBytes(expected.back());
    stream.insert(stream.end(), framed.begin(), framed.end());
  }
  // Header bytes one at a time, then the rest in uneven slices.
  for (std::size_t at = 0; at < stream.size();) {
    const std::size_t size = at < 6 ? 1 : std::min<std::size_t>(9973, stream.size() - at);
    ASSERT_TRUE(connection->sendBytes(stream.data() + at, size));
    at += size;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(client->waitForBodies(expected.size()));
  EXPECT_EQ(client->bodies(), expected);
}

TEST_F(ClientTest, CoalescesMoreThanTenWaitingBuffersIntoOneWrite) {
  struct Case {
    int waiting;
    bool coalesced;
  };
  for (const Case c : {Case{10, false}, Case{11, true}}) {
    LoopbackPeer peer;
    auto client = makeClient();
    ASSERT_TRUE(client->connect("127.0.0.1", peer.port(), kLimitMs));
    auto connection = peer.nextConnection();
    ASSERT_TRUE(connection);

    // The first write cannot finish while the peer reads nothing: it is far
    // larger than both socket buffers.
    const auto big = pattern(48u << 20, 5);
    ASSERT_TRUE(client->send(bufferWith(big)));
    std::vector<std::uint8_t> expected = big;
    std::int32_t waitingBytes = 0;
    for (int i = 0; i < c.waiting; ++i) {
      const auto small = pattern(100 + static_cast<std::size_t>(i), static_cast<std::uint8_t>(i));
      expected.insert(expected.end(), small.begin(), small.end());
      waitingBytes += static_cast<std::int32_t>(small.size());
      ASSERT_TRUE(client->send(bufferWith(small)));
    }
    ASSERT_TRUE(eventually([&] { return client->queuedBuffers() == c.waiting + 1; }));
    EXPECT_TRUE(client->sent().empty());

    std::vector<std::uint8_t> received;
    ASSERT_TRUE(connection->readExactly(expected.size(), received, 20000));
    EXPECT_TRUE(received == expected) << "every byte, in queue order";

    const std::size_t writes = c.coalesced ? 2 : static_cast<std::size_t>(c.waiting) + 1;
    ASSERT_TRUE(client->waitForSent(writes));
    const auto sent = client->sent();
    ASSERT_EQ(sent.size(), writes) << c.waiting << " waiting";
    EXPECT_EQ(sent[0].size, static_cast<std::int32_t>(big.size()));
    EXPECT_EQ(sent[0].remaining, c.waiting);
    if (c.coalesced) {
      EXPECT_EQ(sent[1].size, waitingBytes) << "one combined buffer";
      EXPECT_EQ(sent[1].remaining, 0);
    } else {
      for (std::size_t i = 1; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].size, static_cast<std::int32_t>(100 + i - 1));
        EXPECT_EQ(sent[i].remaining, c.waiting - static_cast<std::int32_t>(i));
      }
    }
  }
}

TEST_F(ClientTest, ConnectWhileConnectedStaysWithTheFirstPeer) {
  LoopbackPeer first;
  LoopbackPeer second;
  auto client = makeClient();
  ASSERT_TRUE(client->connect("127.0.0.1", first.port(), kLimitMs));
  auto connection = first.nextConnection();
  ASSERT_TRUE(connection);

  EXPECT_TRUE(client->connect("127.0.0.1", second.port(), kLimitMs));
  EXPECT_EQ(client->remotePort(), first.port());
  EXPECT_EQ(second.nextConnection(300), nullptr);
  EXPECT_EQ(client->connected(), 1);

  ASSERT_TRUE(client->send(bufferWith({1, 2, 3})));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(connection->readExactly(3, bytes));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(ClientTest, ConnectDuringReconnectionSwitchesToTheNewAddress) {
  auto first = std::make_unique<LoopbackPeer>();
  LoopbackPeer second;
  auto client = makeClient();
  ASSERT_TRUE(client->connect("127.0.0.1", first->port(), kLimitMs));
  auto lost = first->nextConnection();
  ASSERT_TRUE(lost);
  first->stopListening();
  lost->close();
  ASSERT_TRUE(client->waitForDisconnects(1));
  EXPECT_TRUE(client->disconnects()[0]) << "a peer close reports its error";
  ASSERT_TRUE(eventually([&] { return client->isReconnecting(); }));

  const auto start = Clock::now();
  EXPECT_TRUE(client->connect("localhost", second.port(), kLimitMs));
  EXPECT_LT(millisecondsSince(start), 1000) << "returns at once";
  EXPECT_EQ(client->remoteHost(), "127.0.0.1") << "the numeric address of the name";

  auto connection = second.nextConnection();
  ASSERT_TRUE(connection) << "the loop goes on with the new address";
  ASSERT_TRUE(client->waitForReconnects(1));
  EXPECT_EQ(client->connected(), 1) << "OnConnected belongs to the first connect only";
  EXPECT_EQ(client->remotePort(), second.port());
  ASSERT_TRUE(client->send(bufferWith({9})));
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(connection->readExactly(1, bytes));
}

TEST_F(ClientTest, CloseDuringReconnectionStopsIt) {
  auto peer = std::make_unique<LoopbackPeer>();
  const int port = peer->port();
  auto client = makeClient();
  ASSERT_TRUE(client->connect("127.0.0.1", port, kLimitMs));
  auto connection = peer->nextConnection();
  ASSERT_TRUE(connection);
  peer->stopListening();
  connection->close();
  ASSERT_TRUE(client->waitForDisconnects(1));
  ASSERT_TRUE(eventually([&] { return client->reconnectAttempts() >= 1; }));

  client->close();
  EXPECT_TRUE(eventually([&] { return !client->isReconnecting(); }));
  LoopbackPeer back(port);  // the server returns on the same port
  EXPECT_EQ(back.nextConnection(1500), nullptr) << "no attempt after close";
  EXPECT_EQ(client->reconnected(), 0);
  EXPECT_EQ(client->disconnects().size(), 1u) << "no second OnDisconnected";
  EXPECT_FALSE(client->send(bufferWith({1})));
}

TEST_F(ClientTest, ReconnectionPausesBetweenRefusedAttemptsAndRecovers) {
  auto peer = std::make_unique<LoopbackPeer>();
  const int port = peer->port();
  auto client = makeClient();
  ASSERT_TRUE(client->connect("127.0.0.1", port, kLimitMs));
  auto connection = peer->nextConnection();
  ASSERT_TRUE(connection);
  peer->stopListening();
  connection->close();
  ASSERT_TRUE(client->waitForDisconnects(1));

  // 200, 400 and 800 ms pauses: three refused attempts in about 1.4 s, where
  // retrying at once would make thousands.
  std::this_thread::sleep_for(std::chrono::milliseconds(1700));
  EXPECT_GE(client->reconnectAttempts(), 2u);
  EXPECT_LE(client->reconnectAttempts(), 5u);

  LoopbackPeer back(port);
  auto again = back.nextConnection(4000);
  ASSERT_TRUE(again) << "the next attempt finds the server back";
  ASSERT_TRUE(client->waitForReconnects(1));
  EXPECT_EQ(client->reconnectAttempts(), 0u);

  // A success resets the pause: the next loss is repaired after about 200 ms.
  const auto lostAt = Clock::now();
  again->close();
  ASSERT_TRUE(back.nextConnection(2000));
  EXPECT_LT(millisecondsSince(lostAt), 1500);
}

TEST_F(ClientTest, APeerThatDropsEveryConnectionIsNotHammered) {
  LoopbackPeer peer;
  auto client = makeClient();
  ASSERT_TRUE(client->connect("127.0.0.1", peer.port(), kLimitMs));
  auto connection = peer.nextConnection();
  ASSERT_TRUE(connection);
  peer.setDropOnAccept(true);
  connection->close();
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  EXPECT_GE(peer.acceptedCount(), 3);
  EXPECT_LE(peer.acceptedCount(), 12);
}

TEST_F(ClientTest, ConnectFailsForRefusedAndUnusableAddresses) {
  const int refused = closedPort();
  struct Case {
    std::string host;
    int port;
  };
  const Case cases[] = {{"127.0.0.1", refused}, {"", refused}, {"127.0.0.1", 0}, {"127.0.0.1", 70000},
                        {"127.0.0.1", -2}};
  for (const auto& c : cases) {
    auto client = makeClient();
    const auto start = Clock::now();
    EXPECT_FALSE(client->connect(c.host, c.port, kLimitMs)) << c.host << ":" << c.port;
    EXPECT_LT(millisecondsSince(start), 1000);
    EXPECT_TRUE(client->isClosed());
    EXPECT_FALSE(client->isReconnecting()) << "never connected: no reconnection";
    EXPECT_FALSE(client->send(bufferWith({1})));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  for (auto& link : links_) {
    EXPECT_EQ(link->connected(), 0);
    EXPECT_TRUE(link->disconnects().empty()) << "a failed connect posts no callback";
  }
}

TEST_F(ClientTest, AConnectThatMissesItsTimeLimitIsAbandoned) {
  // A listener whose accept queue is full drops new handshakes, so a connect
  // hangs until its SYN is retried (after about a second).
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  socklen_t length = sizeof address;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const int port = ntohs(address.sin_port);
  std::vector<int> fillers;
  for (int i = 0; i < 1; ++i) {
    const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
    fillers.push_back(filler);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));

  auto client = makeClient();
  const auto start = Clock::now();
  EXPECT_FALSE(client->connect("127.0.0.1", port, 300));
  const auto waited = millisecondsSince(start);
  EXPECT_GE(waited, 290);
  EXPECT_LT(waited, 900);

  // Make room: a retried SYN of the abandoned attempt would now be accepted.
  // Fillers may complete late too; they are told apart by their ports.
  std::vector<int> fillerPorts;
  for (int filler : fillers) {
    sockaddr_in local {};
    socklen_t size = sizeof local;
    ::getsockname(filler, reinterpret_cast<sockaddr*>(&local), &size);
    fillerPorts.push_back(ntohs(local.sin_port));
  }
  ::fcntl(listener, F_SETFL, O_NONBLOCK);
  std::vector<int> accepted;
  const auto drain = [&] {
    for (int fd; (fd = ::accept(listener, nullptr, nullptr)) >= 0;) accepted.push_back(fd);
  };
  // The attempt's SYN would be retried about a second after it started.
  for (const auto until = Clock::now() + std::chrono::milliseconds(1800); Clock::now() < until;) {
    drain();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  for (int fd : accepted) {
    EXPECT_NE(std::find(fillerPorts.begin(), fillerPorts.end(), PeerConnection(::dup(fd)).remotePort()),
              fillerPorts.end())
        << "the abandoned attempt completed after all";
  }
  EXPECT_TRUE(client->isClosed());
  EXPECT_EQ(client->connected(), 0);
  for (int fd : accepted) ::close(fd);
  for (int fd : fillers) ::close(fd);
  ::close(listener);
}

TEST_F(ClientTest, SetsShortKeepAliveAndResetsOnClose) {
  LoopbackPeer peer;
  auto client = makeClient();
  ASSERT_TRUE(client->connect("127.0.0.1", peer.port(), kLimitMs));
  auto connection = peer.nextConnection();
  ASSERT_TRUE(connection);

  // The kernel's view of the client socket: its keep-alive timer runs on the
  // 5-second idle time, not the system's two hours.
  const std::string command = "ss -tnoH state established '( sport = :" + std::to_string(connection->remotePort()) +
                              " )' 2>/dev/null";
  const std::string output = runCommand(command);
  std::smatch match;
  ASSERT_TRUE(std::regex_search(output, match, std::regex(R"(timer:\(keepalive,([0-9.]+)(ms|sec))")))
      << "no keep-alive timer in: " << output;
  const double seconds = std::stod(match[1]) / (match[2] == "ms" ? 1000.0 : 1.0);
  EXPECT_GT(seconds, 0.0);
  EXPECT_LE(seconds, 5.0);

  // Linger 0: closing resets the connection, so the client's socket is gone at
  // once instead of waiting in FIN-WAIT-2 for a peer that has not closed.
  client->close();
  ASSERT_TRUE(client->waitForDisconnects(1));
  EXPECT_FALSE(client->disconnects()[0]) << "close reports the success code";
  const std::string anyState = "ss -tanH '( sport = :" + std::to_string(connection->remotePort()) + " )' 2>/dev/null";
  EXPECT_TRUE(eventually([&] { return runCommand(anyState).empty(); }, 2000)) << runCommand(anyState);
  EXPECT_GE(connection->waitForClose(), 0);
  EXPECT_FALSE(client->isReconnecting());
  EXPECT_EQ(peer.nextConnection(500), nullptr) << "no reconnection after close";
}

TEST_F(ClientTest, ALostConnectionIsReplacedAndCarriesTrafficAgain) {
  LoopbackPeer peer;
  auto client = makeClient();
  EXPECT_FALSE(client->send(bufferWith({1}))) << "not connected yet";
  ASSERT_TRUE(client->connect("127.0.0.1", peer.port(), kLimitMs));
  auto first = peer.nextConnection();
  ASSERT_TRUE(first);
  first->close();
  ASSERT_TRUE(client->waitForDisconnects(1));
  EXPECT_EQ(client->disconnects()[0], boost::asio::error::eof);
  EXPECT_FALSE(client->send(bufferWith({1}))) << "closed while reconnecting: nothing queued";

  auto second = peer.nextConnection();
  ASSERT_TRUE(second);
  ASSERT_TRUE(client->waitForReconnects(1));
  ASSERT_TRUE(client->send(bufferWith({4, 5, 6})));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(second->readExactly(3, bytes));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{4, 5, 6}));
  const auto body = pattern(33, 7);
  ASSERT_TRUE(second->sendBytes(frameBytes(body)));
  ASSERT_TRUE(client->waitForBodies(1));
  EXPECT_EQ(client->bodies()[0], body);
}

TEST_F(ClientTest, WithoutBuffersTheReadLoopRestsButTheLinkStaysUp) {
  LoopbackPeer peer;
  auto client = makeClient();
  pools_->release();
  ASSERT_TRUE(client->connect("127.0.0.1", peer.port(), kLimitMs));
  auto connection = peer.nextConnection();
  ASSERT_TRUE(connection);
  ASSERT_TRUE(connection->sendBytes(frameBytes(pattern(8, 1))));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_TRUE(client->bodies().empty());
  EXPECT_TRUE(client->disconnects().empty());
  EXPECT_FALSE(client->isClosed());
  EXPECT_TRUE(client->send(bufferWith({7})));
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(connection->readExactly(1, bytes)) << "sending needs no pool buffer";
}

TEST_F(ClientTest, CallbacksOfOneClientRunOneAtATimeUnlessParallel) {
  auto callbacks = ThreadPool::create(3);
  for (const bool parallel : {false, true}) {
    LoopbackPeer peer;
    auto client = RecordingClient::create(pools_, callbacks, nullptr, parallel);
    links_.push_back(client);
    client->slowRecv_ = true;
    ASSERT_TRUE(client->connect("127.0.0.1", peer.port(), kLimitMs));
    auto connection = peer.nextConnection();
    ASSERT_TRUE(connection);
    std::vector<std::vector<std::uint8_t>> expected;
    for (int i = 0; i < 12; ++i) {
      expected.push_back(pattern(20, static_cast<std::uint8_t>(i)));
      ASSERT_TRUE(connection->sendBytes(frameBytes(expected.back())));
    }
    ASSERT_TRUE(client->waitForBodies(expected.size()));
    auto bodies = client->bodies();
    if (parallel) {
      EXPECT_GT(client->concurrentPeak(), 1) << "parallel callbacks overlap";
      std::sort(bodies.begin(), bodies.end());
      std::sort(expected.begin(), expected.end());
    } else {
      EXPECT_EQ(client->concurrentPeak(), 1) << "serialised callbacks never overlap";
    }
    EXPECT_EQ(bodies, expected) << (parallel ? "all delivered" : "all delivered, in order");
  }
  for (auto& link : links_) closeAndExpectReleased(link);
  links_.clear();
  callbacks->stop();
}

TEST_F(ClientTest, AThrowingCallbackIsContainedAndDeliveryGoesOn) {
  LoopbackPeer peer;
  auto client = makeClient();
  client->throwOnNextBodies(2);
  ASSERT_TRUE(client->connect("127.0.0.1", peer.port(), kLimitMs));
  auto connection = peer.nextConnection();
  ASSERT_TRUE(connection);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(connection->sendBytes(frameBytes(pattern(8, static_cast<std::uint8_t>(i)))));
  ASSERT_TRUE(client->waitForBodies(4));
  EXPECT_TRUE(client->disconnects().empty());
  EXPECT_TRUE(eventually([&] {
    const std::string log = readFile(temp_.path() + "/Log/1_threadPoolLogin_0.txt");
    return log.find("callback failure") != std::string::npos;
  })) << "logged on the default callback thread";
}
