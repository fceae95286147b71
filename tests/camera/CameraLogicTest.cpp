#include <gtest/gtest.h>

#include <chrono>

#include "camera/CCameraLogic.h"
#include "common/Messages.h"
#include "core/AppContext.h"
#include "core/ThreadPool.h"
#include "link/ClientBufferPool.h"
#include "tests/camera/CameraTestSupport.h"
#include "tests/camera/RelayBodies.h"
#include "tests/camera/RelayPeer.h"
#include "tests/support/H264TestStream.h"

namespace {

using namespace std::chrono_literals;
using mc::msg::MSG_CAMERA_PARAMS;
using mc::test::relayMessage;
using mc::test::replyTo;
using Params = std::map<std::string, std::string>;

constexpr mc::WindowHandle kMainWindow = 77;
constexpr mc::WindowHandle kPane = 5;

class CameraLogicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pool->init();
    camera->transpondIp = "127.0.0.1";
    camera->transpondPort = peer.portText();
    AppContext::instance().mainHwnd = kMainWindow;
  }
  void TearDown() override {
    EXPECT_TRUE(mc::test::closeAndDrain(*logic));
    logic.reset();
    callbacks->stop();
  }

  void open(const std::string& key = "cam-1") {
    ASSERT_TRUE(logic->Open(key, kPane, 0, 0, 0, 0));
    ASSERT_TRUE(peer.waitCommand(1));
  }

  // Answers every request of `msgType` with `params` and its own TimeSep.
  void answer(std::int32_t msgType, Params params) {
    peer.setResponder([msgType, params](const MessageEnvelope& request) {
      std::vector<MessageEnvelope> replies;
      if (request.msgType == msgType) replies.push_back(replyTo(request, params));
      return replies;
    });
  }

  std::vector<CameraAbility> abilities() const { return posted.abilities(kMainWindow, MSG_CAMERA_PARAMS); }

  // Sends a relay message, then a capability reply as a marker; once the
  // marker's post arrived the message has been handled.
  void sendAndSettle(const MessageEnvelope& message) {
    const std::size_t before = posted.count(MSG_CAMERA_PARAMS);
    peer.sendEnvelope(message);
    peer.sendEnvelope(relayMessage(17, {{"status", "1"}}));
    ASSERT_TRUE(mc::test::eventually([&] { return posted.count(MSG_CAMERA_PARAMS) > before; }));
  }

  mc::test::PostedMessages posted;
  mc::test::OffscreenPanes panes;
  mc::test::RelayPeer peer;
  std::shared_ptr<ClientBufferPool> pool = ClientBufferPool::create();
  std::shared_ptr<ThreadPool> callbacks = ThreadPool::create(2);
  SxtParamPtr camera = SxtParam::create("cam-1");
  std::shared_ptr<CCameraLogic> logic = std::make_shared<CCameraLogic>(camera, pool, callbacks);
};

TEST_F(CameraLogicTest, LogsInWithTheDigestOfTheLastFiveCharactersOfTheKey) {
  struct Case {
    const char* key;
    const char* digest;
  };
  const Case cases[] = {
      {"CAM000000012", "C11E93D2F88E9E393D5008F1E313A974"},  // MD5 of "00012"
      {"abcd", "E2FC714C4727EE9395F324CD2E7F331F"},          // the whole key
      {"12345", "827CCB0EEA8A706C4C34A16891F84E7B"},
      {"123456", "ADCAEC3805AA912C0D0B14A81BEDB6FF"},        // MD5 of "23456"
  };
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    ASSERT_TRUE(logic->Open(c.key, kPane, 0, 0, 0, 0));
    const auto login = peer.waitCommand(1, ++round);
    ASSERT_TRUE(login);
    EXPECT_EQ(login->params, (Params{{"SxtId", c.key}, {"PWD", c.digest}}));
    EXPECT_EQ(login->version, 1);
    EXPECT_EQ(login->appId, 1);
    EXPECT_EQ(login->clientType, 2);
    EXPECT_TRUE(mc::test::closeAndDrain(*logic));
  }
}

TEST_F(CameraLogicTest, OpenTwiceKeepsOneLinkAndCloseThenOpenConnectsAnew) {
  open();
  EXPECT_TRUE(logic->Open("cam-1", kPane, 0, 0, 0, 0));
  EXPECT_TRUE(logic->IsOpen());
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(peer.connectionsAccepted(), 1);
  EXPECT_EQ(peer.commands().size(), 1u);

  camera->setStatusText("12KB");
  EXPECT_TRUE(logic->Close());
  EXPECT_FALSE(logic->IsOpen());
  EXPECT_EQ(camera->statusText(), "");
  ASSERT_TRUE(peer.waitOpenConnections(0));
  // The link was closed on purpose: the title stays empty.
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(camera->statusText(), "");

  const std::size_t targetsBefore = panes.made();
  ASSERT_TRUE(logic->Open("cam-1", kPane, 0, 0, 0, 0));
  ASSERT_TRUE(peer.waitCommand(1, 2));
  EXPECT_EQ(peer.connectionsAccepted(), 2);
  EXPECT_EQ(panes.made(), targetsBefore + 1);  // the pipeline was built again
}

TEST_F(CameraLogicTest, AFailedOpenShowsTheLinkLostTextAndLeavesTheCameraClosed) {
  peer.stopListening();
  EXPECT_FALSE(logic->Open("cam-1", kPane, 0, 0, 0, 0));
  EXPECT_EQ(camera->statusText(), "连接异常");
  EXPECT_FALSE(logic->IsOpen());

  std::string a, b, c, d;
  std::int32_t index = -7;
  EXPECT_FALSE(logic->SendCommand(9, {{"PTZCommand", "1"}}));
  EXPECT_FALSE(logic->GetPresetList(a, b));
  EXPECT_FALSE(logic->GetCruiseList(a, b, c, d));
  EXPECT_EQ(logic->RequestTalk(index), -1);
  EXPECT_EQ(index, -7);
  EXPECT_TRUE(logic->SendTalkAudio(std::make_shared<StreamAudioData>()));

  // The relay comes back: the same object opens.
  peer.startListening();
  camera->transpondPort = peer.portText();
  EXPECT_TRUE(logic->Open("cam-1", kPane, 0, 0, 0, 0));
  EXPECT_EQ(camera->statusText(), "");
}

TEST_F(CameraLogicTest, CapabilityRepliesPostTheCameraAbilityToTheMainWindow) {
  open("pb-key");
  struct Case {
    const char* name;
    Params reply;
    bool posted;
    CameraAbility expected;
  };
  const Params all{{"status", "1"}, {"EnableQP", "1"}, {"PTZ", "1"}, {"Audio", "1"}, {"Speak", "1"}, {"SetTime", "1"}};
  auto with = [](Params params, const char* name, const char* value) {
    params[name] = value;
    return params;
  };
  const std::vector<Case> cases = {
      {"every capability, level 3", with(all, "ViedoQP", "3"), true, {"pb-key", true, 3, true, true, true, true}},
      {"level 7 is out of range", with(all, "ViedoQP", "7"), true, {"pb-key", true, 0, true, true, true, true}},
      {"level 5", with(all, "ViedoQP", "5"), true, {"pb-key", true, 5, true, true, true, true}},
      {"level 0", with(all, "ViedoQP", "0"), true, {"pb-key", true, 0, true, true, true, true}},
      {"flags other than 1 are off", {{"status", "1"}, {"EnableQP", "0"}, {"PTZ", "yes"}, {"Audio", "2"},
                                      {"ViedoQP", "1"}}, true, {"pb-key", false, 1, false, false, false, false}},
      {"a refused reply posts nothing", with(all, "status", "0"), false, {}},
      {"audio type 1", with(all, "AudioType", "1"), true, {"pb-key", true, 0, true, true, true, true}},
  };
  std::vector<CameraAbility> expected;
  for (const auto& c : cases) {
    peer.sendEnvelope(relayMessage(17, c.reply));
    if (c.posted) expected.push_back(c.expected);
  }
  ASSERT_TRUE(mc::test::eventually([&] { return abilities().size() >= expected.size(); }));
  std::this_thread::sleep_for(100ms);
  const auto got = abilities();
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].cameraId, expected[i].cameraId);
    EXPECT_EQ(got[i].EnableQP, expected[i].EnableQP);
    EXPECT_EQ(got[i].ViedoQP, expected[i].ViedoQP);
    EXPECT_EQ(got[i].PTZ, expected[i].PTZ);
    EXPECT_EQ(got[i].Audio, expected[i].Audio);
    EXPECT_EQ(got[i].Speak, expected[i].Speak);
    EXPECT_EQ(got[i].SetTime, expected[i].SetTime);
  }
  EXPECT_EQ(logic->GetAudioType(), 0);

  sendAndSettle(relayMessage(17, with(all, "AudioType", "2")));
  EXPECT_EQ(logic->GetAudioType(), 2);
  sendAndSettle(relayMessage(17, with(all, "AudioType", "1")));  // a later reply does not take it back
  EXPECT_EQ(logic->GetAudioType(), 2);
}

TEST_F(CameraLogicTest, AQualityReplyPostsTheStoredFlagsWithTheNewLevel) {
  open();
  camera->enableQp = true;
  camera->ptzEnabled = false;
  camera->audioEnabled = true;
  camera->speakEnabled = false;
  camera->setTimeEnabled = true;
  answer(16, {{"ViedoQP", "4"}});
  ASSERT_TRUE(logic->SendCommand(16, {{"ViedoQP", "4"}}));
  const auto request = peer.waitCommand(16);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->param("ViedoQP"), "4");
  ASSERT_TRUE(mc::test::eventually([&] { return abilities().size() == 1; }));
  const CameraAbility got = abilities().front();
  EXPECT_EQ(got.cameraId, "cam-1");
  EXPECT_EQ(got.ViedoQP, 4);
  EXPECT_TRUE(got.EnableQP);
  EXPECT_FALSE(got.PTZ);
  EXPECT_TRUE(got.Audio);
  EXPECT_FALSE(got.Speak);
  EXPECT_TRUE(got.SetTime);

  // A level outside 1 to 5 is reported as none.
  peer.sendEnvelope(relayMessage(16, {{"ViedoQP", "9"}}));
  ASSERT_TRUE(mc::test::eventually([&] { return abilities().size() == 2; }));
  EXPECT_EQ(abilities().back().ViedoQP, 0);
}

TEST_F(CameraLogicTest, LoginRepliesAndRelayNoticesWriteThePaneTitle) {
  open();
  struct Case {
    const char* name;
    MessageEnvelope message;
    const char* title;
  };
  const std::vector<Case> cases = {
      {"refused login", relayMessage(1, {{"status", "0"}, {"errorMsg", "设备不在线"}}), "设备不在线"},
      {"accepted login", relayMessage(1, {{"status", "1"}, {"errorMsg", "x"}}), "before"},
      {"notice with status 1", relayMessage(15, {{"status", "1"}, {"errorMsg", "ok"}}), "ok"},
      {"notice with status 0", relayMessage(15, {{"status", "0"}, {"errorMsg", "设备断开"}}), "设备断开"},
      {"an unregistered message", relayMessage(99, {{"errorMsg", "no"}}), "before"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    camera->setStatusText("before");
    sendAndSettle(c.message);
    EXPECT_EQ(camera->statusText(), c.title);
  }
}

TEST_F(CameraLogicTest, PresetAndCruiseListsComeFromTheirReplies) {
  open();
  peer.setResponder([](const MessageEnvelope& request) {
    std::vector<MessageEnvelope> replies;
    if (request.msgType == 10)
      replies.push_back(replyTo(request, {{"status", "1"}, {"presetIdList", "1;2;3"}, {"presetNameList", "门口;大厅;后门"}}));
    if (request.msgType == 12)
      replies.push_back(replyTo(request, {{"status", "1"}, {"cruiseIdList", "7"}, {"cruiseNameList", "巡航一"},
                                          {"presetIdList", "1;2"}, {"presetNameList", "门口;大厅"}}));
    return replies;
  });
  std::string ids, names, cruiseIds, cruiseNames;
  ASSERT_TRUE(logic->GetPresetList(ids, names));
  EXPECT_EQ(ids, "1;2;3");
  EXPECT_EQ(names, "门口;大厅;后门");
  ASSERT_TRUE(logic->GetCruiseList(cruiseIds, cruiseNames, ids, names));
  EXPECT_EQ(cruiseIds, "7");
  EXPECT_EQ(cruiseNames, "巡航一");
  EXPECT_EQ(ids, "1;2");
  EXPECT_EQ(names, "门口;大厅");
  const auto request = peer.waitCommand(10);
  ASSERT_TRUE(request);
  EXPECT_TRUE(request->params.empty());

  answer(10, {{"status", "0"}, {"presetIdList", "9"}});
  ids = "unchanged";
  EXPECT_FALSE(logic->GetPresetList(ids, names));
  EXPECT_EQ(ids, "unchanged");
}

TEST_F(CameraLogicTest, TalkRequestsCountOnlyTheReplyCarryingTheirTimeSep) {
  open();
  struct Case {
    const char* name;
    std::vector<std::pair<std::int32_t, Params>> replies;  // TimeSep shift, params
    int result;
    std::int32_t index;
    bool waitsTheFullLimit;
  };
  const std::vector<Case> cases = {
      {"granted", {{0, {{"status", "1"}, {"Index", "3"}}}}, 1, 3, false},
      {"busy", {{0, {{"status", "2"}}}}, 2, -9, false},
      {"refused", {{0, {{"status", "-1"}}}}, -1, -9, false},
      {"an earlier answer, then this one", {{-1, {{"status", "2"}}}, {0, {{"status", "1"}, {"Index", "5"}}}}, 1, 5,
       false},
      {"only an earlier request's answer", {{-1, {{"status", "1"}, {"Index", "4"}}}}, -1, -9, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    peer.setResponder([&c](const MessageEnvelope& request) {
      std::vector<MessageEnvelope> out;
      if (request.msgType != 19) return out;
      for (const auto& [shift, params] : c.replies) {
        MessageEnvelope reply = replyTo(request, params);
        reply.TimeSep = request.TimeSep + shift;
        out.push_back(reply);
      }
      return out;
    });
    std::int32_t index = -9;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(logic->RequestTalk(index), c.result);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(index, c.index);
    if (c.waitsTheFullLimit) EXPECT_GE(waited, 4900ms);
    else EXPECT_LT(waited, 2000ms);
  }
  const auto request = peer.waitCommand(19);
  ASSERT_TRUE(request);
  EXPECT_TRUE(request->params.empty());

  // Granted talk audio reaches the relay.
  const std::vector<std::uint8_t> voice(160, 0x55);
  auto record = std::make_shared<StreamAudioData>();
  record->encodedData = voice.data();
  record->encodedLength = 160;
  record->talkIndex = 3;
  EXPECT_TRUE(logic->SendTalkAudio(record));
  ASSERT_TRUE(peer.waitMediaFrames(1));
  EXPECT_EQ(mc::test::wordAt(peer.mediaFrames().front(), 9), 3u);
}

TEST_F(CameraLogicTest, ALostRelayShowsTheLinkLostTextAndTheCameraLogsInAgain) {
  open();
  camera->setStatusText("20KB");
  peer.stopListening();
  peer.dropConnections();
  ASSERT_TRUE(mc::test::eventually([&] { return camera->statusText() == "连接异常"; }));
  EXPECT_TRUE(logic->IsOpen());
  std::this_thread::sleep_for(300ms);
  peer.startListening();
  const auto login = peer.waitCommand(1, 2, 10s);
  ASSERT_TRUE(login);
  EXPECT_EQ(login->param("SxtId"), "cam-1");
  EXPECT_EQ(login->param("PWD"), "2C81968854EC33B1FD98A82465643BC6");
}

TEST_F(CameraLogicTest, LiveFramesAreDecodedIntoThePane) {
  open();
  constexpr int kFrames = 30;
  const auto units = mc::test::encodeTestStream(352, 288, kFrames, 10);
  for (int i = 0; i < kFrames; ++i) {
    mc::test::VideoHeader header;
    header.timestamp = 40u * static_cast<std::uint32_t>(i);
    header.sequence = static_cast<std::uint32_t>(i + 1);
    header.key = units[i].key;
    peer.sendBody(mc::test::videoBody(header, units[i].bytes));
  }
  ASSERT_TRUE(mc::test::eventually([&] { return logic->GetPipelineStats().framesDecoded == kFrames; }, 10s));
  OffscreenRenderTarget* target = panes.latest(kPane);
  ASSERT_NE(target, nullptr);
  ASSERT_TRUE(mc::test::eventually([&] { return target->state().renders == kFrames; }));
  const Yv12Picture shown = target->lastPicture();
  ASSERT_EQ(shown.width(), 352);
  ASSERT_EQ(shown.height(), 288);
  const Yv12Picture source = mc::test::makeTestPicture(352, 288, kFrames - 1);
  const auto difference = mc::test::compareBytes(shown.data(), source.data(), source.size());
  EXPECT_LT(difference.mean, 3.0);
  EXPECT_EQ(posted.count(mc::msg::MSG_PANE_LOADED), 1u);
  EXPECT_EQ(logic->GetPipelineStats().width, 352u);
  EXPECT_EQ(camera->statusText().substr(camera->statusText().size() - 2), "KB");
}

}  // namespace
