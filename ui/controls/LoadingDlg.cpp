#include "ui/controls/LoadingDlg.h"

#include "common/Messages.h"
#include "core/OLog.h"
#include "core/ThreadPool.h"
#include "ui/lib/WindowRegistry.h"

bool CLoadingDlg::CreateOver(mc::WindowHandle owner) {
  if (!ui::isWindow(owner)) owner = mc::kNoWindow;
  if (Create(owner, QStringLiteral("等待"), ui::kWsVisible | ui::kWsOverlappedWindow, 0, 0, 0, 500, 400) ==
      mc::kNoWindow)
    return false;
  CenterWindow();
  return true;
}

int CLoadingDlg::RunWhile(mc::WindowHandle owner, ThreadPool& pool, std::function<void()> work) {
  CLoadingDlg wait;
  if (!wait.CreateOver(owner)) return -1;
  const mc::WindowHandle handle = wait.GetHWND();
  pool.post([handle, work = std::move(work)] {
    try {
      work();
    } catch (const std::exception& error) {
      LOG_ERROR("work behind the waiting window failed: %s", error.what());
    }
    mc::postMessage(handle, mc::msg::MSG_CLOSE_WAIT);
  });
  return wait.ShowModal();
}

int CLoadingDlg::ShowFor(mc::WindowHandle owner, unsigned milliseconds) {
  CLoadingDlg wait;
  if (!wait.CreateOver(owner)) return -1;
  wait.SetTimer(kCloseTimer, milliseconds);
  return wait.ShowModal();
}

bool CLoadingDlg::HandleMessage(const mc::WindowMessage& message) {
  if (message.id == mc::msg::MSG_CLOSE_WAIT) {
    closeParam_ = message.wParam;
    Close(ui::kIdOk);
    return true;
  }
  if (message.id == ui::kMsgTimer && message.wParam == kCloseTimer) {
    Close(ui::kIdOk);
    return true;
  }
  return WindowImplBase::HandleMessage(message);
}

bool CLoadingDlg::ResponseDefaultKeyEvent(int key) {
  // Neither Return nor Escape ends the wait.
  return key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter;
}
