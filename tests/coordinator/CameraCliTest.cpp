// monitor-cli's camera commands against platform-sim: live pictures, a
// snapshot and a recording checked with ffprobe, and playback control.
#include <gtest/gtest.h>
#include <json/json.h>

#include <ctime>

#include "tests/coordinator/CliRunner.h"
#include "tests/coordinator/CoordinatorFixture.h"

using coordtest::CliRun;
using coordtest::CoordinatorTest;
using coordtest::runCli;

namespace {

const char* const kCameras = R"({
  "users": [{"name": "alice", "password": "secret", "userId": "u1"}],
  "nodes": [
    {"id": "n1", "name": "Yard", "cameras": [
      {"id": "cam-gate", "name": "Gate", "width": 352, "height": 288,
       "audio": {"codec": "aac", "sampleRate": 8000, "channels": 1, "toneHz": 1000},
       "capabilities": {"qp": true, "ptz": true, "audio": true, "speak": true, "setTime": true},
       "presets": [{"id": "1", "name": "大门"}, {"id": "2", "name": "Yard"}],
       "recordings": [{"day": -2, "segments": [[60, 120], [600, 630]]}, {"day": -1, "segments": [[0, 30]]}]},
      {"id": "cam-hall", "name": "Hall", "width": 176, "height": 144, "online": false}
    ]}
  ]
})";

std::string dayText(int offsetDays) {
  std::time_t when = std::time(nullptr) + offsetDays * 86400;
  std::tm local {};
  ::localtime_r(&when, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

Json::Value parse(const std::string& text) {
  Json::Value value;
  EXPECT_TRUE(Json::Reader().parse(text, value)) << text;
  return value;
}

class CameraCli : public CoordinatorTest {
 protected:
  std::string config() const override { return kCameras; }
  void SetUp() override {
    CoordinatorTest::SetUp();
    writeConfig();
  }
  CliRun cli(const std::string& arguments) {
    return runCli(home.path(), arguments + " --user alice --password secret");
  }
};

}  // namespace

TEST_F(CameraCli, LiveDecodesPicturesOfTheConfiguredSizeAndAnswersCommands) {
  const CliRun run = cli("live cam-gate --seconds 3 --quality 4 --presets --ptz 4");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Json::Value live = parse(run.out);
  EXPECT_EQ(live["cameraId"].asString(), "cam-gate");
  EXPECT_EQ(live["width"].asInt(), 352);
  EXPECT_EQ(live["height"].asInt(), 288);
  EXPECT_GT(live["framesDecoded"].asInt(), 20);
  EXPECT_GE(live["framesReceived"].asInt(), live["framesDecoded"].asInt());
  EXPECT_EQ(live["framesDropped"].asInt(), 0);
  EXPECT_GT(live["picturesPerSecond"].asDouble(), 10);
  EXPECT_GT(live["bytesPerSecond"].asDouble(), 1000);
  EXPECT_GE(live["firstPictureMs"].asInt(), 400) << "the 500 ms hold comes first";
  EXPECT_TRUE(live["abilities"]["PTZ"].asBool());
  EXPECT_EQ(live["quality"].asInt(), 4);
  EXPECT_EQ(live["presetIdList"].asString(), "1;2");
  EXPECT_EQ(live["presetNameList"].asString(), "大门;Yard");
  const Json::Value device = parse(sim->controlOk("camera cam-gate"));
  EXPECT_EQ(device["quality"].asInt(), 4);
  EXPECT_EQ(device["ptz"]["pan"].asInt(), 1) << "PTZ right moved the picture";
}

TEST_F(CameraCli, ACameraThatCannotBeOpenedOrShowsNothingHasItsOwnCode) {
  sim->controlOk("stop relay1");
  CliRun run = cli("live cam-gate --seconds 1");
  EXPECT_EQ(run.exitCode, 5) << run.err;
  EXPECT_NE(run.err.find("连接异常"), std::string::npos);
  sim->controlOk("start relay1");

  run = cli("live cam-hall --seconds 2");
  EXPECT_EQ(run.exitCode, 6) << "the relay refuses the off-line camera: " << run.err;
  EXPECT_EQ(parse(run.out)["framesDecoded"].asInt(), 0);

  run = cli("live nosuchcamera");
  EXPECT_EQ(run.exitCode, 7);
}

TEST_F(CameraCli, SnapshotWritesAJpegOfThePictureSize) {
  const CliRun run = cli("snapshot cam-gate");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Json::Value shot = parse(run.out);
  ASSERT_EQ(shot["files"].size(), 1u);
  const std::string file = shot["files"][0].asString();
  EXPECT_EQ(file.rfind(home.path() + "/Capture/cam-gate-", 0), 0u) << file;
  const Json::Value probe = coordtest::ffprobe(file);
  ASSERT_EQ(probe["streams"].size(), 1u);
  EXPECT_EQ(probe["streams"][0]["codec_name"].asString(), "mjpeg");
  EXPECT_EQ(probe["streams"][0]["width"].asInt(), 352);
  EXPECT_EQ(probe["streams"][0]["height"].asInt(), 288);
}

TEST_F(CameraCli, AFiveSecondRecordingIsAValidMp4WithPicturesAndSound) {
  const CliRun run = cli("record cam-gate --seconds 5");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Json::Value record = parse(run.out);
  ASSERT_EQ(record["files"].size(), 1u);
  const std::string file = record["files"][0]["file"].asString();
  EXPECT_EQ(file.rfind(home.path() + "/Capture/cam-gate_", 0), 0u) << file;
  const Json::Value probe = coordtest::ffprobe(file);
  std::map<std::string, Json::Value> streams;
  for (const auto& stream : probe["streams"]) streams[stream["codec_type"].asString()] = stream;
  ASSERT_EQ(probe["streams"].size(), 2u);
  EXPECT_EQ(streams["video"]["codec_name"].asString(), "h264");
  EXPECT_EQ(streams["video"]["width"].asInt(), 352);
  EXPECT_EQ(streams["video"]["height"].asInt(), 288);
  EXPECT_EQ(streams["audio"]["codec_name"].asString(), "aac");
  const double duration = std::stod(probe["format"]["duration"].asString());
  EXPECT_NEAR(duration, 5.0, 0.6);
}

TEST_F(CameraCli, PlaybackFindsTheDaysAndFollowsSeekSpeedAndPause) {
  const std::string first = dayText(-2), second = dayText(-1);
  CliRun run = cli("playback cam-gate --from '" + first + " 00:00:00' --to '" + second +
                   " 23:59:59' --seek '" + first + " 10:05:00' --seconds 3");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  Json::Value playback = parse(run.out);
  ASSERT_EQ(playback["records"].size(), 2u);
  EXPECT_EQ(playback["records"][0]["day"].asString(), first);
  EXPECT_EQ(playback["records"][0]["segments"], parse("[[60,120],[600,630]]"));
  EXPECT_EQ(playback["records"][1]["day"].asString(), second);
  EXPECT_EQ(playback["records"][1]["segments"], parse("[[0,30]]"));
  ASSERT_GT(playback["playTimes"].size(), 0u);
  EXPECT_EQ(playback["playTimes"][playback["playTimes"].size() - 1].asString().substr(0, 15), first + " 10:0")
      << "the play time follows the seek";
  EXPECT_GT(playback["framesDecoded"].asInt(), 0);

  run = cli("playback cam-gate --from '" + first + " 00:00:00' --to '" + second + " 23:59:59' --faster 2 --seconds 2");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_DOUBLE_EQ(parse(run.out)["speed"].asDouble(), 4.0);

  run = cli("playback cam-gate --from '" + first + " 00:00:00' --to '" + second + " 23:59:59' --pause --seconds 2");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(parse(run.out)["playState"].asInt(), 0);

  run = cli("playback cam-gate --from '2001-01-01 00:00:00' --to '2001-01-02 00:00:00'");
  EXPECT_EQ(run.exitCode, 7);
  EXPECT_NE(run.err.find("该时间段内没有录像"), std::string::npos) << run.err;
}
