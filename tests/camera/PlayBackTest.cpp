#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>

#include "camera/CCameraPlayBack.h"
#include "camera/RecordSearch.h"
#include "core/AppContext.h"
#include "core/ThreadPool.h"
#include "link/ClientBufferPool.h"
#include "tests/camera/CameraTestSupport.h"
#include "tests/camera/RelayBodies.h"
#include "tests/camera/RelayPeer.h"

namespace {

using namespace std::chrono_literals;
using mc::test::relayMessage;
using mc::test::replyTo;
using Params = std::map<std::string, std::string>;
using Segments = std::vector<std::pair<std::int32_t, std::int32_t>>;

TEST(RecordSearchTest, DaysAndStretchesOfASearchReply) {
  struct Case {
    const char* name;
    const char* data;
    const char* time;
    bool ok;
    std::vector<RecordDay> days;
  };
  const std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  const std::vector<Case> cases = {
      {"a day without stretches is not listed", "2014-07-01;2014-07-02", "0-60|120-150;", true,
       {{"2014-07-01", {{0, 60}, {120, 150}}}}},
      {"three days, two items", "2014-07-01;2014-07-02;2014-07-03", "0-60;1-2", false, {}},
      {"a day named twice collects both, in reply order", "d1;d2;d1", "0-10;20-30;40-50|60-70", true,
       {{"d1", {{0, 10}, {40, 50}, {60, 70}}}, {"d2", {{20, 30}}}}},
      {"three parts are skipped, -5 reads as 0 to 5", "d1", "100-200-300|-5", true, {{"d1", {{0, 5}}}}},
      {"an item with no usable stretch still lists its day", "d1", "100-200-300", true, {{"d1", {}}}},
      {"empty stretches are skipped", "d1;d2", "||5-6||;", true, {{"d1", {{5, 6}}}}},
      {"nothing found", "", "", true, {}},
      {"numbers read as far as they go", "d1", "7a-x|99999999999-1440", true, {{"d1", {{7, 0}, {kMax, 1440}}}}},
      {"a trailing day separator", "d1;", "0-1", false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<RecordDay> days{{"stale", {{1, 2}}}};
    EXPECT_EQ(mc::relay::parseRecordSearch(c.data, c.time, days), c.ok);
    EXPECT_EQ(days, c.days);
  }
}

// The playback page: remembers what it is told.
class RecordingPage : public IPlayBackNotify {
 public:
  void OnPlayTime(const SxtParamPtr& camera, const std::string& text) override {
    std::lock_guard lock(mutex);
    times.emplace_back(camera, text);
  }
  void OnPlayStateChanged() override { ++refreshes; }

  std::size_t timeCount() const {
    std::lock_guard lock(mutex);
    return times.size();
  }

  mutable std::mutex mutex;
  std::vector<std::pair<SxtParamPtr, std::string>> times;
  std::atomic<int> refreshes{0};
};

class PlayBackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pool->init();
    camera->transpondIp = "127.0.0.1";
    camera->transpondPort = peer.portText();
    playback->SetNotify(&page);
  }
  void TearDown() override {
    EXPECT_TRUE(mc::test::closeAndDrain(*playback));
    playback.reset();
    callbacks->stop();
  }
  void open() {
    ASSERT_TRUE(playback->Open(kPlaybackId, 9, 0, 0, 0, 0));
    ASSERT_TRUE(peer.waitCommand(1));
  }
  // Answers searches with these params.
  void answerSearch(Params params) {
    peer.setResponder([params](const MessageEnvelope& request) {
      std::vector<MessageEnvelope> replies;
      if (request.msgType == 4) replies.push_back(replyTo(request, params));
      return replies;
    });
  }
  // Sends a relay message, then a relay notice as a marker; once the
  // marker's text is in the title the message has been handled.
  void sendAndSettle(const MessageEnvelope& message) {
    peer.sendEnvelope(message);
    const std::string mark = "mark-" + std::to_string(++marks);
    peer.sendEnvelope(relayMessage(15, {{"errorMsg", mark}}));
    ASSERT_TRUE(mc::test::eventually([&] { return camera->statusText() == mark; }));
  }

  static constexpr const char* kPlaybackId = "PB-20240101-0001";
  int marks = 0;
  mc::test::OffscreenPanes panes;
  RecordingPage page;
  mc::test::RelayPeer peer;
  std::shared_ptr<ClientBufferPool> pool = ClientBufferPool::create();
  std::shared_ptr<ThreadPool> callbacks = ThreadPool::create(2);
  SxtParamPtr camera = SxtParam::create("cam-7");
  std::shared_ptr<CCameraPlayBack> playback = std::make_shared<CCameraPlayBack>(camera, pool, callbacks);
};

TEST_F(PlayBackTest, LogsInWithThePlaybackId) {
  open();
  const auto login = peer.waitCommand(1);
  EXPECT_EQ(login->params, (Params{{"SxtId", kPlaybackId}, {"PWD", "5ECBCC6538BEF58A7D2EA1E0C8BB58F2"}}));
}

TEST_F(PlayBackTest, ASearchFillsTheRecordedDays) {
  open();
  std::atomic<int> shownWhileAsking{-1};
  peer.setResponder([&](const MessageEnvelope& request) {
    std::vector<MessageEnvelope> replies;
    if (request.msgType != 4) return replies;
    std::vector<RecordDay> shown;
    playback->GetRecords(shown);
    shownWhileAsking = static_cast<int>(shown.size());
    replies.push_back(replyTo(request, {{"status", "1"}, {"data", "2024-01-01;2024-01-02"},
                                        {"time", "0-60|600-720;480-1440"}}));
    return replies;
  });
  std::string error;
  ASSERT_TRUE(playback->SearchRecord("0", "2024-01-01 00:00:00", "2024-01-02 23:59:59", error)) << error;
  const auto request = peer.waitCommand(4);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->params,
            (Params{{"type", "0"}, {"startTime", "2024-01-01 00:00:00"}, {"stopTime", "2024-01-02 23:59:59"}}));
  std::vector<RecordDay> days;
  playback->GetRecords(days);
  EXPECT_EQ(days, (std::vector<RecordDay>{{"2024-01-01", {{0, 60}, {600, 720}}}, {"2024-01-02", {{480, 1440}}}}));

  // A second search clears the shown result before it asks.
  playback->playState = 0;
  ASSERT_TRUE(playback->SearchRecord("1", "2024-01-01 00:00:00", "2024-01-01 23:59:59", error));
  EXPECT_EQ(shownWhileAsking, 0);
  EXPECT_EQ(playback->playState, 1);
}

TEST_F(PlayBackTest, FailedSearchesSayWhyAndLeaveNoDays) {
  struct Case {
    const char* name;
    Params reply;
    const char* error;
  };
  const std::vector<Case> cases = {
      {"the relay refuses", {{"status", "0"}, {"errorMsg", "设备不在线"}, {"data", "d1"}, {"time", "0-1"}}, "设备不在线"},
      {"lists of different lengths", {{"status", "1"}, {"data", "d1;d2;d3"}, {"time", "0-1;2-3"}}, "数据异常"},
  };
  open();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    answerSearch({{"status", "1"}, {"data", "d0"}, {"time", "0-1"}});
    std::string error;
    ASSERT_TRUE(playback->SearchRecord("0", "a", "b", error));
    answerSearch(c.reply);
    EXPECT_FALSE(playback->SearchRecord("0", "a", "b", error));
    EXPECT_EQ(error, c.error);
    std::vector<RecordDay> days;
    playback->GetRecords(days);
    EXPECT_TRUE(days.empty());
  }
}

TEST_F(PlayBackTest, ASearchWithoutALinkOrWithoutAnAnswerFails) {
  std::string error;
  EXPECT_FALSE(playback->SearchRecord("0", "a", "b", error));
  EXPECT_EQ(error, "网络断开");

  open();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(playback->SearchRecord("0", "a", "b", error));
  EXPECT_EQ(error, "请求超时");
  EXPECT_GE(std::chrono::steady_clock::now() - start, 9900ms);  // the search waits 10 s, not 5
}

TEST_F(PlayBackTest, StateAndSpeedRepliesUpdateThePlaybackAndRefreshThePage) {
  open();
  struct Case {
    const char* name;
    MessageEnvelope reply;
    std::int32_t state;
    double speed;
    int refreshes;
  };
  const std::vector<Case> cases = {
      {"paused", relayMessage(8, {{"type", "0"}}), 0, 1.0, 1},
      {"a state reply without type", relayMessage(8, {}), 0, 1.0, 1},
      {"playing", relayMessage(8, {{"type", "1"}}), 1, 1.0, 2},
      {"faster", relayMessage(5, {{"speed", "2.0"}}), 1, 2.0, 3},
      {"slower", relayMessage(6, {{"speed", "0.5"}}), 1, 0.5, 4},
      {"a speed reply without speed", relayMessage(6, {{"status", "1"}}), 1, 0.5, 4},
      {"a seek reply", relayMessage(7, {{"status", "1"}}), 1, 0.5, 4},
      {"anything else", relayMessage(42, {{"type", "0"}, {"speed", "8"}}), 1, 0.5, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sendAndSettle(c.reply);
    EXPECT_EQ(playback->playState, c.state);
    EXPECT_DOUBLE_EQ(playback->GetSpeed(), c.speed);
    EXPECT_EQ(page.refreshes, c.refreshes);
  }
}

TEST_F(PlayBackTest, PlaybackCommandsGoOutOnTheLink) {
  EXPECT_FALSE(playback->Seek("2024-01-01 08:30:00"));
  EXPECT_FALSE(playback->Faster());
  EXPECT_FALSE(playback->Slower());
  EXPECT_FALSE(playback->SetPlayState(0));
  open();
  EXPECT_TRUE(playback->Seek("2024-01-01 08:30:00"));
  EXPECT_TRUE(playback->Faster());
  EXPECT_TRUE(playback->Slower());
  EXPECT_TRUE(playback->SetPlayState(0));
  struct Sent {
    std::int32_t msgType;
    Params params;
  };
  const Sent expected[] = {
      {7, {{"posTime", "2024-01-01 08:30:00"}}}, {5, {}}, {6, {}}, {8, {{"type", "0"}}}};
  for (const auto& e : expected) {
    const auto command = peer.waitCommand(e.msgType);
    ASSERT_TRUE(command) << e.msgType;
    EXPECT_EQ(command->params, e.params) << e.msgType;
  }
}

TEST_F(PlayBackTest, TheRecordingTimeReachesThePageOnceASecond) {
  open();
  mc::test::VideoHeader header;
  header.tag = 'R';
  header.recordTime = 12u | 1u << 6 | 2u << 10 | 8u << 15 | 30u << 20;  // 2024-01-02 08:30
  peer.sendBody(mc::test::videoBody(header, mc::test::patternBytes(40)));
  ASSERT_TRUE(mc::test::eventually([&] { return page.timeCount() == 1; }));
  std::lock_guard lock(page.mutex);
  EXPECT_EQ(page.times[0].first, camera);
  EXPECT_EQ(page.times[0].second, "2024-01-02 08:30");
}

}  // namespace
