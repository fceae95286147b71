// The camera objects against platform-sim's relay: real H.264 and A-law
// streams, every live command, talk-back and recording playback, over loopback.
#include <gtest/gtest.h>

#include <chrono>

#include "camera/CCameraLogic.h"
#include "camera/CCameraPlayBack.h"
#include "common/Md5.h"
#include "common/Messages.h"
#include "core/AppContext.h"
#include "core/ThreadPool.h"
#include "link/CServerLogic.h"
#include "link/ClientBufferPool.h"
#include "tests/camera/CameraTestSupport.h"
#include "tests/camera/RelayPeer.h"
#include "tests/support/SimProcess.h"

namespace {

using namespace std::chrono_literals;
using mc::test::eventually;

constexpr mc::WindowHandle kMainWindow = 77;
constexpr mc::WindowHandle kPane = 3;
constexpr int kWidth = 320;
constexpr int kHeight = 240;

const char* const kWorld = R"({
  "users": [{"name": "op", "password": "pw"}],
  "nodes": [{"id": "site1", "cameras": [
    {"id": "CAM000000101", "number": 1, "width": 320, "height": 240, "fps": 25,
     "audio": {"codec": "g711a"},
     "capabilities": {"qp": true, "ptz": true, "speak": true, "setTime": false},
     "presets": [{"id": "1", "name": "大门"}, {"id": "2", "name": "大厅"}],
     "cruises": [{"id": "7", "name": "巡航一"}],
     "recordings": [{"day": "2024-05-01", "segments": [[0, 60], [120, 150]]},
                    {"day": "2024-05-02", "segments": [[480, 540]]}]}
  ]}]
})";
constexpr const char* kCameraId = "CAM000000101";

// What the logic-server link reports; nothing is needed from it here.
class QuietServerNotify : public IServerNotify {
 public:
  void OnServerDisconnected() override {}
  void OnServerReconnected() override {}
  void OnNodeActive(const std::string&, const std::string&) override {}
  void OnCameraActive(const std::string&, const std::string&) override {}
};

class RecordingPage : public IPlayBackNotify {
 public:
  void OnPlayTime(const SxtParamPtr&, const std::string& text) override {
    std::lock_guard lock(mutex);
    last = text;
  }
  void OnPlayStateChanged() override { ++refreshes; }
  std::string lastTime() const {
    std::lock_guard lock(mutex);
    return last;
  }
  mutable std::mutex mutex;
  std::string last;
  std::atomic<int> refreshes{0};
};

class RelayEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pool->init();
    camera->transpondIp = sim.relay().host;
    camera->transpondPort = sim.relay().portText();
    AppContext::instance().mainHwnd = kMainWindow;
  }
  void TearDown() override {
    EXPECT_TRUE(mc::test::closeAndDrain(*live));
    live.reset();
    callbacks->stop();
  }

  void openLive() {
    ASSERT_TRUE(live->Open(kCameraId, kPane, 0, 0, 0, 0));
    ASSERT_TRUE(eventually([&] { return live->GetPipelineStats().framesDecoded >= 5; }, 10s));
  }

  // A pixel of the last picture shown in the pane: luma, Cb, Cr.
  struct Yuv {
    int y, cb, cr;
  };
  Yuv shownPixel(int x, int y) const {
    const Yv12Picture picture = panes.latest(kPane)->lastPicture();
    const Yv12Layout layout{picture.width(), picture.height()};
    const std::size_t chroma = static_cast<std::size_t>(y / 2) * layout.chromaWidth() + x / 2;
    return {picture.data()[static_cast<std::size_t>(y) * layout.width + x], picture.data()[layout.cbOffset() + chroma],
            picture.data()[layout.crOffset() + chroma]};
  }

  std::vector<CameraAbility> abilities() const { return posted.abilities(kMainWindow, mc::msg::MSG_CAMERA_PARAMS); }

  mc::test::SimProcess sim{kWorld};
  mc::test::PostedMessages posted;
  mc::test::OffscreenPanes panes;
  std::shared_ptr<ClientBufferPool> pool = ClientBufferPool::create();
  std::shared_ptr<ThreadPool> callbacks = ThreadPool::create(5);
  SxtParamPtr camera = SxtParam::create(kCameraId);
  std::shared_ptr<CCameraLogic> live = std::make_shared<CCameraLogic>(camera, pool, callbacks);
};

TEST_F(RelayEndToEndTest, LivePicturesOfTheConfiguredSizeReachThePane) {
  openLive();
  OffscreenRenderTarget* target = panes.latest(kPane);
  ASSERT_NE(target, nullptr);
  ASSERT_TRUE(eventually([&] { return target->state().renders >= 5; }));
  const auto stats = live->GetPipelineStats();
  EXPECT_EQ(stats.width, static_cast<std::uint32_t>(kWidth));
  EXPECT_EQ(stats.height, static_cast<std::uint32_t>(kHeight));
  EXPECT_EQ(target->lastPicture().width(), kWidth);
  EXPECT_EQ(target->lastPicture().height(), kHeight);

  // The colour bars of the test picture, in the right planes: white, red, blue.
  struct Bar {
    int column;
    Yuv expected;
  };
  for (const Bar& bar : {Bar{0, {235, 128, 128}}, Bar{5, {81, 90, 240}}, Bar{6, {41, 240, 110}}}) {
    SCOPED_TRACE(bar.column);
    const Yuv got = shownPixel(bar.column * kWidth / 8 + kWidth / 16, 40);
    EXPECT_NEAR(got.y, bar.expected.y, 10);
    EXPECT_NEAR(got.cb, bar.expected.cb, 10);
    EXPECT_NEAR(got.cr, bar.expected.cr, 10);
  }
  // The data rate replaces the empty title.
  EXPECT_TRUE(eventually([&] {
    const std::string text = camera->statusText();
    return text.size() > 2 && text.substr(text.size() - 2) == "KB";
  }));
  EXPECT_EQ(posted.count(mc::msg::MSG_PANE_LOADED), 1u);

  // The mouse wheel over the pane's centre narrows what is shown while zooming.
  live->zooming = true;
  live->Zoom(176, 144, 120);
  ASSERT_TRUE(eventually([&] { return target->state().sourceRect.width() == kWidth - 50; }))
      << target->state().sourceRect.width();
  EXPECT_LT(target->state().sourceRect.height(), kHeight);
}

TEST_F(RelayEndToEndTest, ARelayRestartShowsTheLinkLostTextThenLogsInAndStreamsAgain) {
  openLive();
  sim.controlOk("stop relay1");
  ASSERT_TRUE(eventually([&] { return camera->statusText() == "连接异常"; }));
  EXPECT_TRUE(live->IsOpen());
  sim.controlOk("reset-stats");
  const auto before = live->GetPipelineStats().framesDecoded;
  sim.controlOk("start relay1");
  ASSERT_TRUE(eventually([&] { return live->GetPipelineStats().framesDecoded >= before + 10; }, 15s));
  const std::string login = sim.controlOk("last relay1 1");
  EXPECT_NE(login.find(kCameraId), std::string::npos) << login;
  EXPECT_NE(login.find(mc::md5Upper("00101")), std::string::npos) << login;
  EXPECT_TRUE(eventually([&] { return camera->statusText() != "连接异常"; }));
}

TEST_F(RelayEndToEndTest, CapabilityAndQualityRepliesReachTheMainWindow) {
  openLive();
  ASSERT_TRUE(live->SendCommand(17));
  ASSERT_TRUE(eventually([&] { return abilities().size() == 1; }));
  const CameraAbility ability = abilities().front();
  EXPECT_EQ(ability.cameraId, kCameraId);
  EXPECT_TRUE(ability.EnableQP);
  EXPECT_TRUE(ability.PTZ);
  EXPECT_TRUE(ability.Audio);
  EXPECT_TRUE(ability.Speak);
  EXPECT_FALSE(ability.SetTime);
  EXPECT_EQ(ability.ViedoQP, 3);
  EXPECT_EQ(live->GetAudioType(), 2);  // A-law sound

  ASSERT_TRUE(live->SendCommand(16, {{"ViedoQP", "5"}}));
  ASSERT_TRUE(eventually([&] { return abilities().size() == 2; }));
  EXPECT_EQ(abilities().back().ViedoQP, 5);
  EXPECT_NE(sim.controlOk(std::string("camera ") + kCameraId).find("\"quality\":5"), std::string::npos);

  // A device reporting a level outside 1 to 5 shows none.
  sim.controlOk("override relay1 17 ViedoQP 7");
  ASSERT_TRUE(live->SendCommand(17));
  ASSERT_TRUE(eventually([&] { return abilities().size() == 3; }));
  EXPECT_EQ(abilities().back().ViedoQP, 0);
  EXPECT_TRUE(abilities().back().PTZ);
}

TEST_F(RelayEndToEndTest, PresetAndCruiseListsComeFromTheDevice) {
  openLive();
  std::string ids, names, cruiseIds, cruiseNames;
  ASSERT_TRUE(live->GetPresetList(ids, names));
  EXPECT_EQ(ids, "1;2");
  EXPECT_EQ(names, "大门;大厅");
  ASSERT_TRUE(live->GetCruiseList(cruiseIds, cruiseNames, ids, names));
  EXPECT_EQ(cruiseIds, "7");
  EXPECT_EQ(cruiseNames, "巡航一");
  EXPECT_EQ(ids, "1;2");
}

TEST_F(RelayEndToEndTest, TalkIsGrantedToOneViewAndBusyForAnother) {
  openLive();
  std::int32_t index = -1;
  ASSERT_EQ(live->RequestTalk(index), 1);
  EXPECT_GT(index, 0);

  // Another client's view of the same camera meets a busy camera.
  auto otherRecord = SxtParam::create(kCameraId);
  otherRecord->transpondIp = camera->transpondIp;
  otherRecord->transpondPort = camera->transpondPort;
  auto other = std::make_shared<CCameraLogic>(otherRecord, pool, callbacks);
  ASSERT_TRUE(other->Open(kCameraId, kPane + 1, 0, 0, 0, 0));
  std::int32_t otherIndex = -1;
  EXPECT_EQ(other->RequestTalk(otherIndex), 2);

  // Voice with the granted index counts for the camera.
  const std::vector<std::uint8_t> voice(160, 0xD5);
  auto record = std::make_shared<StreamAudioData>();
  record->encodedData = voice.data();
  record->encodedLength = 160;
  record->sampleRate = 8000;
  record->bitsPerSample = 16;
  record->channels = 1;
  record->talkIndex = index;
  record->codec = 3;
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(live->SendTalkAudio(record));
  EXPECT_TRUE(eventually([&] {
    return sim.controlOk(std::string("camera ") + kCameraId).find("\"frames\":5") != std::string::npos;
  })) << sim.controlOk(std::string("camera ") + kCameraId);

  // Once the talk ends the other view gets it.
  ASSERT_TRUE(live->SendCommand(20));
  ASSERT_TRUE(eventually([&] { return other->RequestTalk(otherIndex) == 1; }));
  EXPECT_TRUE(mc::test::closeAndDrain(*other));
}

TEST_F(RelayEndToEndTest, ATalkReplyWithAnotherTimeSepLeavesTheRequestWaiting) {
  openLive();
  std::int32_t index = -1;
  ASSERT_EQ(live->RequestTalk(index), 1);  // a first request the relay remembers
  sim.controlOk("mistime relay1 19");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(live->RequestTalk(index), -1);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 4900ms);
}

TEST_F(RelayEndToEndTest, PlaybackSearchSeekSpeedAndPause) {
  // A playback ticket from the logic server, as the coordinator gets it.
  auto notify = std::make_shared<QuietServerNotify>();
  auto server = CServerLogic::create(notify, pool, callbacks);
  ASSERT_TRUE(server->connect(sim.logic().host, sim.logic().portText()));
  ASSERT_EQ(server->login("op", mc::md5Upper("pw"), "qvb"), kLoginSucceeded);
  PlaybackTicket ticket;
  ASSERT_TRUE(server->requestPlayback(kCameraId, ticket)) << ticket.errorMsg;

  RecordingPage page;
  auto playback = std::make_shared<CCameraPlayBack>(camera, pool, callbacks);
  ASSERT_TRUE(playback->Open(ticket.playBackId, kPane, 0, 0, 0, 0));
  std::string error;
  ASSERT_TRUE(playback->SearchRecord("0", "2024-05-01 00:00:00", "2024-05-02 23:59:59", error)) << error;
  playback->SetNotify(&page);
  std::vector<RecordDay> days;
  playback->GetRecords(days);
  EXPECT_EQ(days, (std::vector<RecordDay>{{"2024-05-01", {{0, 60}, {120, 150}}}, {"2024-05-02", {{480, 540}}}}));

  // Playback starts on the latest day; pictures arrive and their time is reported.
  ASSERT_TRUE(eventually([&] { return page.lastTime().rfind("2024-05-02 08:0", 0) == 0; }, 10s)) << page.lastTime();
  ASSERT_TRUE(eventually([&] { return playback->GetPipelineStats().framesDecoded >= 5; }, 10s));

  ASSERT_TRUE(playback->Seek("2024-05-01 02:00:00"));
  EXPECT_TRUE(eventually([&] { return page.lastTime().rfind("2024-05-01 02:0", 0) == 0; }, 10s)) << page.lastTime();

  ASSERT_TRUE(playback->Faster());
  EXPECT_TRUE(eventually([&] { return playback->GetSpeed() == 2.0 && page.refreshes == 1; }));
  ASSERT_TRUE(playback->Slower());
  ASSERT_TRUE(playback->Slower());
  EXPECT_TRUE(eventually([&] { return playback->GetSpeed() == 0.5 && page.refreshes == 3; }));

  playback->playState = 0;
  ASSERT_TRUE(playback->SetPlayState(0));
  EXPECT_TRUE(eventually([&] { return playback->playState == 0 && page.refreshes == 4; }));
  const auto pausedAt = playback->GetPipelineStats().framesDecoded;
  std::this_thread::sleep_for(1500ms);  // pictures stop while paused (500 ms of them were held back)
  const auto afterPause = playback->GetPipelineStats().framesDecoded;
  EXPECT_LE(afterPause - pausedAt, 20u);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(playback->GetPipelineStats().framesDecoded, afterPause);
  playback->playState = 1;
  ASSERT_TRUE(playback->SetPlayState(1));
  EXPECT_TRUE(eventually([&] { return playback->playState == 1 && page.refreshes == 5; }));
  EXPECT_TRUE(eventually([&] { return playback->GetPipelineStats().framesDecoded > afterPause + 3; }, 5s));

  playback->SetNotify(nullptr);
  EXPECT_TRUE(mc::test::closeAndDrain(*playback));
  server->close();
  std::weak_ptr<CServerLogic> closedServer = server;
  server.reset();
  EXPECT_TRUE(mc::test::waitGone(closedServer));
}

}  // namespace
