#include "common/WindowMessage.h"

#include <mutex>

namespace mc {
namespace {

// The hook is swapped rarely (start-up, tests) and read on every post from any
// thread; posting copies the shared pointer under the lock and calls outside it.
std::mutex hookMutex;
std::shared_ptr<const PostMessageHook> currentHook;

}  // namespace

void setPostMessageHook(PostMessageHook hook) {
  auto next = hook ? std::make_shared<const PostMessageHook>(std::move(hook)) : nullptr;
  std::lock_guard lock(hookMutex);
  currentHook = std::move(next);
}

bool postMessage(WindowHandle window, WindowMessage message) {
  std::shared_ptr<const PostMessageHook> hook;
  {
    std::lock_guard lock(hookMutex);
    hook = currentHook;
  }
  if (!hook || window == kNoWindow) return false;
  return (*hook)(window, std::move(message));
}

}  // namespace mc
