#pragma once
#include <QEvent>
#include <QObject>
#include <cstdint>
#include <functional>

#include "common/WindowMessage.h"

// The window-handle registry: every live window (and every other object that
// receives posted messages, such as a video pane) gets an opaque handle that
// code on any thread may post to. Handles are never reused, so a stale handle
// can never reach a newer window.
namespace ui {

// Messages the library itself delivers to a window's message handler, numbered
// like the system messages they stand for.
inline constexpr std::uint32_t kMsgMove = 0x0003;     // wParam x, lParam y (screen)
inline constexpr std::uint32_t kMsgSize = 0x0005;     // wParam width, lParam height
inline constexpr std::uint32_t kMsgKeyDown = 0x0100;  // wParam Qt::Key
inline constexpr std::uint32_t kMsgKeyUp = 0x0101;    // wParam Qt::Key
inline constexpr std::uint32_t kMsgTimer = 0x0113;    // wParam timer id

// A posted message on its way to the UI thread. The event owns the message; a
// heap payload is released with the event, whether it was handled or dropped.
class PostedMessageEvent : public QEvent {
 public:
  static QEvent::Type eventType();

  PostedMessageEvent(mc::WindowHandle target, mc::WindowMessage message);

  mc::WindowHandle target() const { return target_; }
  const mc::WindowMessage& message() const { return message_; }

 private:
  mc::WindowHandle target_;
  mc::WindowMessage message_;
};

// UI thread. Gives `receiver` a new handle; messages posted to it arrive as
// PostedMessageEvent on the receiver. The receiver must unregister before it
// is destroyed.
mc::WindowHandle registerWindow(QObject* receiver);
// UI thread. Messages still queued for the handle are dropped on arrival.
void unregisterWindow(mc::WindowHandle handle);

// Any thread: whether the handle belongs to a live window.
bool isWindow(mc::WindowHandle handle);
// UI thread: the receiver of a live handle, or null.
QObject* windowObject(mc::WindowHandle handle);

// Any thread, never blocks on the receiver. False (and the message, payload
// included, released at once) when the handle is not a live window.
bool postWindowMessage(mc::WindowHandle handle, mc::WindowMessage message);

// Makes postWindowMessage the process's mc::postMessage hook. Called once at
// start-up after the QApplication exists.
void installPostMessageHook();

// Unwraps a PostedMessageEvent for its target: true when `event` is one. The
// handler only runs while the target handle is still registered, so a message
// that arrives after its window was closed is dropped.
bool dispatchPostedMessage(QEvent* event, const std::function<void(const mc::WindowMessage&)>& handler);

// A message target for objects that are not library windows (video panes,
// helpers). Registers on construction, unregisters on destruction; handles
// posted messages on the thread it lives in (the UI thread).
class MessageReceiver : public QObject {
 public:
  using Handler = std::function<void(const mc::WindowMessage&)>;

  explicit MessageReceiver(Handler handler, QObject* parent = nullptr);
  ~MessageReceiver() override;

  mc::WindowHandle handle() const { return handle_; }

 protected:
  bool event(QEvent* event) override;

 private:
  Handler handler_;
  mc::WindowHandle handle_;
};

}  // namespace ui
