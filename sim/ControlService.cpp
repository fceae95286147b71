#include "sim/ControlService.h"

#include <json/json.h>

#include <memory>
#include <sstream>

namespace sim {
namespace {

constexpr const char* kHelp =
    "commands: stats | reset-stats | catalogue | camera ID | node-online ID 0|1 | camera-online ID 0|1 | "
    "drop SERVER | stop SERVER | start SERVER | delay SERVER KIND MS | withhold SERVER KIND | "
    "mistime SERVER KIND | override SERVER KIND PARAM [VALUE] | normal SERVER [KIND] | last SERVER KIND | "
    "send SERVER KIND [JSON] | notice CAMERA STATUS [TEXT] | help";

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

bool number(const std::string& text, long low, long high, long& value) {
  if (text.empty() || text.size() > 9) return false;
  std::size_t used = 0;
  try {
    value = std::stol(text, &used);
  } catch (const std::exception&) {
    return false;
  }
  return used == text.size() && value >= low && value <= high;
}

bool onOff(const std::string& text, bool& on) {
  if (text == "1" || text == "on") on = true;
  else if (text == "0" || text == "off") on = false;
  else return false;
  return true;
}

std::string error(const std::string& text) { return "error " + text; }

// A JSON object of params; values that are not texts are written as JSON.
bool paramsFrom(const std::string& text, Params& params, std::string& why) {
  if (text.empty()) return true;
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value value;
  if (!reader->parse(text.data(), text.data() + text.size(), &value, &why)) return false;
  if (!value.isObject()) {
    why = "params must be a JSON object";
    return false;
  }
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "";
  for (const std::string& name : value.getMemberNames())
    params[name] = value[name].isString() ? value[name].asString() : Json::writeString(writer, value[name]);
  return true;
}

// The text after the first `skip` words of `line`.
std::string rest(const std::string& line, int skip) {
  std::size_t at = 0;
  for (int i = 0; i < skip; ++i) {
    at = line.find_first_not_of(" \t", at);
    if (at == std::string::npos) return {};
    at = line.find_first_of(" \t", at);
    if (at == std::string::npos) return {};
  }
  at = line.find_first_not_of(" \t", at);
  return at == std::string::npos ? std::string() : line.substr(at);
}

}  // namespace

std::string ControlService::execute(const std::string& rawLine) {
  std::string line = rawLine;
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  const std::vector<std::string> w = words(line);
  if (w.empty()) return error("empty command");
  const std::string& cmd = w[0];
  auto argc = [&](std::size_t n) { return w.size() == n + 1; };

  if (cmd == "help") return "ok " + std::string(kHelp);
  if (cmd == "stats" && argc(0)) return "ok " + target_.statsJson();
  if (cmd == "catalogue" && argc(0)) return "ok " + target_.world().describe();
  if (cmd == "reset-stats" && argc(0)) {
    for (const std::string& name : target_.servers())
      if (ServerStats* s = target_.stats(name)) s->reset();
    return "ok";
  }
  if (cmd == "camera" && argc(1)) {
    const std::string state = target_.cameraState(w[1]);
    return state.empty() ? error("no camera " + w[1]) : "ok " + state;
  }
  if ((cmd == "node-online" || cmd == "camera-online") && argc(2)) {
    bool on = false;
    if (!onOff(w[2], on)) return error("state must be 0 or 1");
    const bool known = cmd == "node-online" ? target_.world().setNodeOnline(w[1], on)
                                            : target_.world().setCameraOnline(w[1], on);
    return known ? "ok" : error("no " + std::string(cmd == "node-online" ? "node " : "camera ") + w[1]);
  }
  if (cmd == "notice" && w.size() >= 3) {
    if (!target_.world().camera(w[1])) return error("no camera " + w[1]);
    return "ok " + std::to_string(target_.relayNotice(w[1], w[2], rest(line, 3)));
  }

  // Commands that name a server.
  if (w.size() < 2) return error("unknown command: " + line + " (try help)");
  ServerStats* stats = target_.stats(w[1]);
  const bool serverCommand = cmd == "drop" || cmd == "stop" || cmd == "start" || cmd == "delay" ||
                             cmd == "withhold" || cmd == "mistime" || cmd == "normal" || cmd == "last" ||
                             cmd == "override" || cmd == "send";
  if (!serverCommand) return error("unknown command: " + line + " (try help)");
  if (!stats) return error("no server " + w[1]);
  std::string why;
  if (cmd == "drop" && argc(1)) return "ok " + std::to_string(target_.dropLinks(w[1]));
  if (cmd == "stop" && argc(1)) return target_.stopServer(w[1], why) ? "ok" : error(why);
  if (cmd == "start" && argc(1)) return target_.startServer(w[1], why) ? "ok" : error(why);
  if (cmd == "normal" && argc(1)) {
    stats->clearFaults();
    return "ok";
  }
  long kind = 0;
  if (w.size() < 3 || !number(w[2], -1000000, 1000000, kind)) return error("KIND must be a message kind number");
  if (cmd == "normal" && argc(2)) {
    stats->clearFault(static_cast<int>(kind));
    return "ok";
  }
  if (cmd == "withhold" && argc(2)) {
    stats->setFault(static_cast<int>(kind), {Fault::Mode::Withhold, 0, {}});
    return "ok";
  }
  if (cmd == "mistime" && argc(2)) {
    if (!target_.isRelay(w[1])) return error("mistime applies to relays only");
    stats->setFault(static_cast<int>(kind), {Fault::Mode::Mistime, 0, {}});
    return "ok";
  }
  if (cmd == "delay" && argc(3)) {
    long ms = 0;
    if (!number(w[3], 0, 600000, ms)) return error("MS must be between 0 and 600000");
    stats->setFault(static_cast<int>(kind), {Fault::Mode::Delay, static_cast<int>(ms), {}});
    return "ok";
  }
  if (cmd == "send") {
    Params params;
    if (!paramsFrom(rest(line, 3), params, why)) return error("bad params: " + why);
    return "ok " + std::to_string(target_.sendMessage(w[1], static_cast<int>(kind), params));
  }
  if (cmd == "override" && (argc(3) || w.size() > 4)) {
    stats->setOverride(static_cast<int>(kind), w[3], rest(line, 4));
    return "ok";
  }
  if (cmd == "last" && argc(2)) {
    RequestRecord record;
    if (!stats->last(static_cast<int>(kind), record)) return error("no request of kind " + w[2]);
    return "ok {\"msgType\":" + std::to_string(record.msgType) + ",\"TimeSep\":" + std::to_string(record.timeSep) +
           ",\"params\":" + paramsJson(record.params) + "}";
  }
  return error("wrong arguments: " + line + " (try help)");
}

}  // namespace sim
