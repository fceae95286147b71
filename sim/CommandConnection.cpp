#include "sim/CommandConnection.h"

#include <boost/asio/steady_timer.hpp>

#include "link/Payload.h"
#include "sim/Command.h"

namespace sim {

CommandConnection::CommandConnection(boost::asio::ip::tcp::socket socket, std::shared_ptr<ClientBufferPool> buffers,
                                     std::shared_ptr<ServerStats> stats)
    : FramedConnection(std::move(socket), buffers), buffers_(std::move(buffers)), stats_(std::move(stats)) {}

void CommandConnection::refuse() {
  stats_->refusedGarbage();
  close();
}

void CommandConnection::onBadLength(std::int32_t) { stats_->refusedGarbage(); }

void CommandConnection::onFrame(const BufferPtr& body) {
  const std::uint8_t kind = body->size() > 0 ? body->data()[0] : 0;
  if (kind == 'V') {
    if (!onMedia(body)) refuse();
    return;
  }
  MessageEnvelope command;
  if (kind != '1' || !parsePayload(*body, command)) {
    refuse();
    return;
  }
  if (command.clientType != 2) {  // another kind of client: not for us
    stats_->ignoredForeign();
    return;
  }
  if (const auto it = lastTimeSep_.find(command.msgType); it != lastTimeSep_.end())
    previousTimeSep_[command.msgType] = it->second;
  lastTimeSep_[command.msgType] = command.TimeSep;
  stats_->request({command.msgType, command.TimeSep, command.params});
  onCommand(command);
}

void CommandConnection::reply(std::int32_t msgType, std::int32_t timeSep, const Params& params) {
  const Fault fault = stats_->fault(msgType);
  if (fault.mode == Fault::Mode::Withhold) return;
  if (fault.mode == Fault::Mode::Mistime) {
    const auto it = previousTimeSep_.find(msgType);
    timeSep = it != previousTimeSep_.end() && it->second != timeSep ? it->second : timeSep - 1000;
  }
  Params answer = params;
  for (const auto& [name, value] : fault.overrides) answer[name] = value;
  auto frame = commandFrame(*buffers_, msgType, timeSep, answer);
  if (!frame) return;
  if (fault.mode == Fault::Mode::Delay && fault.delayMs > 0) {
    auto timer = std::make_shared<boost::asio::steady_timer>(service(), std::chrono::milliseconds(fault.delayMs));
    auto self = std::static_pointer_cast<CommandConnection>(shared_from_this());
    timer->async_wait([self, timer, frame](const boost::system::error_code& ec) {
      if (ec || !self->isOpen()) return;
      self->send(frame);
      self->stats_->answered();
    });
    return;
  }
  send(frame);
  stats_->answered();
}

void CommandConnection::notify(std::int32_t msgType, const Params& params) {
  if (auto frame = commandFrame(*buffers_, msgType, 0, params)) send(frame);
}

}  // namespace sim
