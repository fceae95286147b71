#include "ui/wall/CWinSubUp.h"

#include "camera/CCameraLogic.h"
#include "common/Messages.h"
#include "ui/lib/ControlOps.h"
#include "ui/lib/WindowRegistry.h"
#include "ui/wall/PaneCameras.h"
#include "ui/wall/PaneCommand.h"

CWinSubUp::CWinSubUp(std::shared_ptr<IPaneCameras> cameras) : cameras_(std::move(cameras)) {}

bool CWinSubUp::CreateBar(mc::WindowHandle mainWindow) {
  mainWindow_ = mainWindow;
  // A child of the main window, drawn over the panes; hidden until the wall
  // places it (explicitly, so showing the main window does not show it).
  if (Create(mainWindow, QStringLiteral("WinSubUp"), ui::kWsChild | ui::kWsOverlappedWindow, ui::kWsExWindowEdge) ==
      mc::kNoWindow)
    return false;
  GetWidget()->hide();
  return true;
}

void CWinSubUp::InitWindow() { SetTimer(kStatusTimer, kStatusPeriodMs); }

bool CWinSubUp::recording(const SxtParamPtr& camera) const {
  const std::shared_ptr<CCameraLogic> live = cameras_ && camera ? cameras_->live(camera) : nullptr;
  return live && live->recording;
}

void CWinSubUp::Refresh(int paneIndex, const SxtParamPtr& camera) {
  paneIndex_ = paneIndex;
  camera_ = camera;
  for (const char* name : {"stopBtn", "recodrIcon", "sxtName", "infoText"})
    if (QWidget* control = FindControl(name)) control->hide();
  if (!camera) return;
  for (const char* name : {"stopBtn", "infoText", "sxtName"})
    if (QWidget* control = FindControl(name)) control->show();
  if (QWidget* name = FindControl("sxtName")) ui::SetText(name, QString::fromStdString(camera->name));
  if (QWidget* mark = FindControl("recodrIcon")) mark->setVisible(recording(camera));
  showStatus();
}

void CWinSubUp::showStatus() {
  const SxtParamPtr shown = camera();
  if (QWidget* info = FindControl("infoText"))
    ui::SetText(info, shown ? QString::fromStdString(shown->statusText()) : QString());
  if (QWidget* mark = FindControl("recodrIcon")) mark->setVisible(shown && recording(shown));
}

bool CWinSubUp::HandleMessage(const mc::WindowMessage& message) {
  if (message.id == ui::kMsgTimer && message.wParam == kStatusTimer) {
    showStatus();
    return true;
  }
  return WindowImplBase::HandleMessage(message);
}

void CWinSubUp::Notify(TNotifyUI& msg) {
  if (msg.type == ui::kNotifyClick && msg.sender && msg.sender->objectName() == "stopBtn") {
    if (const SxtParamPtr shown = camera()) {
      auto command = std::make_shared<PaneCommand>();
      command->cameraId = shown->id;
      command->kind = PaneCommand::kStop;
      mc::postMessage(mainWindow_, mc::msg::MSG_PANE_COMMAND, 0, 0, std::move(command));
    }
    return;
  }
  WindowImplBase::Notify(msg);
}
