// The relays of platform-sim, seen by a raw loopback client: the login
// check, real H.264 and sound that decode to the configured picture and tone,
// every live command, notices, and relay restarts.
#include <sys/socket.h>

#include <algorithm>
#include <map>
#include <thread>

#include "tests/sim/LinkFixture.h"
#include "tests/sim/MediaCheck.h"
#include "tests/sim/PictureModel.h"
#include "tests/sim/RelayViewer.h"

using simtest::Media;
using simtest::RelayViewer;

namespace {

const char* const kCatalogue = R"({
  "relays": [{"name": "relay1"}, {"name": "relay2"}],
  "cameraDefaults": {"audio": {"codec": "none"}},
  "users": [{"name": "alice", "password": "secret", "userId": "u1"}],
  "nodes": [{"id": "n1", "name": "Site", "cameras": [
    {"id": "cam-aac-0001", "name": "Gate", "number": 7, "width": 352, "height": 288, "fps": 25, "bitrate": 384,
     "audio": {"codec": "aac", "sampleRate": 8000, "toneHz": 1000},
     "capabilities": {"qp": true, "ptz": true, "speak": false, "setTime": true},
     "presets": [{"id": "1", "name": "门口"}, {"id": "2", "name": "车库"}],
     "cruises": [{"id": "11", "name": "白天"}, {"id": "12", "name": "夜间"}]},
    {"id": "g711", "name": "Desk", "number": 12, "width": 176, "height": 144, "fps": 10, "bitrate": 128,
     "audio": {"codec": "g711a", "toneHz": 800},
     "capabilities": {"qp": false, "ptz": false, "speak": true, "setTime": false}},
    {"id": "cam-hd", "number": 3, "width": 704, "height": 576, "fps": 12, "bitrate": 1024,
     "audio": {"codec": "aac", "sampleRate": 16000, "channels": 2, "toneHz": 440}},
    {"id": "cam-off", "online": false},
    {"id": "cam-old", "expires": "2020-01-01"},
    {"id": "cam-far", "relay": "relay2"},
    {"id": "cam-fast", "fps": 50, "bitrate": 8000}
  ]}]
})";

class RelayTest : public simtest::SimLinkTest {
 protected:
  std::string config() const override { return kCatalogue; }

  std::unique_ptr<RelayViewer> viewer(std::size_t relay = 0) {
    return std::make_unique<RelayViewer>(sim().relay(relay).host, sim().relay(relay).port);
  }
  std::unique_ptr<RelayViewer> watching(const std::string& camera) {
    auto v = viewer();
    EXPECT_EQ(v->loginStatus(camera), "1") << camera;
    return v;
  }
  // A field of the camera's device state (control "camera ID"), as raw JSON text.
  std::string cameraField(const std::string& camera, const std::string& field) {
    const std::string state = sim().controlOk("camera " + camera);
    const std::string key = "\"" + field + "\":";
    const auto at = state.find(key);
    if (at == std::string::npos) return {};
    std::size_t end = at + key.size();
    int depth = 0;
    for (; end < state.size(); ++end) {
      const char c = state[end];
      if (c == '{' || c == '[') ++depth;
      if (c == '}' || c == ']') {
        if (depth == 0) break;
        if (--depth == 0) {
          ++end;
          break;
        }
      }
      if (c == ',' && depth == 0) break;
    }
    return state.substr(at + key.size(), end - at - key.size());
  }
};

std::vector<Media> videoOf(const std::vector<Media>& frames) {
  std::vector<Media> out;
  for (const Media& m : frames)
    if (m.video()) out.push_back(m);
  return out;
}

std::string ptzJson(const sim::PtzView& v) {
  return "{\"focus\":" + std::to_string(v.focus) + ",\"iris\":" + std::to_string(v.iris) +
         ",\"pan\":" + std::to_string(v.pan) + ",\"tilt\":" + std::to_string(v.tilt) +
         ",\"zoom\":" + std::to_string(v.zoom) + "}";
}

TEST_F(RelayTest, LoginNeedsTheDigestOfTheLastFiveCharacters) {
  struct Case {
    const char* key;
    std::string pwd;
    const char* status;
    const char* errorMsg;
  };
  const Case cases[] = {
      {"cam-aac-0001", mc::md5Upper("cam-aac-0001"), "0", "密码错误"},
      {"cam-aac-0001", mc::md5Upper("-0001").substr(1) + "0", "0", "密码错误"},
      {"g711", mc::md5Upper("711"), "0", "密码错误"},
      {"ghost-camera", mc::md5Upper("amera"), "0", "设备不存在"},
      {"cam-off", mc::md5Upper("m-off"), "0", "设备不在线"},
      {"cam-old", mc::md5Upper("m-old"), "0", "服务已过期"},
      {"cam-far", mc::md5Upper("m-far"), "0", "设备不存在"},  // served by relay2
      {"", mc::md5Upper(""), "0", "缺少参数：SxtId"},
      {"cam-aac-0001", mc::md5Upper("-0001"), "1", ""},
      {"g711", mc::md5Upper("g711"), "1", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " " + c.pwd);
    auto v = viewer();
    MessageEnvelope reply;
    ASSERT_TRUE(v->request(1, {{"SxtId", c.key}, {"PWD", c.pwd}}, reply, 77));
    EXPECT_EQ(reply.TimeSep, 77);
    EXPECT_EQ(reply.param("status"), c.status);
    EXPECT_EQ(reply.param("errorMsg"), c.errorMsg);
    if (std::string(c.status) == "1") {
      EXPECT_FALSE(videoOf(v->collect(1500)).empty());
    } else {
      EXPECT_TRUE(v->silentFor(700)) << "a refused login gets no frames";
      MessageEnvelope refused;
      ASSERT_TRUE(v->request(17, {}, refused));
      EXPECT_EQ(refused.param("errorMsg"), "请先登录");
    }
  }
  auto far = viewer(1);
  EXPECT_EQ(far->loginStatus("cam-far"), "1");
}

TEST_F(RelayTest, LiveFramesDecodeToTheConfiguredPictureAndTone) {
  struct Case {
    const char* camera;
    int number, width, height, fps, kbps;
    const char* audioDecoder;
    int sampleRate, channels;
    double toneHz;
    std::uint32_t formatWord;
  };
  const Case cases[] = {
      {"cam-aac-0001", 7, 352, 288, 25, 384, "aac", 8000, 1, 1000, 0x01101F40},
      {"g711", 12, 176, 144, 10, 128, "pcm_alaw", 8000, 1, 800, 0x31101F40},
      {"cam-hd", 3, 704, 576, 12, 1024, "aac", 16000, 2, 440.43, 0x02103E80},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.camera);
    auto v = watching(c.camera);
    const auto frames = v->collect(3000);
    const auto video = videoOf(frames);
    ASSERT_GT(video.size(), static_cast<std::size_t>(c.fps * 2));
    EXPECT_NEAR(static_cast<double>(video.size()), c.fps * 3.0, c.fps * 1.0);

    // Pictures: a key frame first and at least every two seconds, sequence
    // +1 each, the size in the header, the documented picture once decoded.
    EXPECT_TRUE(video.front().key());
    simtest::Decoder h264("h264");
    std::size_t sinceKey = 0, payloadBytes = 0;
    bool checkedPicture = false;
    for (std::size_t i = 0; i < video.size(); ++i) {
      const Media& m = video[i];
      EXPECT_EQ(m.tag, static_cast<std::uint32_t>('V'));
      EXPECT_EQ(m.width(), c.width);
      EXPECT_EQ(m.height(), c.height);
      if (i) {
        EXPECT_EQ(m.sequence(), video[i - 1].sequence() + 1);
        EXPECT_GE(m.timestamp() - video[i - 1].timestamp(), 1000u / c.fps / 2);
      }
      sinceKey = m.key() ? 0 : sinceKey + 1;
      EXPECT_LT(sinceKey, static_cast<std::size_t>(2 * c.fps));
      payloadBytes += m.payload.size();
      simtest::Picture picture;
      ASSERT_TRUE(h264.decodePicture(m.payload.data(), m.payload.size(), picture)) << "frame " << i;
      EXPECT_EQ(picture.width, c.width);
      EXPECT_EQ(picture.height, c.height);
      if (!checkedPicture) {
        EXPECT_EQ(simtest::countSceneMismatches(picture, {}), 0);
        EXPECT_TRUE(simtest::stripShowsNumber(picture, c.number));
        checkedPicture = true;
      }
    }
    const double seconds = static_cast<double>(video.size()) / c.fps;
    EXPECT_NEAR(payloadBytes * 8 / seconds / 1000, c.kbps, c.kbps * 0.35);

    // Sound: the configured codec in the format word, the tone once decoded.
    simtest::Decoder audio(c.audioDecoder, c.sampleRate, c.channels);
    std::vector<float> samples;
    int audioFrames = 0;
    for (const Media& m : frames) {
      if (m.video()) continue;
      ++audioFrames;
      EXPECT_EQ(m.tag, static_cast<std::uint32_t>('A'));
      EXPECT_EQ(m.words[3], c.formatWord);
      EXPECT_EQ(m.words[2] & 0x1FFFFFF, m.payload.size());
      audio.decodeAudio(m.payload.data(), m.payload.size(), samples);
    }
    EXPECT_GT(audioFrames, 10);
    ASSERT_GT(samples.size(), static_cast<std::size_t>(c.sampleRate));
    const std::vector<float> steady(samples.begin() + 2048, samples.end());
    EXPECT_NEAR(simtest::toneFrequency(steady, c.sampleRate), c.toneHz, c.toneHz * 0.01);
    EXPECT_NEAR(simtest::rms(steady), 0.5 / std::sqrt(2.0), 0.07);
    EXPECT_EQ(audio.channels(), c.channels);
  }
}

TEST_F(RelayTest, ViewersOfACameraShareOneStreamCodedOnce) {
  auto a = watching("cam-aac-0001");
  auto b = watching("cam-aac-0001");
  std::map<std::uint32_t, std::vector<std::uint8_t>> seenByA;
  for (const Media& m : videoOf(a->collect(1500))) seenByA[m.sequence()] = m.payload;
  int common = 0;
  for (const Media& m : videoOf(b->collect(500))) {
    const auto it = seenByA.find(m.sequence());
    if (it == seenByA.end()) continue;
    EXPECT_EQ(it->second, m.payload) << "sequence " << m.sequence();
    ++common;
  }
  EXPECT_GT(common, 10);
  EXPECT_EQ(cameraField("cam-aac-0001", "viewers"), "2");
  EXPECT_NE(sim().controlOk("stats").find("\"videoLoopsCoded\":1"), std::string::npos);
}

TEST_F(RelayTest, CapabilitiesAndQualityLevelsFollowTheConfiguration) {
  struct Case {
    const char* camera;
    std::map<std::string, std::string> expected;
  };
  const Case cases[] = {
      {"cam-aac-0001",
       {{"status", "1"}, {"EnableQP", "1"}, {"PTZ", "1"}, {"Audio", "1"}, {"AudioType", "1"}, {"Speak", "0"},
        {"SetTime", "1"}, {"ViedoQP", "3"}}},
      {"g711",
       {{"status", "1"}, {"EnableQP", "0"}, {"PTZ", "0"}, {"Audio", "1"}, {"AudioType", "2"}, {"Speak", "1"},
        {"SetTime", "0"}, {"ViedoQP", "3"}}},
  };
  for (const Case& c : cases) {
    auto v = watching(c.camera);
    MessageEnvelope reply;
    ASSERT_TRUE(v->request(17, {}, reply, 4242));
    EXPECT_EQ(reply.TimeSep, 4242);
    for (const auto& [name, value] : c.expected) EXPECT_EQ(reply.param(name), value) << c.camera << " " << name;
  }

  auto v = watching("cam-aac-0001");
  auto rateAt = [&](const char* level) {
    MessageEnvelope reply;
    EXPECT_TRUE(v->request(16, {{"ViedoQP", level}}, reply));
    EXPECT_EQ(reply.param("status"), "1");
    EXPECT_EQ(reply.param("ViedoQP"), level);
    v->collect(2500);  // the new pictures start at a key frame
    std::size_t bytes = 0;
    const auto pictures = videoOf(v->collect(2000));
    for (const Media& m : pictures) bytes += m.payload.size();
    // kbit per second of stream (25 pictures), whatever the pace on a busy machine
    return pictures.empty() ? 0.0 : bytes * 8.0 * 25 / pictures.size() / 1000;
  };
  const double low = rateAt("1"), high = rateAt("5");
  EXPECT_NEAR(low, 96, 40);
  EXPECT_NEAR(high, 768, 250);
  MessageEnvelope capabilities;
  ASSERT_TRUE(v->request(17, {}, capabilities));
  EXPECT_EQ(capabilities.param("ViedoQP"), "5");

  MessageEnvelope refused;
  ASSERT_TRUE(v->request(16, {{"ViedoQP", "9"}}, refused));
  EXPECT_EQ(refused.param("status"), "0");
  EXPECT_EQ(refused.param("ViedoQP"), "5") << "the level in force";
  auto desk = watching("g711");
  ASSERT_TRUE(desk->request(16, {{"ViedoQP", "2"}}, refused));
  EXPECT_EQ(refused.param("errorMsg"), "设备不支持画质调节");
  EXPECT_EQ(refused.param("ViedoQP"), "3");
}

TEST_F(RelayTest, PtzCodesMoveZoomAndBrightenThePicture) {
  auto v = watching("cam-aac-0001");
  simtest::Decoder h264("h264");
  simtest::Picture picture;
  // Each step: a code, and the camera position it leads to.
  struct Step {
    const char* code;
    sim::PtzView after;
  };
  const Step steps[] = {
      {"4", {1, 0, 0, 0, 0}},  {"4", {2, 0, 0, 0, 0}}, {"2", {2, 1, 0, 0, 0}}, {"1", {2, 0, 0, 0, 0}},
      {"3", {1, 0, 0, 0, 0}},  {"5", {1, 0, 1, 0, 0}}, {"5", {1, 0, 2, 0, 0}}, {"6", {1, 0, 1, 0, 0}},
      {"9", {1, 0, 1, 0, 1}},  {"10", {1, 0, 1, 0, 0}}, {"10", {1, 0, 1, 0, -1}},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string("code ") + s.code + " -> " + ptzJson(s.after));
    ASSERT_TRUE(v->send(9, {{"PTZCommand", s.code}}));
    bool seen = false;
    for (int tries = 0; tries < 50 && !seen; ++tries) {
      seen = cameraField("cam-aac-0001", "ptz") == ptzJson(s.after);
      if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(seen) << cameraField("cam-aac-0001", "ptz");
    // The picture shows the new position from a key frame within a few seconds.
    bool shown = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(6);
    while (!shown && std::chrono::steady_clock::now() < deadline)
      for (const Media& m : videoOf(v->collect(200)))
        if (h264.decodePicture(m.payload.data(), m.payload.size(), picture) && m.key() && !shown)
          shown = simtest::countSceneMismatches(picture, s.after) == 0;
    EXPECT_TRUE(shown);
  }
  // Focus far twice: the bars' edges soften.
  ASSERT_TRUE(v->send(9, {{"PTZCommand", "7"}}));
  ASSERT_TRUE(v->send(9, {{"PTZCommand", "7"}}));
  v->collect(2500);
  auto frames = videoOf(v->collect(1200));
  simtest::Decoder fresh("h264");
  int steepest = 255;
  for (const Media& m : frames)
    if (fresh.decodePicture(m.payload.data(), m.payload.size(), picture)) {
      steepest = 0;
      for (int x = 1; x < picture.width; ++x)
        steepest = std::max(steepest, std::abs(picture.lumaAt(x, 40) - picture.lumaAt(x - 1, 40)));
    }
  EXPECT_LT(steepest, 15) << "blurred edges";
  EXPECT_EQ(cameraField("cam-aac-0001", "ptzCommands"), "13");

  // A camera without PTZ ignores the codes; unknown codes are ignored too.
  auto desk = watching("g711");
  ASSERT_TRUE(desk->send(9, {{"PTZCommand", "4"}}));
  ASSERT_TRUE(v->send(9, {{"PTZCommand", "11"}}));
  ASSERT_TRUE(v->send(9, {{"PTZCommand", "up"}}));
  desk->collect(300);
  EXPECT_EQ(cameraField("g711", "ptz"), ptzJson({}));
  EXPECT_EQ(cameraField("g711", "refusedCommands"), "1");
  EXPECT_EQ(cameraField("cam-aac-0001", "refusedCommands"), "2");
}

TEST_F(RelayTest, PresetCruiseAndClockCommandsUseTheConfiguredLists) {
  auto v = watching("cam-aac-0001");
  MessageEnvelope reply;
  ASSERT_TRUE(v->request(10, {}, reply, 5));
  EXPECT_EQ(reply.TimeSep, 5);
  EXPECT_EQ(reply.param("status"), "1");
  EXPECT_EQ(reply.param("presetIdList"), "1;2");
  EXPECT_EQ(reply.param("presetNameList"), "门口;车库");
  ASSERT_TRUE(v->request(12, {}, reply));
  EXPECT_EQ(reply.param("cruiseIdList"), "11;12");
  EXPECT_EQ(reply.param("cruiseNameList"), "白天;夜间");
  EXPECT_EQ(reply.param("presetIdList"), "1;2");
  EXPECT_EQ(reply.param("presetNameList"), "门口;车库");

  ASSERT_TRUE(v->send(13, {{"cruiseId", "12"}}));
  ASSERT_TRUE(v->send(13, {{"cruiseId", "99"}}));  // no such cruise
  ASSERT_TRUE(v->send(18, {{"Time", "2024-05-01 08:30:00"}}));
  ASSERT_TRUE(v->send(18, {{"Time", "yesterday"}}));
  ASSERT_TRUE(v->request(17, {}, reply));  // the commands above are handled by now
  EXPECT_EQ(cameraField("cam-aac-0001", "cruise"), "\"12\"");
  EXPECT_EQ(cameraField("cam-aac-0001", "clock"), "\"2024-05-01 08:30:00\"");
  EXPECT_EQ(cameraField("cam-aac-0001", "refusedCommands"), "2");
  ASSERT_TRUE(v->send(14, {{"cruiseId", "12"}}));
  ASSERT_TRUE(v->request(17, {}, reply));
  EXPECT_EQ(cameraField("cam-aac-0001", "cruise"), "\"\"");

  auto desk = watching("g711");
  ASSERT_TRUE(desk->request(10, {}, reply));
  EXPECT_EQ(reply.param("status"), "0");
  EXPECT_EQ(reply.param("errorMsg"), "设备不支持云台");
}

std::vector<std::uint8_t> talkFrame(std::uint32_t index, std::size_t bytes) {
  std::vector<std::uint8_t> body(21 + bytes, 0xD5);
  auto put = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) body[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  body[0] = 'V';
  put(1, 0x00410000);
  put(5, index);
  put(9, static_cast<std::uint32_t>(bytes));
  put(13, 8000u | 16u << 16 | 1u << 24 | 3u << 28);
  put(17, 0);
  return simtest::framed(body);
}

TEST_F(RelayTest, TalkIsGrantedToOneLinkAtATime) {
  auto first = watching("g711");
  auto second = watching("g711");
  MessageEnvelope reply;
  ASSERT_TRUE(first->request(19, {}, reply, 1001));
  EXPECT_EQ(reply.TimeSep, 1001);
  ASSERT_EQ(reply.param("status"), "1");
  const std::string index = reply.param("Index");
  ASSERT_FALSE(index.empty());
  ASSERT_TRUE(second->request(19, {}, reply, 1002));
  EXPECT_EQ(reply.param("status"), "2") << "another talk holds the camera";
  ASSERT_TRUE(first->request(19, {}, reply));
  EXPECT_EQ(reply.param("Index"), index) << "the holder keeps its index";

  // Talk-back sound counts only with the granted index and from the holder.
  const auto granted = static_cast<std::uint32_t>(std::stoul(index));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(first->raw().sendBytes(talkFrame(granted, 160)));
  ASSERT_TRUE(first->raw().sendBytes(talkFrame(granted + 1, 160)));
  ASSERT_TRUE(second->raw().sendBytes(talkFrame(granted, 160)));
  ASSERT_TRUE(first->request(17, {}, reply));
  ASSERT_TRUE(second->request(17, {}, reply));
  EXPECT_EQ(cameraField("g711", "talk"),
            "{\"bytes\":800,\"format\":" + std::to_string(8000u | 16u << 16 | 1u << 24 | 3u << 28) +
                ",\"frames\":5,\"held\":true,\"index\":" + index + ",\"rejected\":2}");

  // Ending the talk (20), or closing the link, frees the camera.
  ASSERT_TRUE(first->send(20, {}));
  ASSERT_TRUE(second->request(19, {}, reply));
  EXPECT_EQ(reply.param("status"), "1");
  EXPECT_NE(reply.param("Index"), index);
  second.reset();
  for (int tries = 0; tries < 50 && cameraField("g711", "talk").find("\"held\":false") == std::string::npos; ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(first->request(19, {}, reply));
  EXPECT_EQ(reply.param("status"), "1");

  auto noSpeaker = watching("cam-aac-0001");
  ASSERT_TRUE(noSpeaker->request(19, {}, reply));
  EXPECT_EQ(reply.param("status"), "-1");
}

TEST_F(RelayTest, RepliesCanBeMistimedDelayedOrWithheld) {
  auto v = watching("g711");
  MessageEnvelope reply;
  ASSERT_TRUE(v->request(19, {}, reply, 100));
  EXPECT_EQ(reply.TimeSep, 100);
  sim().controlOk("mistime relay1 19");
  ASSERT_TRUE(v->request(19, {}, reply, 200));
  EXPECT_EQ(reply.TimeSep, 100) << "the answer carries the earlier request's stamp";
  EXPECT_EQ(sim().controlOk("last relay1 19"), R"({"msgType":19,"TimeSep":200,"params":{}})");

  sim().controlOk("withhold relay1 10");
  EXPECT_FALSE(v->request(10, {}, reply, 0, 1500));
  sim().controlOk("delay relay1 17 800");
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(v->request(17, {}, reply));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(750));
  // A reply param can be forced to what no camera would say.
  sim().controlOk("override relay1 17 ViedoQP 7");
  ASSERT_TRUE(v->request(17, {}, reply));
  EXPECT_EQ(reply.param("ViedoQP"), "7");
  EXPECT_EQ(reply.param("status"), "1");
  EXPECT_EQ(reply.param("Speak"), "1");
  sim().controlOk("normal relay1");
  ASSERT_TRUE(v->request(19, {}, reply, 300));
  EXPECT_EQ(reply.TimeSep, 300);
  ASSERT_TRUE(v->request(17, {}, reply));
  EXPECT_EQ(reply.param("ViedoQP"), "3");
}

TEST_F(RelayTest, NoticesAndCameraStatesReachTheViewers) {
  auto v = watching("cam-aac-0001");
  EXPECT_EQ(sim().controlOk("notice cam-aac-0001 1 ok then"), "1");
  MessageEnvelope notice;
  ASSERT_TRUE(v->waitCommand(15, notice));
  EXPECT_EQ(notice.param("status"), "1");
  EXPECT_EQ(notice.param("errorMsg"), "ok then");

  sim().controlOk("camera-online cam-aac-0001 0");
  ASSERT_TRUE(v->waitCommand(15, notice));
  EXPECT_EQ(notice.param("status"), "0");
  EXPECT_EQ(notice.param("errorMsg"), "设备已离线");
  v->collect(300);
  EXPECT_TRUE(v->silentFor(800)) << "no pictures while the camera is off line";
  auto late = viewer();
  EXPECT_EQ(late->loginStatus("cam-aac-0001"), "0");

  sim().controlOk("camera-online cam-aac-0001 1");
  ASSERT_TRUE(v->waitCommand(15, notice));
  EXPECT_EQ(notice.param("errorMsg"), "设备已上线");
  const auto video = videoOf(v->collect(1500));
  ASSERT_FALSE(video.empty());
  EXPECT_TRUE(video.front().key()) << "pictures resume at a key frame";
}

TEST_F(RelayTest, StoppedRelayComesBackOnItsPort) {
  auto v = watching("cam-aac-0001");
  sim().controlOk("stop relay1");
  EXPECT_TRUE(v->closedByPeer());
  EXPECT_THROW(RelayViewer(sim().relay().host, sim().relay().port), std::runtime_error);
  auto other = viewer(1);  // relay2 goes on
  EXPECT_EQ(other->loginStatus("cam-far"), "1");

  sim().controlOk("start relay1");
  auto again = watching("cam-aac-0001");
  const auto video = videoOf(again->collect(1500));
  ASSERT_FALSE(video.empty());
  EXPECT_TRUE(video.front().key());

  EXPECT_EQ(sim().controlOk("drop relay1"), "1");
  EXPECT_TRUE(again->closedByPeer());
}

TEST_F(RelayTest, ASlowViewerLosesPicturesUntilTheNextKeyFrameAlone) {
  auto slow = viewer();
  int small = 16 * 1024;
  ::setsockopt(slow->raw().fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  ASSERT_EQ(slow->loginStatus("cam-fast"), "1");
  auto fast = watching("cam-fast");
  const auto steady = videoOf(fast->collect(4000));  // the slow one reads nothing meanwhile
  for (std::size_t i = 1; i < steady.size(); ++i)
    ASSERT_EQ(steady[i].sequence(), steady[i - 1].sequence() + 1) << "the fast viewer lost nothing";

  int large = 4 * 1024 * 1024;
  ::setsockopt(slow->raw().fd(), SOL_SOCKET, SO_RCVBUF, &large, sizeof large);
  // The backlog queued before the drops drains first; the gap follows.
  auto hasGap = [](const std::vector<Media>& frames) {
    const auto video = videoOf(frames);
    for (std::size_t i = 1; i < video.size(); ++i)
      if (video[i].sequence() != video[i - 1].sequence() + 1) return i + 1 < video.size();
    return false;
  };
  const auto late = videoOf(slow->collectUntil(hasGap, 10000));
  ASSERT_FALSE(late.empty());
  bool gap = false, resumedAtKey = false;
  for (std::size_t i = 1; i < late.size(); ++i)
    if (late[i].sequence() != late[i - 1].sequence() + 1) {
      gap = true;
      resumedAtKey = late[i].key();
      break;
    }
  EXPECT_TRUE(gap) << late.size() << " pictures, sequences " << late.front().sequence() << " to "
                   << late.back().sequence();
  EXPECT_TRUE(resumedAtKey) << "after a gap the next picture is a key frame";
  EXPECT_NE(cameraField("cam-fast", "framesDropped"), "0");
}

}  // namespace
