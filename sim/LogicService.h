#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "sim/World.h"

namespace sim {

using Params = std::map<std::string, std::string>;

// Who is logged in on one logic-server link.
struct LogicSession {
  std::string userId;
  std::string userName;
  bool loggedIn() const { return !userId.empty(); }
};

// Where clients are sent by the dispatcher.
struct LogicAddress {
  std::string host;
  int port = 0;
};

// The logic server's (and the dispatcher's) answers: one request kind and its
// params in, the reply params out. Every reply carries "status" ("1" for
// success) and, on refusal, an "errorMsg" a user can read.
class LogicService {
 public:
  LogicService(std::shared_ptr<World> world, std::function<LogicAddress()> logicAddress);

  // Requests of a logic-server link. Kinds other than 1 and 2 need a login.
  Params handle(LogicSession& session, int msgType, const Params& request);
  // Requests of a dispatcher link: kind 1 only.
  Params handleDispatcher(int msgType, const Params& request);

 private:
  Params queryLogicServer(const Params& request);
  Params login(LogicSession& session, const Params& request);
  Params nodeList(const LogicSession& session, const Params& request);
  Params onlineState(const LogicSession& session, const Params& request);
  Params cameraList(const LogicSession& session, const Params& request);
  Params catalogueVersion(const LogicSession& session, const Params& request);
  Params playback(const LogicSession& session, const Params& request);
  Params registerIpc(const LogicSession& session, const Params& request);
  Params registerNvr(const LogicSession& session, const Params& request);
  Params registerOther(const LogicSession& session, const Params& request);
  Params registerEhome(const LogicSession& session, const Params& request);
  Params addCamera(const LogicSession& session, const Params& request);
  Params renameNode(const LogicSession& session, const Params& request);
  Params updateCamera(const LogicSession& session, const Params& request);
  Params deleteCamera(const LogicSession& session, const Params& request);
  Params deleteNode(const LogicSession& session, const Params& request);
  Params ehomeParams(const LogicSession& session, const Params& request);

  std::shared_ptr<World> world_;
  std::function<LogicAddress()> logicAddress_;
};

}  // namespace sim
