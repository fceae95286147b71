#pragma once
#include <QHash>
#include <QPointer>
#include <QString>
#include <cstdint>

#include "common/WindowMessage.h"
#include "ui/lib/WindowStyle.h"

class QEventLoop;
class QTimer;
class QWidget;
class WindowHost;

// A top-level window of the client. It owns one Qt widget, has a handle in the
// window registry while it is open (from Create to Close), takes posted
// messages and timers through HandleMessage, and can run modally. UI thread
// only; posting to its handle works from any thread.
class CWindowWnd {
 public:
  CWindowWnd();
  virtual ~CWindowWnd();
  CWindowWnd(const CWindowWnd&) = delete;
  CWindowWnd& operator=(const CWindowWnd&) = delete;

  // The name of the kind of window (also the Qt object name of its widget).
  virtual QString GetWindowClassName() const = 0;

  // Builds the window owned by `owner` (kNoWindow: none) with its title,
  // style, position and size (kUseDefault: the library chooses), then runs
  // OnCreate. The handle, or kNoWindow when OnCreate failed (the window is
  // then closed).
  mc::WindowHandle Create(mc::WindowHandle owner, const QString& title, std::uint32_t style,
                          std::uint32_t exStyle = 0, int x = ui::kUseDefault, int y = ui::kUseDefault,
                          int cx = ui::kUseDefault, int cy = ui::kUseDefault);

  // Shows the window and runs a nested event loop until Close; input to the
  // owner (or to every other window without an owner) is blocked meanwhile.
  // Returns the code given to Close; -1 when the window was never created.
  // A window closed before ShowModal returns its code at once.
  int ShowModal();
  // Ends the window: stops its timers, gives up its handle (messages posted
  // to it from now on are dropped), hides it and ends its modal loop.
  void Close(int code = ui::kIdOk);
  void ShowWindow(bool show = true, bool takeFocus = true);
  // Centres the window over its owner, or on its screen without one.
  void CenterWindow();
  // The icon from the skin file "Icon/<resourceId>.png".
  void SetIcon(int resourceId);

  // Window timers: each tick arrives at HandleMessage as ui::kMsgTimer with
  // the id in wParam. Setting an existing id restarts it with the new period.
  bool SetTimer(unsigned id, unsigned milliseconds);
  bool KillTimer(unsigned id);

  mc::WindowHandle GetHWND() const { return handle_; }
  QWidget* GetWidget() const;
  bool IsClosed() const { return closed_; }
  int GetCloseCode() const { return closeCode_; }

  // The open window with this handle / holding this widget; UI thread.
  static CWindowWnd* FromHandle(mc::WindowHandle handle);
  static CWindowWnd* FromWidget(const QWidget* widget);

 protected:
  // Builds the window's content once its widget exists; false fails Create.
  virtual bool OnCreate() { return true; }
  // Raw messages (posted messages, timers, moves, sizes, keys) before the
  // library's own handling; true when handled.
  virtual bool HandleMessage(const mc::WindowMessage& message);
  // Return or Escape pressed outside an edit; true when handled. The base
  // handles neither.
  virtual bool ResponseDefaultKeyEvent(int key);
  // The window system asked to close the window (a close key, the task bar);
  // the base closes with kIdCancel.
  virtual void OnSysClose();
  // A double click on the layout's caption area; the base maximises and
  // restores resizable windows and leaves the others alone.
  virtual void OnCaptionDoubleClick();
  // After Close has given up the handle.
  virtual void OnFinalMessage() {}

  // The window's Qt widget as the library's host type.
  WindowHost* host() const;
  std::uint32_t style() const { return style_; }

 private:
  friend class WindowHost;
  void deliver(const mc::WindowMessage& message);
  void hostDestroyed();

  QPointer<WindowHost> host_;
  mc::WindowHandle handle_ = mc::kNoWindow;
  std::uint32_t style_ = 0;
  QHash<unsigned, QTimer*> timers_;
  QEventLoop* modalLoop_ = nullptr;
  bool created_ = false;
  bool closed_ = false;
  int closeCode_ = -1;
};
