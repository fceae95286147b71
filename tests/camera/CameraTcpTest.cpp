#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "camera/CCameraTcp.h"
#include "camera/RelayFrame.h"
#include "core/AppContext.h"
#include "core/ThreadPool.h"
#include "link/ClientBufferPool.h"
#include "media/FrameHeader.h"
#include "tests/camera/CameraTestSupport.h"
#include "tests/camera/RelayBodies.h"
#include "tests/camera/RelayPeer.h"

namespace {

using namespace std::chrono_literals;
using mc::test::audioBody;
using mc::test::patternBytes;
using mc::test::VideoHeader;
using mc::test::videoBody;

// The owner of the link: remembers everything it is told.
class RecordingOwner : public ICameraNotify {
 public:
  bool OnCommand(const MessageEnvelope& envelope) override {
    std::lock_guard lock(mutex);
    commands.push_back(envelope);
    return true;
  }
  void OnPlayTime(const std::string& text) override {
    std::lock_guard lock(mutex);
    playTimes.push_back(text);
  }
  void OnConnected() override { ++connected; }
  void OnReconnected() override { ++reconnected; }
  void OnDisconnected() override { ++disconnected; }
  void OnSent(const BufferPtr&, std::int32_t) override { ++sent; }

  std::size_t commandCount() const {
    std::lock_guard lock(mutex);
    return commands.size();
  }
  std::vector<std::string> times() const {
    std::lock_guard lock(mutex);
    return playTimes;
  }

  mutable std::mutex mutex;
  std::vector<MessageEnvelope> commands;
  std::vector<std::string> playTimes;
  std::atomic<int> connected{0}, reconnected{0}, disconnected{0}, sent{0};
};

class CameraTcpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pool->init();
    camera->transpondIp = "127.0.0.1";
    camera->transpondPort = peer.portText();
    link->SetNotify(owner);
  }
  void TearDown() override {
    link->Close();
    std::weak_ptr<CCameraTcp> closed = link;
    link.reset();
    EXPECT_TRUE(mc::test::waitGone(closed));
    callbacks->stop();
  }

  void connect() {
    ASSERT_TRUE(link->Connect("cam-1"));
    ASSERT_TRUE(peer.waitConnections(1));
  }

  // Sends `body`, then a marker command; once the marker has reached the
  // owner the body has been handled (the link handles bodies in order).
  void sendAndSettle(const std::vector<std::uint8_t>& body) {
    peer.sendBody(body);
    settle();
  }
  void settle() {
    const std::size_t before = owner->commandCount();
    peer.sendEnvelope(mc::test::relayMessage(99, {}));
    ASSERT_TRUE(mc::test::eventually([&] { return owner->commandCount() > before; }));
  }

  // Every queued video frame, made due by moving the buffers' clock far ahead.
  std::vector<VideoFramePtr> takeVideo() {
    bufferClock = linkClock + 1'000'000;
    std::vector<VideoFramePtr> frames;
    while (auto frame = buffers->PopVideoFrame()) frames.push_back(std::move(frame));
    return frames;
  }
  std::vector<AudioFramePtr> takeAudio() {
    std::vector<AudioFramePtr> frames;
    while (auto frame = buffers->PopAudioFrame()) frames.push_back(std::move(frame));
    return frames;
  }

  std::atomic<std::uint32_t> linkClock{50'000};
  std::atomic<std::uint32_t> bufferClock{50'000};
  mc::test::RelayPeer peer;
  std::shared_ptr<ClientBufferPool> pool = ClientBufferPool::create();
  std::shared_ptr<ThreadPool> callbacks = ThreadPool::create(1);
  SxtParamPtr camera = SxtParam::create("cam-1");
  std::shared_ptr<CBufferManage> buffers = std::make_shared<CBufferManage>([this] { return bufferClock.load(); });
  std::shared_ptr<CCameraTcp> link =
      std::make_shared<CCameraTcp>(camera, pool, callbacks, buffers, [this] { return linkClock.load(); });
  std::shared_ptr<RecordingOwner> owner = std::make_shared<RecordingOwner>();
};

struct MediaCase {
  std::string name;
  std::vector<std::uint8_t> body;
  bool video;                          // expected in the video queue
  bool audio;                          // expected in the audio queue
  std::vector<std::uint8_t> payload;   // what the queued record must hold
};

std::vector<std::uint8_t> truncated(std::vector<std::uint8_t> body, std::size_t size) {
  body.resize(size);
  return body;
}

TEST_F(CameraTcpTest, MediaBodiesAreQueuedOnlyWhenTheirLengthsAgree) {
  connect();
  const auto p100 = patternBytes(100);
  const auto p300 = patternBytes(300);
  const auto p500 = patternBytes(500);
  const auto big = patternBytes(mc::relay::kMaxVideoPayload, 7);
  const auto g711 = patternBytes(160, 3);
  const std::uint32_t aac = mc::media::makeAudioFormatWord({8000, 16, 1, mc::media::kCodecAac});
  VideoHeader odd;
  odd.lowBits0 = 0xBEEF;
  odd.highBits2 = 0x7F;
  VideoHeader playback;
  playback.tag = 'R';
  VideoHeader unknown;
  unknown.tag = 'X';

  const std::vector<MediaCase> cases = {
      {"a 25-byte video body declaring 0 bytes", videoBody({}, {}), false, false, {}},
      {"a 125-byte video body declaring 100 bytes", videoBody({}, p100), true, false, p100},
      {"a video body declaring one byte more than it carries", videoBody({}, p100, 101), false, false, {}},
      {"a video body declaring one byte less than it carries", videoBody({}, p100, 99), false, false, {}},
      {"bits the link does not interpret", videoBody(odd, p100), true, false, p100},
      {"the largest video payload a body can carry", videoBody({}, big), true, false, big},
      {"a playback video frame", videoBody(playback, p100), true, false, p100},
      {"a video body cut inside its header", truncated(videoBody({}, p100), 20), false, false, {}},
      {"a body too short to carry a tag", {'V', 0, 0, 0x56}, false, false, {}},
      {"an unknown tag", videoBody(unknown, p100), false, false, {}},
      {"audio declaring 500 bytes but carrying 300", audioBody('A', aac, p300, 500), false, false, {}},
      {"audio declaring 300 bytes but carrying 500", audioBody('A', aac, p500, 300), false, true, p300},
      {"audio declaring 0 bytes", audioBody('A', aac, p100, 0), false, false, {}},
      {"audio of the largest length a record takes", audioBody('A', aac, patternBytes(102399)), false, true,
       patternBytes(102399)},
      {"audio one byte above that", audioBody('A', aac, patternBytes(102400)), false, false, {}},
      {"playback audio", audioBody('P', aac, g711), false, true, g711},
      {"an audio body cut inside its header", truncated(audioBody('A', aac, {}), 17), false, false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sendAndSettle(c.body);
    auto video = takeVideo();
    auto audio = takeAudio();
    ASSERT_EQ(video.size(), c.video ? 1u : 0u);
    ASSERT_EQ(audio.size(), c.audio ? 1u : 0u);
    if (c.video) {
      const auto& frame = *video.front();
      for (int i = 0; i < 6; ++i) EXPECT_EQ(frame.header[i], mc::test::wordAt(c.body, 1 + 4 * i)) << "word " << i;
      ASSERT_EQ(frame.payloadLength(), c.payload.size());
      EXPECT_TRUE(std::equal(c.payload.begin(), c.payload.end(), frame.payload.begin()));
      buffers->ReleaseVideoFrame(std::move(video.front()));
    }
    if (c.audio) {
      const auto& frame = *audio.front();
      for (int i = 0; i < 5; ++i) EXPECT_EQ(frame.header[i], mc::test::wordAt(c.body, 1 + 4 * i)) << "word " << i;
      ASSERT_EQ(frame.payloadLength(), c.payload.size());
      EXPECT_TRUE(std::equal(c.payload.begin(), c.payload.end(), frame.payload.begin()));
    }
  }
}

TEST_F(CameraTcpTest, PublishesTheDataRateOnceASecondOnLiveVideo) {
  connect();
  AppContext& app = AppContext::instance();
  app.takeReceivedBytes();
  const auto video1000 = videoBody({}, patternBytes(975));  // L = 1000
  ASSERT_EQ(video1000.size(), 1000u);

  // The first video frame publishes at once (nothing was published before).
  sendAndSettle(video1000);
  EXPECT_EQ(camera->statusText(), "0KB");
  EXPECT_EQ(app.takeReceivedBytes(), 1000);

  // Audio bodies count; a command body does not; publication waits for a
  // video frame more than 1000 ms after the last one.
  linkClock = 50'400;
  sendAndSettle(audioBody('A', 0, patternBytes(1026)));  // L = 1047
  linkClock = 51'001;
  sendAndSettle(video1000);  // 1047 + 1000 = 2047 bytes
  EXPECT_EQ(camera->statusText(), "1KB");
  EXPECT_EQ(app.takeReceivedBytes(), 2047);

  linkClock = 51'500;
  sendAndSettle(audioBody('A', 0, patternBytes(2)));  // L = 23
  linkClock = 52'002;
  sendAndSettle(video1000);  // 23 + 1000 = 1023 bytes
  EXPECT_EQ(camera->statusText(), "0KB");
  EXPECT_EQ(app.takeReceivedBytes(), 1023);

  // Exactly 1000 ms later is not yet "more than a second".
  linkClock = 53'002;
  sendAndSettle(video1000);
  EXPECT_EQ(app.takeReceivedBytes(), 0);
  linkClock = 53'003;
  camera->setStatusText("old");
  sendAndSettle(video1000);
  EXPECT_EQ(camera->statusText(), "1KB");
  EXPECT_EQ(app.takeReceivedBytes(), 2000);
}

TEST_F(CameraTcpTest, PlaybackVideoReportsItsRecordingTimeInsteadOfTheRate) {
  connect();
  AppContext::instance().takeReceivedBytes();
  VideoHeader frame;
  frame.tag = 'R';
  // Year bits 2, month 3, day 15, hour 8, minute 5.
  frame.recordTime = 2u | 3u << 6 | 15u << 10 | 8u << 15 | 5u << 20;
  sendAndSettle(videoBody(frame, patternBytes(50)));
  linkClock = 51'001;
  frame.recordTime = 63u | 12u << 6 | 31u << 10 | 23u << 15 | 59u << 20;
  sendAndSettle(videoBody(frame, patternBytes(50)));
  linkClock = 51'500;  // within the second: no report
  sendAndSettle(videoBody(frame, patternBytes(50)));

  EXPECT_EQ(owner->times(), (std::vector<std::string>{"2014-03-15 08:05", "2075-12-31 23:59"}));
  EXPECT_EQ(camera->statusText(), "");
  EXPECT_EQ(AppContext::instance().takeReceivedBytes(), 0);
}

TEST_F(CameraTcpTest, TheFirstVideoFrameAfterEachConnectionSetsTheClockOffset) {
  // A frame is held while the buffers' clock is within 500 ms of its
  // timestamp moved by the offset, and goes at once when far from it.
  auto heldNow = [&] {
    bufferClock = linkClock.load();
    return buffers->PopVideoFrame() == nullptr && buffers->videoQueued() == 1;
  };
  VideoHeader header;
  connect();

  header.timestamp = 1000;  // offset = 50 000 - 1000
  sendAndSettle(videoBody(header, patternBytes(10)));
  EXPECT_TRUE(heldNow());
  takeVideo();

  header.timestamp = 6000;  // a later frame keeps the offset: 5 s off, due at once
  header.sequence = 2;
  sendAndSettle(videoBody(header, patternBytes(10)));
  EXPECT_FALSE(heldNow());
  takeVideo();

  peer.dropConnections();
  ASSERT_TRUE(peer.waitConnections(2));
  ASSERT_TRUE(mc::test::eventually([&] { return owner->reconnected == 1; }));
  linkClock = 60'000;
  header.timestamp = 6000;  // first frame of the new connection: offset 54 000
  header.sequence = 3;
  sendAndSettle(videoBody(header, patternBytes(10)));
  EXPECT_TRUE(heldNow());
}

TEST_F(CameraTcpTest, TalkBackAudioGoesOutAsOneAudioFrame) {
  connect();
  const auto encoded = patternBytes(160, 0x40);
  auto record = std::make_shared<StreamAudioData>();
  record->encodedData = encoded.data();
  record->encodedLength = 160;
  record->sampleRate = 8000;
  record->bitsPerSample = 16;
  record->channels = 1;
  record->talkIndex = 7;
  record->codec = 3;
  ASSERT_TRUE(link->SendAudio(record));
  ASSERT_TRUE(peer.waitMediaFrames(1));

  const auto frame = peer.mediaFrames().front();
  ASSERT_EQ(frame.size(), 185u);
  EXPECT_EQ(mc::test::wordAt(frame, 0), 181u);
  EXPECT_EQ(frame[4], 'V');
  EXPECT_EQ(mc::test::wordAt(frame, 5), 0x00410000u);
  EXPECT_EQ(mc::test::wordAt(frame, 9), 7u);
  EXPECT_EQ(mc::test::wordAt(frame, 13), 160u);
  EXPECT_EQ(mc::test::wordAt(frame, 17), 8000u | 16u << 16 | 1u << 24 | 3u << 28);
  EXPECT_EQ(mc::test::wordAt(frame, 21), 0u);
  EXPECT_TRUE(std::equal(encoded.begin(), encoded.end(), frame.begin() + 25));

  // Nothing to send, or no link: refused, nothing queued.
  auto empty = std::make_shared<StreamAudioData>();
  EXPECT_FALSE(link->SendAudio(empty));
  EXPECT_FALSE(link->SendAudio(nullptr));
  link->Close();
  ASSERT_TRUE(peer.waitOpenConnections(0));
  EXPECT_FALSE(link->SendAudio(record));
  EXPECT_FALSE(link->SendEnvelope(mc::test::relayMessage(9, {{"PTZCommand", "1"}})));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(peer.mediaFrames().size(), 1u);
}

TEST_F(CameraTcpTest, OnlyWellFormedCommandBodiesReachTheOwner) {
  connect();
  const std::vector<std::vector<std::uint8_t>> dropped = {
      {'2', 'e', 'y', 'J', 0},        // another kind
      {'1', '%', '%', '%', '%', 0},   // not Base64
      {'1', 'e', 'y', 'J', 'h'},      // no terminating zero
  };
  for (const auto& body : dropped) peer.sendBody(body);
  peer.sendEnvelope(mc::test::relayMessage(15, {{"status", "1"}, {"errorMsg", "ok"}}, 42));
  ASSERT_TRUE(mc::test::eventually([&] { return owner->commandCount() == 1; }));
  std::this_thread::sleep_for(50ms);
  std::lock_guard lock(owner->mutex);
  ASSERT_EQ(owner->commands.size(), 1u);
  EXPECT_EQ(owner->commands[0].msgType, 15);
  EXPECT_EQ(owner->commands[0].TimeSep, 42);
  EXPECT_EQ(owner->commands[0].param("errorMsg"), "ok");
}

TEST_F(CameraTcpTest, SentEnvelopesArriveFramedAndTheOwnerHearsTheLinkEvents) {
  connect();
  EXPECT_TRUE(mc::test::eventually([&] { return owner->connected == 1; }));
  ASSERT_TRUE(link->SendEnvelope(mc::test::relayMessage(9, {{"PTZCommand", "5"}}, 7)));
  const auto command = peer.waitCommand(9);
  ASSERT_TRUE(command);
  EXPECT_EQ(command->param("PTZCommand"), "5");
  EXPECT_EQ(command->TimeSep, 7);
  EXPECT_TRUE(mc::test::eventually([&] { return owner->sent >= 1; }));

  peer.dropConnections();
  EXPECT_TRUE(mc::test::eventually([&] { return owner->disconnected == 1; }));
  EXPECT_TRUE(mc::test::eventually([&] { return owner->reconnected == 1; }));
  EXPECT_EQ(link->LoginKey(), "cam-1");

  // After Close the owner hears nothing more, not even the disconnection.
  link->Close();
  ASSERT_TRUE(peer.waitOpenConnections(0));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(owner->disconnected, 1);
  EXPECT_EQ(owner->reconnected, 1);
  EXPECT_EQ(peer.connectionsAccepted(), 2);
}

TEST_F(CameraTcpTest, ConnectRefusesMissingAddressesAndUnreachableRelays) {
  struct Case {
    const char* name;
    std::string key, ip, port;
  };
  mc::test::RelayPeer closed;
  closed.stopListening();
  const std::vector<Case> cases = {
      {"no login key", "", "127.0.0.1", peer.portText()},
      {"no relay address", "cam-1", "", peer.portText()},
      {"no relay port", "cam-1", "127.0.0.1", ""},
      {"a port that is not a number", "cam-1", "127.0.0.1", "relay"},
      {"nobody listening", "cam-1", "127.0.0.1", closed.portText()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    camera->transpondIp = c.ip;
    camera->transpondPort = c.port;
    auto other = std::make_shared<CCameraTcp>(camera, pool, callbacks, buffers);
    EXPECT_FALSE(other->Connect(c.key));
    EXPECT_TRUE(other->isClosed());
    other->Close();
    std::weak_ptr<CCameraTcp> closed = other;
    other.reset();
    EXPECT_TRUE(mc::test::waitGone(closed));
  }
  EXPECT_EQ(peer.connectionsAccepted(), 0);
}

TEST(RelayFrameTest, PlayTimeTextOfWordFive) {
  struct Case {
    std::uint32_t word5;
    const char* text;
  };
  const Case cases[] = {
      {2u | 3u << 6 | 15u << 10 | 8u << 15 | 5u << 20, "2014-03-15 08:05"},
      {0, "2012-00-00 00:00"},
      {0xFFFFFFFFu, "2075-15-31 31:63"},  // every bit set: fields read as they are
  };
  for (const auto& c : cases) EXPECT_EQ(mc::relay::formatPlayTime(c.word5), c.text) << c.word5;
}

}  // namespace
