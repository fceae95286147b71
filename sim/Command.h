#pragma once
#include <cstdint>
#include <memory>

#include "link/ClientBufferPool.h"
#include "link/MessageEnvelope.h"
#include "sim/LogicService.h"

namespace sim {

// A server's command message (version 1, appId 1, clientType 2) framed for
// sending with the project's envelope code; null when it cannot be built.
std::shared_ptr<const Asio_Buffer> commandFrame(ClientBufferPool& buffers, std::int32_t msgType, std::int32_t timeSep,
                                                const Params& params);

}  // namespace sim
