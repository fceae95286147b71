#pragma once
#include <cstdint>
#include <string>

#include "link/ClientBufferPool.h"
#include "link/MessageEnvelope.h"

// What a relay link (CCameraTcp) tells its owner, the live camera or the
// playback object. Every operation has a default, so an owner overrides only
// what it needs. All of them run on the link's callback strand, one at a time
// and in arrival order; none may wait for anything that strand delivers.
class ICameraNotify {
 public:
  virtual ~ICameraNotify() = default;

  // A command message arrived and was decoded. The result is not used by the link.
  virtual bool OnCommand(const MessageEnvelope& envelope) {
    (void)envelope;
    return true;
  }
  // Once a second while playback video arrives: the recording time of the
  // picture now arriving, "YYYY-MM-DD hh:mm".
  virtual void OnPlayTime(const std::string& text) { (void)text; }
  // The link's own connection attempt succeeded.
  virtual void OnConnected() {}
  // The link got back by itself after a loss.
  virtual void OnReconnected() {}
  // The link was lost or closed.
  virtual void OnDisconnected() {}
  // A buffer was written completely; `remaining` buffers are still queued.
  virtual void OnSent(const BufferPtr& buffer, std::int32_t remaining) {
    (void)buffer;
    (void)remaining;
  }
};
