#include "ui/lib/WindowRegistry.h"

#include <QCoreApplication>
#include <mutex>
#include <unordered_map>

namespace ui {
namespace {

// One registry per process, guarded by one lock. postEvent runs under the lock
// so a receiver cannot be destroyed between the look-up and the post: the
// receiver unregisters (taking the same lock) before it goes away, and Qt drops
// the events still queued for a destroyed object.
struct Registry {
  std::mutex mutex;
  std::unordered_map<mc::WindowHandle, QObject*> windows;
  mc::WindowHandle next = 1;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

}  // namespace

QEvent::Type PostedMessageEvent::eventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

PostedMessageEvent::PostedMessageEvent(mc::WindowHandle target, mc::WindowMessage message)
    : QEvent(eventType()), target_(target), message_(std::move(message)) {}

mc::WindowHandle registerWindow(QObject* receiver) {
  if (!receiver) return mc::kNoWindow;
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  const mc::WindowHandle handle = r.next++;
  r.windows.emplace(handle, receiver);
  return handle;
}

void unregisterWindow(mc::WindowHandle handle) {
  if (handle == mc::kNoWindow) return;
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.windows.erase(handle);
}

bool isWindow(mc::WindowHandle handle) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  return r.windows.count(handle) != 0;
}

QObject* windowObject(mc::WindowHandle handle) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  const auto it = r.windows.find(handle);
  return it == r.windows.end() ? nullptr : it->second;
}

bool postWindowMessage(mc::WindowHandle handle, mc::WindowMessage message) {
  // `message` is a parameter, so a refused message (and its payload) is
  // released after the lock below has been given back.
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  const auto it = r.windows.find(handle);
  if (it == r.windows.end() || !QCoreApplication::instance()) return false;
  QCoreApplication::postEvent(it->second, new PostedMessageEvent(handle, std::move(message)));
  return true;
}

void installPostMessageHook() {
  mc::setPostMessageHook([](mc::WindowHandle handle, mc::WindowMessage message) {
    return postWindowMessage(handle, std::move(message));
  });
}

bool dispatchPostedMessage(QEvent* event,
                           const std::function<void(const mc::WindowMessage&)>& handler) {
  if (event->type() != PostedMessageEvent::eventType()) return false;
  const auto* posted = static_cast<PostedMessageEvent*>(event);
  if (isWindow(posted->target()) && handler) handler(posted->message());
  return true;
}

MessageReceiver::MessageReceiver(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), handle_(registerWindow(this)) {}

MessageReceiver::~MessageReceiver() { unregisterWindow(handle_); }

bool MessageReceiver::event(QEvent* event) {
  if (dispatchPostedMessage(event, handler_)) return true;
  return QObject::event(event);
}

}  // namespace ui
