#pragma once
#include <map>
#include <memory>

#include "link/MessageEnvelope.h"
#include "sim/FramedConnection.h"
#include "sim/ServerStats.h"

namespace sim {

// A server link that speaks command envelopes: received commands are
// decoded with the project's envelope code and counted; replies go out as
// the server's faults say (on time, delayed, withheld, or with another
// TimeSep). A body that is not a well-formed command ends the link; media
// bodies ("V") go to `onMedia` where the server takes them.
class CommandConnection : public FramedConnection {
 public:
  CommandConnection(boost::asio::ip::tcp::socket socket, std::shared_ptr<ClientBufferPool> buffers,
                    std::shared_ptr<ServerStats> stats);

  // A reply to a request of `msgType` that carried `timeSep`.
  void reply(std::int32_t msgType, std::int32_t timeSep, const Params& params);
  // A message of the server's own (notices): never delayed or withheld.
  void notify(std::int32_t msgType, const Params& params);

 protected:
  virtual void onCommand(const MessageEnvelope& command) = 0;
  // False: not a media server, the body is garbage.
  virtual bool onMedia(const BufferPtr& body) {
    (void)body;
    return false;
  }
  void onFrame(const BufferPtr& body) final;
  void onBadLength(std::int32_t length) override;

  ServerStats& stats() { return *stats_; }
  ClientBufferPool& buffers() { return *buffers_; }

 private:
  void refuse();

  std::shared_ptr<ClientBufferPool> buffers_;
  std::shared_ptr<ServerStats> stats_;
  std::map<std::int32_t, std::int32_t> previousTimeSep_;  // per kind, the request before the current one
  std::map<std::int32_t, std::int32_t> lastTimeSep_;
};

}  // namespace sim
