#include "fuzz/sim/SimFuzzEntries.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "common/Md5.h"
#include "common/Split.h"
#include "sim/ControlService.h"
#include "sim/LogicService.h"
#include "sim/MediaFrame.h"
#include "sim/RecordingIndex.h"

namespace sim_fuzz {
namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

const char* const kCatalogue = R"({
  "users": [{"name": "u", "password": "p", "userId": "u1"}, {"name": "v", "password": "q", "nodes": ["n2"]}],
  "nodes": [
    {"id": "n1", "type": 9, "cameras": [{"id": "c1", "recordings": [{"day": "2024-05-01", "segments": [[0, 60]]}]},
                                         {"id": "c2", "online": false}]},
    {"id": "n2", "online": false, "ehomeId": "E1", "cameras": [{"id": "c3"}]}
  ]})";

const sim::SimConfig& config() {
  static const sim::SimConfig cfg = sim::SimConfig::parse(kCatalogue);
  return cfg;
}

// A control target with a real catalogue and no servers behind it.
class Target : public sim::SimulatorControl {
 public:
  explicit Target(const sim::SimConfig& cfg) : world_(cfg) {}
  sim::World& world() override { return world_; }
  sim::ServerStats* stats(const std::string& s) override { return s == "logic" || s == "relay1" ? &stats_ : nullptr; }
  bool isRelay(const std::string& s) const override { return s == "relay1"; }
  std::vector<std::string> servers() const override { return {"logic", "relay1"}; }
  int dropLinks(const std::string&) override { return 0; }
  bool stopServer(const std::string&, std::string&) override { return true; }
  bool startServer(const std::string&, std::string&) override { return true; }
  int relayNotice(const std::string&, const std::string&, const std::string&) override { return 0; }
  int sendMessage(const std::string&, int, const sim::Params&) override { return 0; }
  std::string cameraState(const std::string& id) override { return world_.camera(id) ? "{}" : ""; }
  std::string statsJson() override { return stats_.json(); }

 private:
  sim::World world_;
  sim::ServerStats stats_;
};

void mediaBody(const std::uint8_t* data, std::size_t size) {
  sim::ReceivedMedia media;
  if (!sim::parseMediaBody(data, size, media)) return;
  const bool video = media.tag == sim::kTagLiveVideo || media.tag == sim::kTagPlaybackVideo;
  check(video || media.tag == sim::kTagLiveAudio || media.tag == sim::kTagPlaybackAudio);
  const std::size_t header = video ? 25 : 21;
  check(media.size == (media.words[2] & 0x1FFFFFF) && media.size > 0);
  check(header + media.size == size && media.payload == data + header);
}

void controlLines(const std::uint8_t* data, std::size_t size) {
  Target target(config());
  sim::ControlService control(target);
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const std::string& line : mc::splitText(text, '\n', false)) {
    const std::string answer = control.execute(line.substr(0, 512));
    check(answer == "ok" || answer.rfind("ok ", 0) == 0 || answer.rfind("error ", 0) == 0);
  }
}

// Every list answer of the user's catalogue is a set of parallel lists.
void checkCatalogue(sim::LogicService& logic, sim::LogicSession& session) {
  const sim::Params nodes = logic.handle(session, 3, {{"userId", session.userId}});
  check(nodes.at("status") == "1");
  const std::size_t count = mc::splitText(nodes.at("nodeIdList"), ';', false).size();
  for (const char* list : {"nodeNameList", "cameraCountList", "cameraVersionList", "nodeTypeList"})
    check(mc::splitText(nodes.at(list), ';', false).size() == count);
  for (const std::string& node : mc::splitText(nodes.at("nodeIdList"), ';', true)) {
    const sim::Params cameras = logic.handle(session, 5, {{"nodeId", node}});
    check(cameras.at("status") == "1");
    const std::size_t n = mc::splitText(cameras.at("cameraIdList"), ';', false).size();
    for (const char* list : {"cameraNameList", "transpondIPList", "transpondPortList", "expiredList",
                             "cameraLongitudeList", "cameraLatitudeList", "cameraIndexList", "transRtmpPortList"})
      check(mc::splitText(cameras.at(list), ';', false).size() == n);
  }
}

void logicRequests(const std::uint8_t* data, std::size_t size) {
  static const std::int32_t kKinds[] = {1, 2, 3, 4, 5, 16, 20, 22, 27, 45, 46, 47, 63, 64, 65, 98, 99, 77};
  static const char* const kNames[] = {
      "userName", "password", "oemId", "userId", "nodeId", "cameraId", "mac", "nodeName", "cameraNameList",
      "cameraIndexList", "cameraLongitude", "cameraLatitude", "type", "nodeType", "cameraNum", "longitude",
      "latitude", "cameraName", "cameraIndex", "sonId", "cameraList", "msgType", "msgId", "nodeIdList",
      "cameraIdList"};
  auto world = std::make_shared<sim::World>(config());
  sim::LogicService logic(world, [] { return sim::LogicAddress{"127.0.0.1", 1}; });
  sim::LogicSession session;
  std::size_t at = 0;
  if (size > 0 && (data[at++] & 1)) {
    check(logic.handle(session, 2, {{"userName", "u"}, {"password", mc::md5Upper("p")}}).at("status") == "1");
  }
  while (at + 2 <= size) {
    const std::int32_t kind = kKinds[data[at] % std::size(kKinds)];
    const int params = data[at + 1] % 8;
    at += 2;
    sim::Params request;
    for (int i = 0; i < params && at + 2 <= size; ++i) {
      const char* name = kNames[data[at] % std::size(kNames)];
      const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
      request[name] = std::string(reinterpret_cast<const char*>(data + at + 2), length);
      at += 2 + length;
    }
    const sim::Params reply = logic.handle(session, kind, request);
    const auto status = reply.find("status");
    check(status != reply.end() && (status->second == "1" || status->second == "0"));
    if (status->second == "0") check(!reply.at("errorMsg").empty());
    if (session.loggedIn()) checkCatalogue(logic, session);
  }
}

std::string dateTime(const std::uint8_t* p) {
  char text[32];
  std::snprintf(text, sizeof text, "2024-05-%02d %02d:%02d:%02d", 1 + p[0] % 4, p[1] % 25, p[2] % 61, p[3] % 61);
  return text;
}

void recordings(const std::uint8_t* data, std::size_t size) {
  std::vector<sim::RecordingDay> days;
  std::size_t at = 0;
  const int dayCount = size > 0 ? data[at++] % 4 : 0;
  for (int d = 0; d < dayCount && at < size; ++d) {
    sim::RecordingDay day;
    day.day = "2024-05-0" + std::to_string(1 + d);
    const int segments = data[at++] % 5;
    for (int s = 0; s < segments && at + 4 <= size; ++s, at += 4) {
      const int start = (data[at] | data[at + 1] << 8) % 1440;
      const int end = start + 1 + (data[at + 2] | (data[at + 3] & 0x7F) << 8) % (1440 - start);
      day.segments.push_back({start, end, data[at + 3] >> 7});
    }
    days.push_back(day);
  }
  const sim::RecordingIndex index(days);
  while (at + 9 <= size) {
    std::string data1, time1, error;
    const std::string start = dateTime(data + at), stop = dateTime(data + at + 4);
    if (index.search(data[at + 8] & 1 ? "1" : "0", start, stop, data1, time1, error)) {
      check(mc::splitText(data1, ';', false).size() == mc::splitText(time1, ';', false).size());
      for (const std::string& stretches : mc::splitText(time1, ';', false))
        for (const std::string& s : mc::splitText(stretches, '|', false)) {
          const auto parts = mc::splitText(s, '-', false);
          check(parts.size() == 2 && std::atoi(parts[0].c_str()) < std::atoi(parts[1].c_str()));
        }
    } else {
      check(!error.empty());
    }
    std::string day;
    int second = 0;
    sim::RecordingMoment m;
    if (sim::parseDateTime(start, day, second) && index.firstAtOrAfter(day, second, m)) {
      const sim::RecordingMoment before = m;
      index.advance(m, data[at + 8] * 7.5);
      check(m.day > before.day || (m.day == before.day && m.second >= before.second));
      check(m.second >= 0 && m.second <= 86400);
      check(index.text(m).size() == 19);
    }
    at += 9;
  }
}

}  // namespace

int serverInputEntry(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t* rest = data + 1;
  const std::size_t n = size - 1;
  switch (data[0] % 4) {
    case 0: mediaBody(rest, n); break;
    case 1: controlLines(rest, n); break;
    case 2: logicRequests(rest, n); break;
    case 3: recordings(rest, n); break;
  }
  return 0;
}

}  // namespace sim_fuzz
