#include "sim/RelayConnection.h"

#include <cstdio>

#include "common/Md5.h"
#include "common/Split.h"
#include "sim/RecordingIndex.h"
#include "sim/RelayServer.h"

namespace sim {
namespace {

Params status(const std::string& code, const std::string& error = {}) { return {{"status", code}, {"errorMsg", error}}; }

const char* flag(bool on) { return on ? "1" : "0"; }

std::string joinIds(const std::vector<NamedItem>& items, bool names) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) out += ';';
    out += names ? items[i].name : items[i].id;
  }
  return out;
}

std::string speedText(double speed) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", speed);
  return text;
}

// Kinds a relay answers; before a login they are refused, other kinds are dropped.
bool answered(std::int32_t kind) {
  switch (kind) {
    case 4: case 5: case 6: case 7: case 8: case 10: case 12: case 16: case 17: case 19: return true;
    default: return false;
  }
}

}  // namespace

RelayConnection::RelayConnection(boost::asio::ip::tcp::socket socket, std::shared_ptr<ClientBufferPool> buffers,
                                 std::shared_ptr<ServerStats> stats, std::weak_ptr<RelayServer> server,
                                 std::uint64_t id)
    : CommandConnection(std::move(socket), std::move(buffers), std::move(stats)),
      server_(std::move(server)),
      id_(id),
      loginTimer_(service()) {}

std::shared_ptr<RelayConnection> RelayConnection::self() {
  return std::static_pointer_cast<RelayConnection>(shared_from_this());
}

void RelayConnection::begin() {
  limitSendBuffer(kSendBufferBytes);
  start();
  loginTimer_.expires_from_now(std::chrono::seconds(kLoginLimitSeconds));
  auto me = self();
  loginTimer_.async_wait([me](const boost::system::error_code& ec) {
    if (!ec && me->mode_ == Mode::None) me->close();
  });
}

// ---------------------------------------------------------------- media out

bool RelayConnection::backlogged() const {
  return queuedBytes() > kMaxBacklogBytes || queuedFrames() > kMaxBacklogFrames;
}

void RelayConnection::sendVideo(const SharedBytes& frame, bool key) {
  if (!isOpen()) return;
  if ((needKey_ && !key) || backlogged()) {
    ++dropped_;
    needKey_ = true;
    return;
  }
  needKey_ = false;
  send(frame);
}

void RelayConnection::sendAudio(const SharedBytes& frame) {
  if (!isOpen() || needKey_ || backlogged()) return;
  send(frame);
}

// ---------------------------------------------------------------- commands

void RelayConnection::onCommand(const MessageEnvelope& command) {
  auto server = server_.lock();
  if (!server) return;
  if (command.msgType == 1) {
    login(command, *server);
    return;
  }
  if (mode_ == Mode::None) {
    if (answered(command.msgType)) reply(command.msgType, command.TimeSep, status("0", "请先登录"));
    return;
  }
  if (mode_ == Mode::Playback) playbackCommand(command);
  else liveCommand(command, *server);
}

void RelayConnection::login(const MessageEnvelope& command, RelayServer& server) {
  const std::string id = command.param("SxtId");
  const std::string pwd = command.param("PWD");
  auto refuse = [&](const std::string& text) { reply(1, command.TimeSep, status("0", text)); };
  if (id.empty()) return refuse("缺少参数：SxtId");
  const std::string tail = id.size() > 5 ? id.substr(id.size() - 5) : id;
  if (pwd != mc::md5Upper(tail)) return refuse("密码错误");
  const RelayLogin resolved = server.world().resolveRelayLogin(server.name(), id);
  if (!resolved.error.empty()) return refuse(resolved.error);
  const auto camera = server.world().camera(resolved.cameraId);
  if (!camera) return refuse("设备不存在");

  detach();
  cameraId_ = resolved.cameraId;
  reply(1, command.TimeSep, status("1"));
  if (resolved.playback) {
    mode_ = Mode::Playback;
    auto me = self();
    std::weak_ptr<RelayConnection> weak = me;
    playback_ = std::make_shared<PlaybackStream>(
        server.service(), server.library(), *camera, std::weak_ptr<MediaSink>(me),
        [weak](const std::string& code, const std::string& text) {
          if (auto link = weak.lock()) link->notify(15, status(code, text));
        });
    playback_->start();
  } else {
    mode_ = Mode::Live;
    needKey_ = true;
    server.liveStream(*camera)->add(self());
  }
}

void RelayConnection::capabilities(const MessageEnvelope& command, RelayServer& server) {
  const auto camera = server.world().camera(cameraId_);
  if (!camera) {
    reply(17, command.TimeSep, status("0", "设备不存在"));
    return;
  }
  Params answer = status("1");
  answer["EnableQP"] = flag(camera->caps.qp);
  answer["PTZ"] = flag(camera->caps.ptz);
  answer["Audio"] = flag(camera->caps.audio);
  answer["AudioType"] = camera->audio.codec == AudioCodec::G711a ? "2" : camera->audio.codec == AudioCodec::Aac ? "1" : "0";
  answer["Speak"] = flag(camera->caps.speak);
  answer["SetTime"] = flag(camera->caps.setTime);
  answer["ViedoQP"] = std::to_string(camera->quality);
  reply(17, command.TimeSep, answer);
}

void RelayConnection::liveCommand(const MessageEnvelope& command, RelayServer& server) {
  const auto camera = server.world().camera(cameraId_);
  CameraDevice& device = server.device(cameraId_);
  const std::int32_t kind = command.msgType;
  const std::int32_t stamp = command.TimeSep;
  if (!camera) {
    if (answered(kind)) reply(kind, stamp, status("0", "设备不存在"));
    return;
  }
  switch (kind) {
    case 17: capabilities(command, server); return;
    case 16: {
      Params answer;
      int level = 0;
      const std::string text = command.param("ViedoQP");
      const bool valid = text.size() == 1 && text[0] >= '1' && text[0] <= '5';
      if (!camera->caps.qp) answer = status("0", "设备不支持画质调节");
      else if (!valid) answer = status("0", "画质等级应为1到5");
      else {
        level = text[0] - '0';
        server.world().setCameraQuality(cameraId_, level);
        if (auto stream = server.findLiveStream(cameraId_)) stream->setPicture(device.ptz, level);
        answer = status("1");
      }
      answer["ViedoQP"] = std::to_string(level ? level : camera->quality);
      reply(16, stamp, answer);
      return;
    }
    case 9: {
      const std::string text = command.param("PTZCommand");
      int code = 0;
      for (char c : text) code = (c >= '0' && c <= '9' && code < 1000) ? code * 10 + (c - '0') : 1000;
      if (!camera->caps.ptz || text.empty() || !applyPtzCode(code, device.ptz)) {
        ++device.refusedCommands;
        return;
      }
      ++device.ptzCommands;
      if (auto stream = server.findLiveStream(cameraId_)) stream->setPicture(device.ptz, camera->quality);
      return;
    }
    case 10: {
      if (!camera->caps.ptz) return reply(10, stamp, status("0", "设备不支持云台"));
      Params answer = status("1");
      answer["presetIdList"] = joinIds(camera->presets, false);
      answer["presetNameList"] = joinIds(camera->presets, true);
      return reply(10, stamp, answer);
    }
    case 12: {
      if (!camera->caps.ptz) return reply(12, stamp, status("0", "设备不支持云台"));
      Params answer = status("1");
      answer["cruiseIdList"] = joinIds(camera->cruises, false);
      answer["cruiseNameList"] = joinIds(camera->cruises, true);
      answer["presetIdList"] = joinIds(camera->presets, false);
      answer["presetNameList"] = joinIds(camera->presets, true);
      return reply(12, stamp, answer);
    }
    case 13:
    case 14: {
      const std::string id = command.param("cruiseId");
      bool known = false;
      for (const NamedItem& c : camera->cruises) known = known || c.id == id;
      if (!camera->caps.ptz || !known) {
        ++device.refusedCommands;
        return;
      }
      if (kind == 13) device.cruise = id;
      else if (device.cruise == id) device.cruise.clear();
      return;
    }
    case 18: {
      std::string day;
      int second = 0;
      if (!camera->caps.setTime || !parseDateTime(command.param("Time"), day, second)) {
        ++device.refusedCommands;
        return;
      }
      device.clock = command.param("Time");
      return;
    }
    case 19: {
      Params answer;
      if (!camera->caps.speak) answer = status("-1", "设备不支持对讲");
      else if (device.talkHolder != 0 && device.talkHolder != id_) answer = status("2", "设备正在对讲");
      else {
        if (device.talkHolder != id_) {
          device.talkHolder = id_;
          device.talkIndex = server.nextTalkIndex();
        }
        answer = status("1");
        answer["Index"] = std::to_string(device.talkIndex);
      }
      return reply(19, stamp, answer);
    }
    case 20:
      if (device.talkHolder == id_) device.talkHolder = 0;
      return;
    case 4: case 5: case 6: case 7: case 8:
      return reply(kind, stamp, status("0", "不是回放连接"));
    default:
      ++device.refusedCommands;
      return;
  }
}

void RelayConnection::playbackCommand(const MessageEnvelope& command) {
  const std::int32_t kind = command.msgType;
  const std::int32_t stamp = command.TimeSep;
  auto server = server_.lock();
  switch (kind) {
    case 4: {
      std::string data, time, error;
      Params answer = playback_->search(command.param("type"), command.param("startTime"), command.param("stopTime"),
                                        data, time, error)
                          ? status("1")
                          : status("0", error);
      answer["data"] = data;
      answer["time"] = time;
      return reply(4, stamp, answer);
    }
    case 5:
    case 6: {
      Params answer = status("1");
      answer["speed"] = speedText(kind == 5 ? playback_->faster() : playback_->slower());
      return reply(kind, stamp, answer);
    }
    case 7: {
      std::string error;
      return reply(7, stamp, playback_->seek(command.param("posTime"), error) ? status("1") : status("0", error));
    }
    case 8: {
      const std::string text = command.param("type");
      const int state = text == "0" ? 0 : text == "1" ? 1 : -1;
      Params answer;
      if (state < 0) {
        answer = status("0", "播放状态应为0或1");
        answer["type"] = playback_->paused() ? "0" : "1";
      } else {
        answer = status("1");
        answer["type"] = std::to_string(playback_->setState(state));
      }
      return reply(8, stamp, answer);
    }
    case 17:
      if (server) capabilities(command, *server);
      return;
    default:
      if (answered(kind)) reply(kind, stamp, status("0", "回放连接不支持该命令"));
      return;
  }
}

// ---------------------------------------------------------------- talk-back in

bool RelayConnection::onMedia(const BufferPtr& body) {
  ReceivedMedia media;
  if (!parseMediaBody(body->data(), static_cast<std::size_t>(body->size()), media) || media.tag != kTagLiveAudio)
    return false;
  auto server = server_.lock();
  if (!server || mode_ != Mode::Live) return true;
  CameraDevice& device = server->device(cameraId_);
  if (device.talkHolder != id_ || media.words[1] != static_cast<std::uint32_t>(device.talkIndex)) {
    ++device.talkRejected;
    return true;
  }
  ++device.talkFrames;
  device.talkBytes += media.size;
  device.talkFormat = media.words[3];
  return true;
}

// ---------------------------------------------------------------- life

void RelayConnection::cameraGone(const std::string& text) {
  if (mode_ == Mode::None) return;
  notify(15, status("0", text));
  if (mode_ == Mode::Live && !waiting_) {
    waiting_ = true;
    if (auto server = server_.lock()) server->leaveLiveStream(cameraId_, this);
  } else if (mode_ == Mode::Playback && playback_) {
    playback_->stop();
  }
}

void RelayConnection::cameraBack() {
  if (mode_ != Mode::Live || !waiting_) return;
  auto server = server_.lock();
  const auto camera = server ? server->world().camera(cameraId_) : std::nullopt;
  if (!camera) return;
  waiting_ = false;
  needKey_ = true;
  notify(15, status("1", "设备已上线"));
  server->liveStream(*camera)->add(self());
}

void RelayConnection::detach() {
  auto server = server_.lock();
  if (mode_ == Mode::Live && !waiting_ && server) server->leaveLiveStream(cameraId_, this);
  if (playback_) playback_->stop();
  playback_.reset();
  if (server && !cameraId_.empty()) {
    CameraDevice& device = server->device(cameraId_);
    if (device.talkHolder == id_) device.talkHolder = 0;
  }
  mode_ = Mode::None;
  waiting_ = false;
}

void RelayConnection::onClosed() {
  boost::system::error_code ignored;
  loginTimer_.cancel(ignored);
  detach();
  stats().disconnected();
  if (auto server = server_.lock()) server->forget(id_);
}

}  // namespace sim
