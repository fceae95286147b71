#pragma once
#include <cstdint>
#include <functional>
#include <memory>

namespace mc {

// Opaque handle of a live window; 0 is "no window". ui/ hands them out and
// keeps the registry; code outside ui/ only stores and posts to them.
using WindowHandle = std::uintptr_t;
inline constexpr WindowHandle kNoWindow = 0;

// A posted window message. A heap payload (a `CameraAbility`, a node/state
// pair ...) travels in `payload`; it belongs to the receiver once delivered and
// is freed with the message when the target window is gone.
struct WindowMessage {
  std::uint32_t id = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  std::shared_ptr<void> payload;
};

// Delivers a message to a window on the UI thread. Returns false when the
// message was dropped (no hook installed, window closed).
using PostMessageHook = std::function<bool(WindowHandle, WindowMessage)>;

// Installs the process-wide hook (ui/ installs its window registry at start-up;
// tests install a recording hook). Passing an empty function removes it.
void setPostMessageHook(PostMessageHook hook);

// Posts from any thread; never blocks on the receiving window.
bool postMessage(WindowHandle window, WindowMessage message);

inline bool postMessage(WindowHandle window, std::uint32_t id, std::uintptr_t wParam = 0,
                        std::intptr_t lParam = 0, std::shared_ptr<void> payload = {}) {
  return postMessage(window, WindowMessage{id, wParam, lParam, std::move(payload)});
}

}  // namespace mc
