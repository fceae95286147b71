#include "sim/Command.h"

#include "link/Payload.h"

namespace sim {

std::shared_ptr<const Asio_Buffer> commandFrame(ClientBufferPool& buffers, std::int32_t msgType, std::int32_t timeSep,
                                                const Params& params) {
  MessageEnvelope envelope;
  envelope.msgType = msgType;
  envelope.TimeSep = timeSep;
  envelope.params = params;
  BufferPtr frame = buffers.getBuffer();
  if (!frame) frame = std::make_shared<Asio_Buffer>();
  if (!buildFrame(envelope, *frame)) return nullptr;
  return frame;
}

}  // namespace sim
