#include "sim/Simulator.h"

#include <json/json.h>

#include <cstdio>
#include <future>
#include <stdexcept>

#include "sim/ControlServer.h"
#include "sim/LogicServer.h"
#include "sim/MediaLibrary.h"
#include "sim/RelayServer.h"

namespace sim {

Simulator::Simulator(const SimConfig& config, int encoderThreads)
    : config_(config),
      keepRunning_(std::make_unique<boost::asio::io_service::work>(service_)),
      world_(std::make_shared<World>(config)),
      buffers_(ClientBufferPool::create()),
      library_(std::make_shared<MediaLibrary>(encoderThreads)) {
  buffers_->init();
  // The dispatcher hands out the logic server's address as it listens now.
  auto logicServer = std::make_shared<std::weak_ptr<LogicServer>>();
  logic_ = std::make_shared<LogicService>(world_, [logicServer] {
    const auto server = logicServer->lock();
    return server ? LogicAddress{server->host(), server->port()} : LogicAddress{};
  });
  dispatcher_ = std::make_shared<LogicServer>(service_, LogicServer::Role::Dispatcher, config.host,
                                              config.dispatcherPort, logic_, buffers_);
  logicServer_ = std::make_shared<LogicServer>(service_, LogicServer::Role::Logic, config.host, config.logicPort,
                                               logic_, buffers_);
  *logicServer = logicServer_;
  world_->addObserver(logicServer_);
  for (const RelayRecord& r : config.relays) {
    auto relay = std::make_shared<RelayServer>(service_, r.name, config.host, r.port, world_, library_, buffers_);
    world_->addObserver(relay);
    relays_.push_back(relay);
  }
  control_ = std::make_shared<ControlServer>(service_, config.host, config.controlPort, *this);
}

Simulator::~Simulator() {
  stop();
  // Streams and links hold buffers; close the pools once they are gone.
  relays_.clear();
  buffers_->release();
}

void Simulator::start() {
  dispatcher_->start();
  logicServer_->start();
  for (auto& relay : relays_) relay->start();
  control_->start();
  listeners_.clear();
  listeners_.push_back({"dispatcher", "dispatcher", config_.host, dispatcher_->port()});
  listeners_.push_back({"logic", "logic", config_.host, logicServer_->port()});
  for (auto& relay : relays_) listeners_.push_back({"relay", relay->name(), config_.host, relay->port()});
  listeners_.push_back({"control", "control", config_.host, control_->port()});
}

std::vector<ListenerInfo> Simulator::listeners() const { return listeners_; }

const ListenerInfo& Simulator::listener(const std::string& name) const {
  for (const ListenerInfo& l : listeners_)
    if (l.name == name) return l;
  throw std::out_of_range("no listener " + name);
}

void Simulator::run() {
  // A handler that throws must not end the whole platform.
  while (true) {
    try {
      service_.run();
      return;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "platform-sim: %s\n", e.what());
    }
  }
}

void Simulator::runInBackground() {
  background_ = std::thread([this] { run(); });
}

void Simulator::closeAll() {
  closeServers(dispatcher_, logicServer_, relays_, control_);
}

void Simulator::closeServers(const std::shared_ptr<LogicServer>& dispatcher, const std::shared_ptr<LogicServer>& logic,
                             const std::vector<std::shared_ptr<RelayServer>>& relays,
                             const std::shared_ptr<ControlServer>& control) {
  dispatcher->stop();
  logic->stop();
  for (const auto& relay : relays) relay->stop();
  control->stop();
}

void Simulator::stop() {
  if (stopped_.exchange(true)) return;
  const bool onIoThread = service_.get_executor().running_in_this_thread();
  if (background_.joinable() && !onIoThread) {
    // The servers belong to the io thread: close them there.
    std::promise<void> closed;
    auto done = closed.get_future();
    service_.post([dispatcher = dispatcher_, logic = logicServer_, relays = relays_, control = control_, &closed] {
      closeServers(dispatcher, logic, relays, control);
      closed.set_value();
    });
    done.wait();
  } else {
    closeAll();
  }
  keepRunning_.reset();
  service_.stop();
  if (background_.joinable() && !onIoThread) background_.join();
}

std::shared_ptr<RelayServer> Simulator::relay(const std::string& name) const {
  for (const auto& r : relays_)
    if (r->name() == name) return r;
  return nullptr;
}

ServerStats* Simulator::stats(const std::string& server) {
  if (server == "dispatcher") return dispatcher_->stats().get();
  if (server == "logic") return logicServer_->stats().get();
  if (auto r = relay(server)) return r->stats().get();
  return nullptr;
}

bool Simulator::isRelay(const std::string& server) const { return relay(server) != nullptr; }

std::vector<std::string> Simulator::servers() const {
  std::vector<std::string> names{"dispatcher", "logic"};
  for (const auto& r : relays_) names.push_back(r->name());
  return names;
}

int Simulator::dropLinks(const std::string& server) {
  if (server == "dispatcher") return dispatcher_->dropLinks();
  if (server == "logic") return logicServer_->dropLinks();
  if (auto r = relay(server)) return r->dropLinks();
  return 0;
}

bool Simulator::stopServer(const std::string& server, std::string& error) {
  if (server == "dispatcher") dispatcher_->stop();
  else if (server == "logic") logicServer_->stop();
  else if (auto r = relay(server)) r->stop();
  else {
    error = "no server " + server;
    return false;
  }
  return true;
}

bool Simulator::startServer(const std::string& server, std::string& error) {
  try {
    if (server == "dispatcher") dispatcher_->start();
    else if (server == "logic") logicServer_->start();
    else if (auto r = relay(server)) r->start();
    else {
      error = "no server " + server;
      return false;
    }
  } catch (const std::exception& e) {
    error = std::string("cannot listen: ") + e.what();
    return false;
  }
  return true;
}

int Simulator::relayNotice(const std::string& cameraId, const std::string& status, const std::string& text) {
  int sent = 0;
  for (auto& r : relays_) sent += r->notice(cameraId, status, text);
  return sent;
}

int Simulator::sendMessage(const std::string& server, int msgType, const Params& params) {
  if (server == "dispatcher") return dispatcher_->broadcast(msgType, params);
  if (server == "logic") return logicServer_->broadcast(msgType, params);
  if (auto r = relay(server)) return r->broadcast(msgType, params);
  return 0;
}

std::string Simulator::cameraState(const std::string& cameraId) {
  for (auto& r : relays_) {
    std::string state = r->cameraState(cameraId);
    if (!state.empty()) return state;
  }
  return {};
}

std::string Simulator::statsJson() {
  Json::Value out(Json::objectValue);
  Json::CharReaderBuilder reader;
  auto add = [&](const std::string& name, const ServerStats& s, bool listening) {
    Json::Value value;
    std::string errors;
    const std::string text = s.json();
    std::unique_ptr<Json::CharReader> parser(reader.newCharReader());
    parser->parse(text.data(), text.data() + text.size(), &value, &errors);
    value["listening"] = listening;
    out[name] = value;
  };
  add("dispatcher", *dispatcher_->stats(), dispatcher_->listening());
  add("logic", *logicServer_->stats(), logicServer_->listening());
  for (auto& r : relays_) add(r->name(), *r->stats(), r->listening());
  out["videoLoopsCoded"] = library_->videoLoopsCoded();
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "";
  writer["emitUTF8"] = true;
  return Json::writeString(writer, out);
}

}  // namespace sim
