#pragma once
#include <QString>
#include <cstdint>
#include <functional>

#include "ui/lib/WindowImplBase.h"

class ThreadPool;

// The modal please-wait window behind every blocking request of the main
// window and its dialogs. It closes with 1 on MSG_CLOSE_WAIT, keeping the
// message's wParam, or on its timer 1225. The operator cannot close it: the
// work behind it decides when it ends. Layout "Loading.xml".
class CLoadingDlg : public WindowImplBase {
 public:
  static constexpr unsigned kCloseTimer = 1225;

  CLoadingDlg() = default;

  QString GetWindowClassName() const override { return QStringLiteral("请稍后"); }

  // Creates the window over `owner` (title "等待", a visible overlapped
  // window, 500×400, centred); false when it cannot be built.
  bool CreateOver(mc::WindowHandle owner);
  // The wParam of the MSG_CLOSE_WAIT that closed the window (0 otherwise).
  std::uintptr_t closeParam() const { return closeParam_; }

  // UI thread. Shows the waiting window over `owner` while `work` runs on
  // `pool`; when the work is done it posts MSG_CLOSE_WAIT to the window. The
  // work must hold what it uses (it is not cancelled when the pool stops
  // first). Returns once the window closed: the window's result, or -1 when
  // it could not be shown (the work then does not run).
  static int RunWhile(mc::WindowHandle owner, ThreadPool& pool, std::function<void()> work);
  // UI thread. Shows the waiting window over `owner` until its close timer
  // ends it after `milliseconds` (or a MSG_CLOSE_WAIT comes first); -1 when
  // it could not be shown.
  static int ShowFor(mc::WindowHandle owner, unsigned milliseconds);

 protected:
  QString GetSkinFile() const override { return QStringLiteral("Loading.xml"); }
  bool HandleMessage(const mc::WindowMessage& message) override;
  bool ResponseDefaultKeyEvent(int key) override;
  void OnSysClose() override {}
  void OnCaptionDoubleClick() override {}

 private:
  std::uintptr_t closeParam_ = 0;
};
