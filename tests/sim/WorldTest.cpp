// The simulator's configuration, catalogue, recordings and control commands,
// in-process.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/sim/SimFuzzEntries.h"

#include "common/Md5.h"
#include "sim/ControlService.h"
#include "sim/RecordingIndex.h"
#include "sim/SimConfig.h"
#include "sim/World.h"

using namespace sim;

namespace {

std::string withCamera(const std::string& cameraMembers) {
  return R"({"nodes":[{"id":"n1","cameras":[{"id":"c1",)" + cameraMembers + "}]}]}";
}

TEST(SimConfig, RefusesWhatItCannotUseNamingTheMember) {
  struct Case {
    std::string json;
    const char* mentions;
  };
  const Case cases[] = {
      {"{", "not valid JSON"},
      {"[]", "must be an object"},
      {R"({"nodes":[{"name":"x"}]})", "nodes[0].id: is missing"},
      {R"({"nodes":[{"id":"a"},{"id":"a"}]})", "nodes[1].id: id a is used twice"},
      {R"({"nodes":[{"id":"a","cameras":[{"id":"a"}]}]})", "nodes[0].cameras[0].id: id a is used twice"},
      {withCamera(R"("relay":"nowhere")"), "nodes[0].cameras[0].relay: no relay named nowhere"},
      {withCamera(R"("width":351)"), "width and height must be even"},
      {withCamera(R"("fps":0)"), "nodes[0].cameras[0].fps: must be between 1 and 60"},
      {withCamera(R"("fps":"fast")"), "fps: must be a whole number"},
      {withCamera(R"("audio":{"codec":"g711a","sampleRate":16000})"), "must be 8000 for g711a"},
      {withCamera(R"("audio":{"codec":"aac","sampleRate":8000,"toneHz":4000})"), "below half the sample rate"},
      {withCamera(R"("audio":{"codec":"mp3"})"), "audio.codec: must be"},
      {withCamera(R"("recordings":[{"day":"2024-02-30","segments":[]}])"), "recordings[0].day: must be a date"},
      {withCamera(R"("recordings":[{"day":"2024-05-01","segments":[[60,30]]}])"), "segments[0]: needs 0 <= start"},
      {withCamera(R"("recordings":[{"day":"2024-05-01","segments":[[0,1441]]}])"), "segments[0]: needs"},
      {withCamera(R"("recordings":[{"day":"2024-05-01"},{"day":"2024-05-01"}])"), "is listed twice"},
      {withCamera(R"("expires":"soon")"), "expires: must be a date"},
      {R"({"nodes":[{"id":"n1","type":13}]})", "13 is the camera type code"},
      {R"({"nodes":[{"id":"n1","channels":1,"cameras":[{"id":"a"},{"id":"b"}]}]})", "smaller than the number"},
      {R"({"users":[{"name":"u","nodes":["ghost"]}]})", "users[0].nodes[0]: no node with id ghost"},
      {R"({"users":[{"name":"u"},{"name":"u"}]})", "user u is listed twice"},
      {R"({"relays":[{"name":"logic"}]})", "names another server"},
      {R"({"logic":{"port":70000}})", "logic.port: must be between 0 and 65535"},
      {withCamera(R"("name":"a;b")"), "nodes[0].cameras[0].name: must not contain \";\""},
      {R"({"nodes":[{"id":"n;1"}]})", "nodes[0].id: must not contain"},
  };
  for (const Case& c : cases) {
    try {
      SimConfig::parse(c.json);
      ADD_FAILURE() << "accepted: " << c.json;
    } catch (const ConfigError& e) {
      EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what() << "\nfor " << c.json;
    }
  }
}

TEST(SimConfig, FillsDefaultsFromThePositionsAndTheCameraDefaults) {
  const SimConfig cfg = SimConfig::parse(R"({
    "cameraDefaults": {"fps": 12, "audio": {"codec": "g711a", "toneHz": 500}, "capabilities": {"ptz": true}},
    "nodes": [{"id": "a", "cameras": [{"id": "a1"}, {"id": "a2", "audio": {"codec": "none"}}]},
              {"id": "b", "cameras": [{"id": "b1", "number": 40, "index": "7",
                                        "recordings": [{"day": -1, "segments": [[0, 10]]}]}]}],
    "users": [{"name": "u"}]})");
  ASSERT_EQ(cfg.cameras.size(), 3u);
  EXPECT_EQ(cfg.relays.front().name, "relay1");
  struct Expect {
    const char* id;
    int number;
    const char* index;
    AudioCodec codec;
    bool audio;
  };
  const Expect expected[] = {{"a1", 1, "1", AudioCodec::G711a, true},
                             {"a2", 2, "2", AudioCodec::None, false},
                             {"b1", 40, "7", AudioCodec::G711a, true}};
  for (std::size_t i = 0; i < 3; ++i) {
    const CameraRecord& c = cfg.cameras[i];
    SCOPED_TRACE(c.id);
    EXPECT_EQ(c.id, expected[i].id);
    EXPECT_EQ(c.number, expected[i].number);
    EXPECT_EQ(c.index, expected[i].index);
    EXPECT_EQ(c.audio.codec, expected[i].codec);
    EXPECT_EQ(c.caps.audio, expected[i].audio);
    EXPECT_TRUE(c.caps.ptz);
    EXPECT_EQ(c.video.fps, 12);
    EXPECT_EQ(c.relay, "relay1");
  }
  EXPECT_EQ(cfg.cameras[2].recordings.front().day, localDay(-1));
  EXPECT_EQ(cfg.users.front().userId, "u");
  EXPECT_EQ(cfg.users.front().nodes, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(cfg.cameraTemplate.video.fps, 12) << "registered cameras get the defaults too";
}

TEST(SimConfig, TheDemoCatalogueLoads) {
  const SimConfig cfg = SimConfig::load(MC_SOURCE_DIR "/sim/demo.json");
  EXPECT_GE(cfg.cameras.size(), 16u);
  int offline = 0, expired = 0, withSound = 0;
  for (const CameraRecord& c : cfg.cameras) {
    offline += !c.online;
    expired += !c.expires.empty() && c.expires < localDay(0);
    withSound += c.audio.codec != AudioCodec::None;
  }
  EXPECT_GE(offline, 1);
  EXPECT_EQ(expired, 1);
  EXPECT_EQ(withSound, static_cast<int>(cfg.cameras.size()));
  bool demo = false;
  for (const UserRecord& u : cfg.users) demo = demo || (u.name == "demo" && u.password == "demo");
  EXPECT_TRUE(demo);
}

TEST(World, StampsNeverRepeatAcrossRuns) {
  const SimConfig cfg = SimConfig::parse(R"({"users":[{"name":"u"}],"nodes":[{"id":"n"}]})");
  std::string stamps[2];
  for (std::string& stamp : stamps) {
    World world(cfg);
    std::string error;
    ASSERT_TRUE(world.renameNode("u", "n", "renamed", error)) << error;
    stamp = world.catalogueVersion("u");
  }
  EXPECT_NE(stamps[0], stamps[1]);
  EXPECT_NE(stamps[0], "1");
}

TEST(World, ACameraIsOnLineOnlyWhileItsNodeIs) {
  const SimConfig cfg = SimConfig::parse(R"({"users":[{"name":"u"}],
    "nodes":[{"id":"n","cameras":[{"id":"c1"},{"id":"c2","online":false}]}]})");
  World world(cfg);
  struct Step {
    const char* what;
    std::function<bool()> change;
    bool c1, c2;
  };
  const Step steps[] = {
      {"start", [] { return true; }, true, false},
      {"node off", [&] { return world.setNodeOnline("n", false); }, false, false},
      {"c2 on while the node is off", [&] { return world.setCameraOnline("c2", true); }, false, false},
      {"node on", [&] { return world.setNodeOnline("n", true); }, true, true},
      {"unknown camera", [&] { return !world.setCameraOnline("ghost", true); }, true, true},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    EXPECT_TRUE(s.change());
    EXPECT_EQ(world.cameraOnline("c1"), s.c1);
    EXPECT_EQ(world.cameraOnline("c2"), s.c2);
  }
  EXPECT_EQ(world.resolveRelayLogin("relay1", "c1").error, "");
  EXPECT_EQ(world.resolveRelayLogin("relay2", "c1").error, "设备不存在");
}

std::vector<RecordingDay> days() {
  return {{"2024-05-02", {{600, 700, 0}}}, {"2024-05-01", {{120, 150, 1}, {0, 60, 0}}}, {"2024-05-04", {}}};
}

TEST(RecordingIndex, AdvancesOverGapsAndDaysAndStopsAtTheEnd) {
  const RecordingIndex index(days());
  ASSERT_EQ(index.days().size(), 2u) << "days without stretches are left out";
  struct Case {
    const char* from;
    double seconds;
    bool more;
    const char* to;
  };
  const Case cases[] = {
      {"2024-05-01 00:00:00", 10, true, "2024-05-01 00:00:10"},
      {"2024-05-01 00:59:50", 20, true, "2024-05-01 02:00:10"},   // over the gap 01:00 - 02:00
      {"2024-05-01 02:29:00", 120, true, "2024-05-02 10:01:00"},  // into the next day
      {"2024-05-02 11:39:00", 60, false, "2024-05-02 11:40:00"},  // exactly to the end
      {"2024-05-02 11:39:00", 3600, false, "2024-05-02 11:40:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    std::string day;
    int second = 0;
    ASSERT_TRUE(parseDateTime(c.from, day, second));
    RecordingMoment m;
    ASSERT_TRUE(index.firstAtOrAfter(day, second, m));
    EXPECT_EQ(index.advance(m, c.seconds), c.more);
    EXPECT_EQ(index.text(m), c.to);
  }
  EXPECT_EQ(index.text(index.start()), "2024-05-02 10:00:00");
  // Word 5: year - 2012, month, day, hour, minute.
  RecordingMoment m{1, 10 * 3600 + 5 * 60 + 30};
  EXPECT_EQ(index.recordTimeWord(m), 12u | 5u << 6 | 2u << 10 | 10u << 15 | 5u << 20);
}

TEST(RecordingIndex, SearchCutsStretchesToWholeMinutesOfTheRange) {
  const RecordingIndex index(days());
  std::string data, time, error;
  ASSERT_TRUE(index.search("0", "2024-05-01 00:30:30", "2024-05-01 02:10:01", data, time, error));
  EXPECT_EQ(data, "2024-05-01");
  EXPECT_EQ(time, "30-60|120-131") << "a partly covered minute counts";
  ASSERT_TRUE(index.search("0", "2024-05-01 23:00:00", "2024-05-02 10:30:00", data, time, error));
  EXPECT_EQ(data, "2024-05-02");
  EXPECT_EQ(time, "600-630");
  EXPECT_FALSE(index.search("1", "2024-05-02 00:00:00", "2024-05-02 23:59:59", data, time, error));
  EXPECT_EQ(error, "该时间段内没有录像");
}

// A control target that records what it was asked.
class FakeTarget : public SimulatorControl {
 public:
  explicit FakeTarget(const SimConfig& cfg) : world_(cfg) {}
  World& world() override { return world_; }
  ServerStats* stats(const std::string& s) override {
    return s == "logic" ? &logic_ : s == "relay1" ? &relay_ : nullptr;
  }
  bool isRelay(const std::string& s) const override { return s == "relay1"; }
  std::vector<std::string> servers() const override { return {"logic", "relay1"}; }
  int dropLinks(const std::string&) override { return 3; }
  bool stopServer(const std::string& s, std::string&) override {
    stopped = s;
    return true;
  }
  bool startServer(const std::string&, std::string& error) override {
    error = "cannot listen: address in use";
    return false;
  }
  int relayNotice(const std::string&, const std::string& status, const std::string& text) override {
    notice = status + "|" + text;
    return 2;
  }
  int sendMessage(const std::string& server, int msgType, const Params& params) override {
    sent = server + " " + std::to_string(msgType) + " " + paramsJson(params);
    return 4;
  }
  std::string cameraState(const std::string& id) override { return id == "c1" ? "{\"id\":\"c1\"}" : ""; }
  std::string statsJson() override { return "{}"; }

  World world_;
  ServerStats logic_, relay_;
  std::string stopped, notice, sent;
};

TEST(ControlService, AnswersEveryLineWithOkOrAReadableError) {
  FakeTarget target(SimConfig::parse(R"({"users":[{"name":"u"}],"nodes":[{"id":"n","cameras":[{"id":"c1"}]}]})"));
  ControlService control(target);
  struct Case {
    const char* line;
    const char* answer;
  };
  const Case cases[] = {
      {"", "error empty command"},
      {"fly away", "error unknown command: fly away (try help)"},
      {"camera c1", "ok {\"id\":\"c1\"}"},
      {"camera ghost", "error no camera ghost"},
      {"camera-online c1 maybe", "error state must be 0 or 1"},
      {"camera-online ghost 1", "error no camera ghost"},
      {"node-online n 0\r", "ok"},
      {"drop logic", "ok 3"},
      {"drop nowhere", "error no server nowhere"},
      {"stop relay1", "ok"},
      {"start relay1", "error cannot listen: address in use"},
      {"delay logic 2", "error wrong arguments: delay logic 2 (try help)"},
      {"delay logic two 100", "error KIND must be a message kind number"},
      {"delay logic 2 -5", "error MS must be between 0 and 600000"},
      {"delay logic 2 250", "ok"},
      {"mistime logic 19", "error mistime applies to relays only"},
      {"mistime relay1 19", "ok"},
      {"withhold relay1 10", "ok"},
      {"last logic 2", "error no request of kind 2"},
      {"notice c1 0 设备 维护中", "ok 2"},
      {"notice ghost 0 x", "error no camera ghost"},
      {"normal relay1 19", "ok"},
      {"override logic 2", "error wrong arguments: override logic 2 (try help)"},
      {"override logic 2 latitude", "ok"},
      {"override logic 2 ShowMsg 今日 维护", "ok"},
      {"send logic 14 {\"nodeId\":\"n\",\"active\":\"\",\"n\":5}", "ok 4"},
      {"send logic 14 [1]", "error bad params: params must be a JSON object"},
  };
  for (const Case& c : cases) EXPECT_EQ(control.execute(c.line), c.answer) << '"' << c.line << '"';
  EXPECT_FALSE(target.world().cameraOnline("c1")) << "node-online n 0 took the camera with it";
  EXPECT_EQ(target.stopped, "relay1");
  EXPECT_EQ(target.notice, "0|设备 维护中");
  EXPECT_EQ(target.sent, R"(logic 14 {"active":"","n":"5","nodeId":"n"})");
  EXPECT_EQ(target.logic_.fault(2).mode, Fault::Mode::Delay);
  EXPECT_EQ(target.logic_.fault(2).delayMs, 250);
  EXPECT_EQ(target.logic_.fault(2).overrides, (Params{{"ShowMsg", "今日 维护"}, {"latitude", ""}}));
  EXPECT_EQ(target.relay_.fault(19).mode, Fault::Mode::Normal);
  EXPECT_EQ(target.relay_.fault(10).mode, Fault::Mode::Withhold);
  target.logic_.request({2, 77, {{"userName", "u"}}});
  EXPECT_EQ(control.execute("last logic 2"), R"(ok {"msgType":2,"TimeSep":77,"params":{"userName":"u"}})");
}

TEST(FuzzCorpus, SimInputSeedsReplay) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(MC_SOURCE_DIR "/fuzz/corpus/sim_input")) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(sim_fuzz::serverInputEntry(bytes.data(), bytes.size()), 0);
    ++files;
  }
  EXPECT_GT(files, 0);
}

}  // namespace
