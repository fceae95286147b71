#include "sim/SimConfig.h"

#include <json/json.h>

#include <ctime>
#include <fstream>
#include <set>
#include <sstream>

namespace sim {
namespace {

// A JSON value together with the path that leads to it, so every complaint
// names the member at fault.
class Node {
 public:
  Node(const Json::Value& value, std::string path) : value_(value), path_(std::move(path)) {}

  [[noreturn]] void fail(const std::string& what) const {
    throw ConfigError((path_.empty() ? std::string("configuration") : path_) + ": " + what);
  }

  bool has(const char* name) const { return value_.isObject() && value_.isMember(name); }
  Node operator[](const char* name) const {
    return Node(value_.isObject() ? value_[name] : Json::Value::nullSingleton(),
                path_.empty() ? name : path_ + "." + name);
  }
  const Json::Value& raw() const { return value_; }
  const std::string& path() const { return path_; }

  void requireObject() const {
    if (!value_.isObject()) fail("must be an object");
  }

  std::vector<Node> items() const {
    std::vector<Node> out;
    if (value_.isNull()) return out;
    if (!value_.isArray()) fail("must be an array");
    for (Json::ArrayIndex i = 0; i < value_.size(); ++i)
      out.emplace_back(value_[i], path_ + "[" + std::to_string(i) + "]");
    return out;
  }

  std::string text(const char* name, const std::string& fallback) const {
    const Node member = (*this)[name];
    const Json::Value& v = member.raw();
    if (v.isNull()) return fallback;
    if (v.isString()) return v.asString();
    if (v.isIntegral()) return std::to_string(v.asLargestInt());
    if (v.isDouble()) {
      std::ostringstream out;
      out.precision(10);
      out << v.asDouble();
      return out.str();
    }
    member.fail("must be a text or a number");
  }

  std::string requiredText(const char* name) const {
    if (!has(name)) (*this)[name].fail("is missing");
    const std::string value = text(name, "");
    if (value.empty()) (*this)[name].fail("must not be empty");
    return value;
  }

  int integer(const char* name, int fallback, int low, int high) const {
    const Node member = (*this)[name];
    const Json::Value& v = member.raw();
    if (v.isNull()) return fallback;
    if (!v.isIntegral()) member.fail("must be a whole number");
    const long long n = v.asLargestInt();
    if (n < low || n > high)
      member.fail("must be between " + std::to_string(low) + " and " + std::to_string(high));
    return static_cast<int>(n);
  }

  bool flag(const char* name, bool fallback) const {
    const Node member = (*this)[name];
    const Json::Value& v = member.raw();
    if (v.isNull()) return fallback;
    if (!v.isBool()) member.fail("must be true or false");
    return v.asBool();
  }

 private:
  const Json::Value& value_;
  std::string path_;
};

// Texts that travel in the ";"-separated catalogue lists cannot hold ";".
void listSafe(const Node& owner, const char* member, const std::string& value) {
  if (value.find(';') != std::string::npos) owner[member].fail("must not contain \";\" (the list separator)");
}

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool validDay(const std::string& day) {
  int y = 0, m = 0, d = 0;
  char tail = 0;
  if (day.size() != 10 || std::sscanf(day.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 2012 || y > 2075 || m < 1 || m > 12 || d < 1) return false;
  return d <= kDays[m - 1] + (m == 2 && isLeapYear(y) ? 1 : 0);
}

AudioSpec parseAudio(const Node& n, const AudioSpec& base) {
  AudioSpec a = base;
  if (n.raw().isNull()) return a;
  n.requireObject();
  const std::string codec = n.text("codec", a.codec == AudioCodec::Aac     ? "aac"
                                            : a.codec == AudioCodec::G711a ? "g711a"
                                                                           : "none");
  if (codec == "aac") a.codec = AudioCodec::Aac;
  else if (codec == "g711a") a.codec = AudioCodec::G711a;
  else if (codec == "none") a.codec = AudioCodec::None;
  else n["codec"].fail("must be \"aac\", \"g711a\" or \"none\"");
  a.sampleRate = n.integer("sampleRate", a.sampleRate, 8000, 48000);
  a.channels = n.integer("channels", a.channels, 1, 2);
  a.bitrateKbps = n.integer("bitrate", a.bitrateKbps, 8, 320);
  if (a.codec == AudioCodec::G711a) {
    // A-law is defined for 8 kHz mono only.
    if (n.has("sampleRate") && a.sampleRate != 8000) n["sampleRate"].fail("must be 8000 for g711a");
    if (n.has("channels") && a.channels != 1) n["channels"].fail("must be 1 for g711a");
    a.sampleRate = 8000;
    a.channels = 1;
  } else if (a.codec == AudioCodec::Aac) {
    static const std::set<int> kRates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    if (!kRates.count(a.sampleRate)) n["sampleRate"].fail("is not an AAC sample rate");
  }
  a.toneHz = n.integer("toneHz", a.toneHz, 20, 20000);
  if (a.codec != AudioCodec::None && a.toneHz * 2 >= a.sampleRate)
    n["toneHz"].fail("must be below half the sample rate");
  return a;
}

VideoSpec parseVideo(const Node& cam, const VideoSpec& base) {
  VideoSpec v = base;
  v.width = cam.integer("width", v.width, 16, 1920);
  v.height = cam.integer("height", v.height, 16, 1088);
  if (v.width % 2 || v.height % 2) cam["width"].fail("width and height must be even");
  v.fps = cam.integer("fps", v.fps, 1, 60);
  v.bitrateKbps = cam.integer("bitrate", v.bitrateKbps, 16, 20000);
  return v;
}

Capabilities parseCaps(const Node& n, const Capabilities& base) {
  Capabilities c = base;
  if (n.raw().isNull()) return c;
  n.requireObject();
  c.qp = n.flag("qp", c.qp);
  c.ptz = n.flag("ptz", c.ptz);
  c.audio = n.flag("audio", c.audio);
  c.speak = n.flag("speak", c.speak);
  c.setTime = n.flag("setTime", c.setTime);
  return c;
}

std::vector<NamedItem> parseNamed(const Node& list) {
  std::vector<NamedItem> out;
  for (const Node& item : list.items()) {
    item.requireObject();
    out.push_back({item.requiredText("id"), item.requiredText("name")});
  }
  return out;
}

std::vector<RecordingDay> parseRecordings(const Node& list) {
  std::vector<RecordingDay> out;
  std::set<std::string> seen;
  for (const Node& item : list.items()) {
    item.requireObject();
    RecordingDay day;
    const Node dayNode = item["day"];
    if (dayNode.raw().isIntegral()) {
      day.day = localDay(item.integer("day", 0, -3650, 3650));
    } else {
      day.day = item.requiredText("day");
      if (!validDay(day.day)) dayNode.fail("must be a date YYYY-MM-DD (2012 to 2075) or a day offset");
    }
    if (!seen.insert(day.day).second) dayNode.fail("day " + day.day + " is listed twice");
    for (const Node& seg : item["segments"].items()) {
      const Json::Value& s = seg.raw();
      if (!s.isArray() || s.size() < 2 || s.size() > 3) seg.fail("must be [start, end] or [start, end, type]");
      for (Json::ArrayIndex i = 0; i < s.size(); ++i)
        if (!s[i].isIntegral()) seg.fail("must hold whole numbers");
      Segment segment{s[0].asInt(), s[1].asInt(), s.size() == 3 ? s[2].asInt() : 0};
      if (segment.start < 0 || segment.end > 1440 || segment.start >= segment.end)
        seg.fail("needs 0 <= start < end <= 1440 (minutes of the day)");
      if (segment.type != 0 && segment.type != 1) seg.fail("type must be 0 or 1");
      day.segments.push_back(segment);
    }
    out.push_back(std::move(day));
  }
  return out;
}

struct CameraDefaults {
  VideoSpec video;
  AudioSpec audio;
  Capabilities caps;
};

CameraRecord parseCamera(const Node& cam, const CameraDefaults& defaults, int number, int indexInNode,
                         const std::string& firstRelay) {
  cam.requireObject();
  CameraRecord c;
  c.id = cam.requiredText("id");
  c.name = cam.text("name", c.id);
  c.number = cam.integer("number", number, 0, 9999);
  c.index = cam.text("index", std::to_string(indexInNode));
  c.relay = cam.text("relay", firstRelay);
  c.online = cam.flag("online", true);
  c.expires = cam.text("expires", "");
  if (!c.expires.empty() && !validDay(c.expires)) cam["expires"].fail("must be a date YYYY-MM-DD");
  c.longitude = cam.text("longitude", "");
  c.latitude = cam.text("latitude", "");
  c.video = parseVideo(cam, defaults.video);
  c.audio = parseAudio(cam["audio"], defaults.audio);
  c.caps = parseCaps(cam["capabilities"], defaults.caps);
  if (c.audio.codec == AudioCodec::None) c.caps.audio = false;
  else if (!cam["capabilities"].has("audio")) c.caps.audio = true;
  for (const auto& [member, value] : {std::pair<const char*, const std::string*>{"id", &c.id}, {"name", &c.name},
                                      {"index", &c.index}, {"longitude", &c.longitude}, {"latitude", &c.latitude}})
    listSafe(cam, member, *value);
  c.quality = cam.integer("quality", 3, 1, 5);
  c.presets = parseNamed(cam["presets"]);
  c.cruises = parseNamed(cam["cruises"]);
  c.recordings = parseRecordings(cam["recordings"]);
  return c;
}

}  // namespace

std::string localDay(int dayOffset) {
  std::time_t now = std::time(nullptr) + static_cast<std::time_t>(dayOffset) * 86400;
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

SimConfig SimConfig::parse(const std::string& jsonText) {
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  Json::Value root;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  if (!reader->parse(jsonText.data(), jsonText.data() + jsonText.size(), &root, &errors))
    throw ConfigError("configuration is not valid JSON: " + errors);
  const Node top(root, "");
  top.requireObject();

  SimConfig cfg;
  cfg.host = top.text("host", cfg.host);
  cfg.dispatcherPort = top["dispatcher"].integer("port", 0, 0, 65535);
  cfg.logicPort = top["logic"].integer("port", 0, 0, 65535);
  cfg.controlPort = top["control"].integer("port", 0, 0, 65535);
  cfg.ehomeServer.ip = top["ehome"].text("ip", cfg.ehomeServer.ip);
  cfg.ehomeServer.port = top["ehome"].text("port", cfg.ehomeServer.port);
  cfg.nvrChannels = top.integer("nvrChannels", cfg.nvrChannels, 1, 256);

  std::set<std::string> relayNames;
  for (const Node& r : top["relays"].items()) {
    r.requireObject();
    RelayRecord relay;
    relay.name = r.requiredText("name");
    relay.port = r.integer("port", 0, 0, 65535);
    relay.rtmpPort = r.integer("rtmpPort", 1935, 0, 65535);
    if (!relayNames.insert(relay.name).second) r["name"].fail("relay " + relay.name + " is listed twice");
    cfg.relays.push_back(relay);
  }
  if (cfg.relays.empty()) {
    cfg.relays.push_back({"relay1", 0, 1935});
    relayNames.insert("relay1");
  }
  for (const RelayRecord& r : cfg.relays)
    if (r.name == "dispatcher" || r.name == "logic" || r.name == "control")
      throw ConfigError("relays: \"" + r.name + "\" names another server");

  CameraDefaults defaults;
  const Node d = top["cameraDefaults"];
  if (!d.raw().isNull()) {
    d.requireObject();
    defaults.video = parseVideo(d, defaults.video);
    defaults.audio = parseAudio(d["audio"], defaults.audio);
    defaults.caps = parseCaps(d["capabilities"], defaults.caps);
  }
  cfg.cameraTemplate.video = defaults.video;
  cfg.cameraTemplate.audio = defaults.audio;
  cfg.cameraTemplate.caps = defaults.caps;
  cfg.cameraTemplate.caps.audio = defaults.audio.codec != AudioCodec::None;
  cfg.cameraTemplate.relay = cfg.relays.front().name;

  std::set<std::string> ids;
  int cameraNumber = 0;
  for (const Node& n : top["nodes"].items()) {
    n.requireObject();
    NodeRecord node;
    node.id = n.requiredText("id");
    if (!ids.insert(node.id).second) n["id"].fail("id " + node.id + " is used twice");
    node.name = n.text("name", node.id);
    node.type = n.integer("type", 1, 1, 99);
    if (node.type == 13) n["type"].fail("13 is the camera type code");
    node.online = n.flag("online", true);
    node.mac = n.text("mac", "");
    node.cameraVersion = n.text("cameraVersion", "1");
    listSafe(n, "id", node.id);
    listSafe(n, "name", node.name);
    listSafe(n, "cameraVersion", node.cameraVersion);
    node.channels = n.integer("channels", -1, -1, 256);
    if (n.has("ehomeId"))
      node.ehome = EhomeParams{cfg.ehomeServer.ip, cfg.ehomeServer.port, n.requiredText("ehomeId")};
    int indexInNode = 0;
    for (const Node& cam : n["cameras"].items()) {
      CameraRecord c = parseCamera(cam, defaults, ++cameraNumber, ++indexInNode, cfg.relays.front().name);
      if (!ids.insert(c.id).second) cam["id"].fail("id " + c.id + " is used twice");
      if (!relayNames.count(c.relay)) cam["relay"].fail("no relay named " + c.relay);
      node.cameras.push_back(c.id);
      cfg.cameras.push_back(std::move(c));
    }
    if (node.channels >= 0 && node.channels < static_cast<int>(node.cameras.size()))
      n["channels"].fail("is smaller than the number of cameras");
    cfg.nodes.push_back(std::move(node));
  }

  std::set<std::string> names, userIds;
  for (const Node& u : top["users"].items()) {
    u.requireObject();
    UserRecord user;
    user.name = u.requiredText("name");
    user.password = u.text("password", "");
    user.userId = u.text("userId", user.name);
    if (!names.insert(user.name).second) u["name"].fail("user " + user.name + " is listed twice");
    if (!userIds.insert(user.userId).second) u["userId"].fail("userId " + user.userId + " is used twice");
    user.oemId = u.text("oemId", "");
    user.permission = u.text("permission", user.permission);
    user.permissionName = u.text("permissionName", "");
    user.viewNewVersion = u.text("viewNewVersion", "");
    user.viewUpdateUrl = u.text("viewUpdateUrl", "");
    user.uploadUrl = u.text("uploadUrl", "");
    user.showMsg = u.text("showMsg", "");
    user.longitude = u.text("longitude", "");
    user.latitude = u.text("latitude", "");
    user.version = u.text("version", "1");
    if (u.has("nodes")) {
      for (const Node& id : u["nodes"].items()) {
        if (!id.raw().isString()) id.fail("must be a node id");
        const std::string nodeId = id.raw().asString();
        bool known = false;
        for (const NodeRecord& n : cfg.nodes) known = known || n.id == nodeId;
        if (!known) id.fail("no node with id " + nodeId);
        user.nodes.push_back(nodeId);
      }
    } else {
      for (const NodeRecord& n : cfg.nodes) user.nodes.push_back(n.id);
    }
    cfg.users.push_back(std::move(user));
  }
  return cfg;
}

SimConfig SimConfig::load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ConfigError("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return parse(text.str());
}

}  // namespace sim
