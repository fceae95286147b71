#pragma once
#include <string>

#include "link/MessageEnvelope.h"

// What the logic-server link reports to its owner (the coordinator). Called on
// the link's callback pool, one call at a time per link, and only while the
// owner still exists. A call must not wait for another server reply.
class IServerNotify {
 public:
  virtual ~IServerNotify() = default;
  // The connection was lost or closed.
  virtual void OnServerDisconnected() = 0;
  // The link got back by itself after a loss (the owner logs in again).
  virtual void OnServerReconnected() = 0;
  // Every accepted message (clientType 2), after its reply handler ran.
  virtual void OnServerMessage(const MessageEnvelope& envelope) { (void)envelope; }
  // Notice 14: a node went on or off line.
  virtual void OnNodeActive(const std::string& nodeId, const std::string& active) = 0;
  // Notice 15: a camera went on or off line.
  virtual void OnCameraActive(const std::string& cameraId, const std::string& active) = 0;
};
