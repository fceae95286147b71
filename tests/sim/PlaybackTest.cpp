// Recording playback through platform-sim: a ticket from the logic server,
// a relay session that searches, plays "R"/"P" frames stamped with the
// recording time, seeks, changes speed, pauses and ends.
#include <thread>

#include "tests/sim/LinkFixture.h"
#include "tests/sim/MediaCheck.h"
#include "tests/sim/PictureModel.h"
#include "tests/sim/RelayViewer.h"

using simtest::Media;
using simtest::RelayViewer;

namespace {

const char* const kCatalogue = R"({
  "relays": [{"name": "relay1"}],
  "users": [{"name": "alice", "password": "secret", "userId": "u1"}],
  "nodes": [{"id": "n1", "name": "Site", "cameras": [
    {"id": "rec-cam-01", "number": 5, "fps": 25,
     "audio": {"codec": "g711a", "toneHz": 700},
     "recordings": [
       {"day": "2024-05-02", "segments": [[600, 700]]},
       {"day": "2024-05-01", "segments": [[120, 150, 1], [0, 60]]},
       {"day": "2024-05-03", "segments": [[1430, 1440]]}
     ]},
    {"id": "plain-cam", "audio": {"codec": "none"}}
  ]}]
})";

class PlaybackTest : public simtest::SimLinkTest {
 protected:
  std::string config() const override { return kCatalogue; }

  // A relay link logged in with a fresh playback ticket of the camera.
  std::unique_ptr<RelayViewer> playing(const std::string& camera = "rec-cam-01") {
    if (!logic_) logic_ = loggedIn("alice", "secret");
    PlaybackTicket ticket;
    EXPECT_TRUE(logic_->requestPlayback(camera, ticket)) << ticket.errorMsg;
    ticket_ = ticket.playBackId;
    auto v = std::make_unique<RelayViewer>(sim().relay().host, sim().relay().port);
    EXPECT_EQ(v->loginStatus(ticket.playBackId), "1");
    return v;
  }

  // The play position the relay reports ("YYYY-MM-DD HH:MM:SS").
  std::string position() {
    const std::string state = sim().controlOk("camera rec-cam-01");
    const auto at = state.find("\"position\":\"");
    return at == std::string::npos ? std::string() : state.substr(at + 12, 19);
  }
  static int secondsOf(const std::string& position) {
    return std::stoi(position.substr(11, 2)) * 3600 + std::stoi(position.substr(14, 2)) * 60 +
           std::stoi(position.substr(17, 2));
  }

  std::shared_ptr<CServerLogic> logic_;
  std::string ticket_;
};

std::vector<Media> only(const std::vector<Media>& frames, char tag) {
  std::vector<Media> out;
  for (const Media& m : frames)
    if (m.tag == static_cast<std::uint32_t>(tag)) out.push_back(m);
  return out;
}

TEST_F(PlaybackTest, TicketsLogInToThePlaybackOfTheirCamera) {
  auto v = playing();
  const auto frames = v->collect(1500);
  const auto pictures = only(frames, 'R');
  ASSERT_FALSE(pictures.empty());
  EXPECT_TRUE(only(frames, 'V').empty()) << "a playback link gets no live pictures";
  EXPECT_TRUE(pictures.front().key());
  // It starts at the first stretch of the latest recorded day.
  EXPECT_EQ(pictures.front().recordTime(), "2024-05-03 23:50");
  simtest::Decoder h264("h264");
  simtest::Picture picture;
  ASSERT_TRUE(h264.decodePicture(pictures.front().payload.data(), pictures.front().payload.size(), picture));
  EXPECT_EQ(picture.width, 352);
  EXPECT_NEAR(picture.uAt(340, picture.height - 3), sim::kStripPlayback.u, 6) << "the playback strip";
  EXPECT_TRUE(simtest::stripShowsNumber(picture, 5));
  const auto sound = only(frames, 'P');
  ASSERT_FALSE(sound.empty());
  EXPECT_EQ(sound.front().words[3], 0x31101F40u);

  // The ticket's digest is checked like a camera id's.
  RelayViewer wrong(sim().relay().host, sim().relay().port);
  MessageEnvelope reply;
  ASSERT_TRUE(wrong.request(1, {{"SxtId", ticket_}, {"PWD", mc::md5Upper(ticket_)}}, reply));
  EXPECT_EQ(reply.param("errorMsg"), "密码错误");
  PlaybackTicket none;
  EXPECT_FALSE(logic_->requestPlayback("plain-cam", none));
  EXPECT_EQ(none.errorMsg, "前端设备不支持");
}

TEST_F(PlaybackTest, SearchAnswersTheDaysAndStretchesOfTheRange) {
  auto v = playing();
  struct Case {
    const char* type;
    const char* start;
    const char* stop;
    const char* status;
    const char* data;
    const char* time;
    const char* errorMsg;
  };
  const Case cases[] = {
      {"0", "2024-05-01 00:00:00", "2024-05-02 23:59:59", "1", "2024-05-01;2024-05-02", "0-60|120-150;600-700", ""},
      {"0", "2024-04-28 00:00:00", "2024-05-04 23:59:59", "1", "2024-05-01;2024-05-02;2024-05-03",
       "0-60|120-150;600-700;1430-1440", ""},
      {"1", "2024-05-01 00:00:00", "2024-05-03 23:59:59", "1", "2024-05-01", "120-150", ""},
      {"0", "2024-05-01 00:30:00", "2024-05-01 02:10:00", "1", "2024-05-01", "30-60|120-130", ""},
      {"0", "2024-04-01 00:00:00", "2024-04-07 23:59:59", "0", "", "", "该时间段内没有录像"},
      {"0", "2024-05-01", "2024-05-02 23:59:59", "0", "", "", "时间格式错误"},
      {"0", "2024-05-02 00:00:00", "2024-05-01 00:00:00", "0", "", "", "时间段不正确"},
      {"7", "2024-05-01 00:00:00", "2024-05-02 00:00:00", "0", "", "", "录像类型错误"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + c.start + " .. " + c.stop);
    MessageEnvelope reply;
    ASSERT_TRUE(v->request(4, {{"type", c.type}, {"startTime", c.start}, {"stopTime", c.stop}}, reply, 31));
    EXPECT_EQ(reply.TimeSep, 31);
    EXPECT_EQ(reply.param("status"), c.status);
    EXPECT_EQ(reply.param("data"), c.data);
    EXPECT_EQ(reply.param("time"), c.time);
    EXPECT_EQ(reply.param("errorMsg"), c.errorMsg);
  }
}

TEST_F(PlaybackTest, SeekMovesTheRecordingTimeOfThePictures) {
  auto v = playing();
  v->collect(500);
  struct Case {
    const char* posTime;
    const char* status;
    const char* landsAt;  // position reported afterwards
  };
  const Case cases[] = {
      {"2024-05-02 10:30:00", "1", "2024-05-02 10:30:00"},
      {"2024-05-01 01:30:00", "1", "2024-05-01 02:00:00"},  // a gap: the next stretch
      {"2024-04-30 12:00:00", "1", "2024-05-01 00:00:00"},  // before every recording
      {"2024-05-04 00:00:00", "0", nullptr},                  // after every recording
      {"tomorrow", "0", nullptr},
  };
  std::string last;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.posTime);
    MessageEnvelope reply;
    ASSERT_TRUE(v->request(7, {{"posTime", c.posTime}}, reply));
    EXPECT_EQ(reply.param("status"), c.status);
    if (!c.landsAt) {
      EXPECT_FALSE(reply.param("errorMsg").empty());
      EXPECT_EQ(position().substr(0, 16), last.substr(0, 16)) << "a refused seek leaves the position";
      continue;
    }
    const std::string reported = position();
    EXPECT_EQ(reported.substr(0, 10), std::string(c.landsAt).substr(0, 10));
    EXPECT_NEAR(secondsOf(reported), secondsOf(c.landsAt), 2);
    const auto pictures = only(v->collectUntil([](const std::vector<Media>& f) { return only(f, 'R').size() > 5; },
                                               3000),
                               'R');
    ASSERT_FALSE(pictures.empty());
    EXPECT_EQ(pictures.back().recordTime(), std::string(c.landsAt).substr(0, 16));
    last = position();
  }
}

TEST_F(PlaybackTest, FasterSlowerAndPauseChangeThePaceAndAnswerTheState) {
  auto v = playing();
  MessageEnvelope reply;
  ASSERT_TRUE(v->request(7, {{"posTime", "2024-05-02 10:00:00"}}, reply));
  // Pictures per second and recording seconds per second at a speed.
  auto measure = [&](double& picturesPerSecond, double& mediaPerSecond, bool& sound) {
    v->collect(600);
    const int from = secondsOf(position());
    const auto frames = v->collect(2000);
    const int to = secondsOf(position());
    picturesPerSecond = only(frames, 'R').size() / 2.0;
    mediaPerSecond = (to - from) / 2.0;
    sound = !only(frames, 'P').empty();
  };
  struct Step {
    int kind;
    const char* speed;
    double pictures, media;
    bool sound;
  };
  const Step steps[] = {
      {6, "0.5", 12.5, 0.5, false}, {5, "1", 25, 1, true}, {5, "2", 50, 2, false},
      {5, "4", 100, 4, false},      {5, "8", 8, 8, false},  // above 4: key frames only
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.speed);
    ASSERT_TRUE(v->request(s.kind, {}, reply, 9));
    EXPECT_EQ(reply.TimeSep, 9);
    EXPECT_EQ(reply.param("speed"), s.speed);
    double pictures = 0, media = 0;
    bool sound = false;
    measure(pictures, media, sound);
    EXPECT_NEAR(pictures, s.pictures, s.pictures * 0.3 + 1);
    EXPECT_NEAR(media, s.media, s.media * 0.3 + 1);
    EXPECT_EQ(sound, s.sound);
  }
  for (const char* top : {"16", "16"}) {
    ASSERT_TRUE(v->request(5, {}, reply));
    EXPECT_EQ(reply.param("speed"), top);
  }

  ASSERT_TRUE(v->request(8, {{"type", "0"}}, reply));
  EXPECT_EQ(reply.param("type"), "0");
  v->collect(200);
  const std::string paused = position();
  EXPECT_TRUE(v->silentFor(1000)) << "no pictures while paused";
  EXPECT_EQ(position(), paused);
  ASSERT_TRUE(v->request(8, {{"type", "x"}}, reply));
  EXPECT_EQ(reply.param("status"), "0");
  EXPECT_EQ(reply.param("type"), "0");
  ASSERT_TRUE(v->request(8, {{"type", "1"}}, reply));
  EXPECT_EQ(reply.param("type"), "1");
  const auto resumed = only(v->collect(800), 'R');
  ASSERT_FALSE(resumed.empty());
  EXPECT_TRUE(resumed.front().key());
}

TEST_F(PlaybackTest, PlaybackMovesOverGapsAndEndsWithANotice) {
  auto v = playing();
  MessageEnvelope reply;
  ASSERT_TRUE(v->request(7, {{"posTime", "2024-05-01 00:59:56"}}, reply));
  v->collect(1);  // pictures from before the seek
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(v->request(5, {}, reply));
  ASSERT_EQ(reply.param("speed"), "16");
  const auto jumped = only(v->collectUntil(
                               [](const std::vector<Media>& f) {
                                 const auto r = only(f, 'R');
                                 return !r.empty() && r.back().recordTime() == "2024-05-01 02:00";
                               },
                               4000),
                           'R');
  ASSERT_FALSE(jumped.empty());
  EXPECT_EQ(jumped.front().recordTime(), "2024-05-01 00:59");
  EXPECT_EQ(jumped.back().recordTime(), "2024-05-01 02:00") << "the gap from 01:00 to 02:00 is skipped";

  ASSERT_TRUE(v->request(7, {{"posTime", "2024-05-03 23:59:50"}}, reply));
  MessageEnvelope notice;
  ASSERT_TRUE(v->waitCommand(15, notice, 4000));
  EXPECT_EQ(notice.param("status"), "0");
  EXPECT_EQ(notice.param("errorMsg"), "回放结束");
  v->collect(200);
  EXPECT_TRUE(v->silentFor(800));
  // A seek after the end plays again.
  ASSERT_TRUE(v->request(7, {{"posTime", "2024-05-02 10:00:00"}}, reply));
  EXPECT_FALSE(only(v->collect(800), 'R').empty());
}

TEST_F(PlaybackTest, LiveAndPlaybackLinksRefuseEachOthersCommands) {
  auto playback = playing();
  MessageEnvelope reply;
  ASSERT_TRUE(playback->request(10, {}, reply));
  EXPECT_EQ(reply.param("errorMsg"), "回放连接不支持该命令");
  ASSERT_TRUE(playback->request(17, {}, reply));
  EXPECT_EQ(reply.param("status"), "1") << "capabilities are answered on both";

  RelayViewer live(sim().relay().host, sim().relay().port);
  ASSERT_EQ(live.loginStatus("rec-cam-01"), "1");
  ASSERT_TRUE(live.request(4, {{"type", "0"}, {"startTime", "2024-05-01 00:00:00"}, {"stopTime", "2024-05-01 23:59:59"}},
                           reply));
  EXPECT_EQ(reply.param("errorMsg"), "不是回放连接");
}

}  // namespace
