#include "sim/LogicServer.h"

#include "sim/CommandConnection.h"

namespace sim {

// One client of the dispatcher or the logic server.
class LogicConnection : public CommandConnection {
 public:
  LogicConnection(boost::asio::ip::tcp::socket socket, std::shared_ptr<ClientBufferPool> buffers,
                  std::shared_ptr<ServerStats> stats, std::weak_ptr<LogicServer> server, std::uint64_t id)
      : CommandConnection(std::move(socket), std::move(buffers), std::move(stats)), server_(std::move(server)), id_(id) {}

  const LogicSession& session() const { return session_; }

 protected:
  void onCommand(const MessageEnvelope& command) override {
    auto server = server_.lock();
    if (!server) return;
    const Params answer = server->role_ == LogicServer::Role::Dispatcher
                              ? server->logic_->handleDispatcher(command.msgType, command.params)
                              : server->logic_->handle(session_, command.msgType, command.params);
    reply(command.msgType, command.TimeSep, answer);
  }

  void onClosed() override {
    stats().disconnected();
    if (auto server = server_.lock()) server->forget(id_);
  }

 private:
  std::weak_ptr<LogicServer> server_;
  const std::uint64_t id_;
  LogicSession session_;
};

LogicServer::LogicServer(boost::asio::io_service& service, Role role, std::string host, int port,
                         std::shared_ptr<LogicService> logic, std::shared_ptr<ClientBufferPool> buffers)
    : service_(service),
      role_(role),
      host_(std::move(host)),
      logic_(std::move(logic)),
      buffers_(std::move(buffers)),
      stats_(std::make_shared<ServerStats>()),
      configuredPort_(port) {}

LogicServer::~LogicServer() = default;

void LogicServer::start() {
  if (!listener_) {
    std::weak_ptr<LogicServer> weak = weak_from_this();
    listener_ = std::make_shared<TcpListener>(service_, host_, configuredPort_, [weak](boost::asio::ip::tcp::socket s) {
      if (auto self = weak.lock()) self->accept(std::move(s));
    });
  }
  listener_->listen();
}

void LogicServer::stop() {
  if (listener_) listener_->stop();
  dropLinks();
}

int LogicServer::dropLinks() {
  auto links = links_;  // closing removes them from links_
  for (auto& [id, link] : links) link->close();
  return static_cast<int>(links.size());
}

int LogicServer::broadcast(std::int32_t msgType, const Params& params) {
  for (auto& [id, link] : links_) link->notify(msgType, params);
  return static_cast<int>(links_.size());
}

int LogicServer::port() const { return listener_ ? listener_->port() : configuredPort_; }
bool LogicServer::listening() const { return listener_ && listener_->listening(); }

void LogicServer::accept(boost::asio::ip::tcp::socket socket) {
  const std::uint64_t id = ++nextId_;
  auto link = std::make_shared<LogicConnection>(std::move(socket), buffers_, stats_, weak_from_this(), id);
  links_[id] = link;
  stats_->connected();
  link->start();
}

void LogicServer::forget(std::uint64_t id) { links_.erase(id); }

void LogicServer::onNodeActive(const std::string& nodeId, bool active, const std::vector<std::string>& userIds) {
  push(14, "nodeId", nodeId, active, userIds);
}

void LogicServer::onCameraActive(const std::string& cameraId, bool active, const std::vector<std::string>& userIds) {
  push(15, "cameraId", cameraId, active, userIds);
}

void LogicServer::push(std::int32_t msgType, const char* idName, const std::string& id, bool active,
                       const std::vector<std::string>& userIds) {
  if (role_ != Role::Logic) return;
  std::weak_ptr<LogicServer> weak = weak_from_this();
  Params notice{{idName, id}, {"active", active ? "1" : "0"}};
  // World changes may come from any thread; links live on the io thread.
  service_.post([weak, msgType, notice, userIds] {
    auto self = weak.lock();
    if (!self) return;
    for (auto& [linkId, link] : self->links_) {
      const std::string& user = link->session().userId;
      if (user.empty()) continue;
      for (const std::string& u : userIds)
        if (u == user) {
          link->notify(msgType, notice);
          break;
        }
    }
  });
}

}  // namespace sim
