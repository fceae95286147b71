#pragma once
#include <chrono>
#include <memory>
#include <thread>
#include <mutex>
#include <vector>

#include "camera/CameraAbility.h"
#include "common/WindowMessage.h"
#include "media/IRenderTarget.h"
#include "media/OffscreenRenderTarget.h"

namespace mc::test {

// Waits until nothing holds `object` any more: every handler of a closed link
// has run. A callback pool stopped before that would strand a handler that
// keeps the link, its pool and its buffers alive for ever.
template <typename T>
bool waitGone(const std::weak_ptr<T>& object, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!object.expired()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// Closes a camera object and waits until its relay link is gone.
template <typename Camera>
bool closeAndDrain(Camera& camera) {
  std::weak_ptr<typename std::remove_reference_t<decltype(*camera.GetLink())>> link = camera.GetLink();
  camera.Close();
  return waitGone(link);
}

// Catches every posted window message while it exists.
class PostedMessages {
 public:
  PostedMessages() {
    mc::setPostMessageHook([this](mc::WindowHandle window, mc::WindowMessage message) {
      std::lock_guard lock(mutex_);
      posted_.push_back({window, std::move(message)});
      return true;
    });
  }
  ~PostedMessages() { mc::setPostMessageHook({}); }
  PostedMessages(const PostedMessages&) = delete;
  PostedMessages& operator=(const PostedMessages&) = delete;

  struct Posted {
    mc::WindowHandle window;
    mc::WindowMessage message;
  };

  std::vector<Posted> all() const {
    std::lock_guard lock(mutex_);
    return posted_;
  }
  std::size_t count(std::uint32_t id) const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const auto& p : posted_) n += p.message.id == id;
    return n;
  }
  // The payloads of every MSG_CAMERA_PARAMS posted to `window`, in order.
  std::vector<CameraAbility> abilities(mc::WindowHandle window, std::uint32_t id) const {
    std::lock_guard lock(mutex_);
    std::vector<CameraAbility> found;
    for (const auto& p : posted_)
      if (p.window == window && p.message.id == id && p.message.payload)
        found.push_back(*static_cast<const CameraAbility*>(p.message.payload.get()));
    return found;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Posted> posted_;
};

// Makes every pane draw into an offscreen target the test can look at. The
// targets belong to their display handlers: read one only while its camera
// is open.
class OffscreenPanes {
 public:
  OffscreenPanes() {
    setRenderTargetFactory([this](mc::WindowHandle window) -> std::unique_ptr<IRenderTarget> {
      auto target = std::make_unique<OffscreenRenderTarget>(352, 288);
      std::lock_guard lock(mutex_);
      targets_.push_back({window, target.get()});
      return target;
    });
  }
  ~OffscreenPanes() { setRenderTargetFactory({}); }
  OffscreenPanes(const OffscreenPanes&) = delete;
  OffscreenPanes& operator=(const OffscreenPanes&) = delete;

  // The newest target made for `window`, or null.
  OffscreenRenderTarget* latest(mc::WindowHandle window) const {
    std::lock_guard lock(mutex_);
    for (auto it = targets_.rbegin(); it != targets_.rend(); ++it)
      if (it->first == window) return it->second;
    return nullptr;
  }
  std::size_t made() const {
    std::lock_guard lock(mutex_);
    return targets_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<mc::WindowHandle, OffscreenRenderTarget*>> targets_;
};

}  // namespace mc::test
