#include "ui/controls/PictrueDlg.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QUrl>

#include "core/AppContext.h"
#include "ui/lib/ControlOps.h"
#include "ui/lib/WindowRegistry.h"

CPictrueDlg::CPictrueDlg(FolderOpener opener, QString skinFolder)
    : opener_(std::move(opener)), skinFolder_(std::move(skinFolder)) {
  if (!opener_) {
    opener_ = [](const QString& folder) { return QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); };
  }
}

int CPictrueDlg::Show(mc::WindowHandle owner) {
  CPictrueDlg notice;
  return notice.Run(owner);
}

int CPictrueDlg::Run(mc::WindowHandle owner) {
  if (!ui::isWindow(owner)) owner = mc::kNoWindow;
  if (Create(owner, QStringLiteral("CPictrueDlg"), ui::UI_WNDSTYLE_POPUP_CAPTION, 0, 0, 0, 500, 400) ==
      mc::kNoWindow)
    return ui::kIdCancel;
  CenterWindow();
  return ShowModal();
}

void CPictrueDlg::InitWindow() {
  folder_ = QString::fromStdString(AppContext::instance().capturePath);
  if (QWidget* one = FindControl("TextOne")) ui::SetText(one, QStringLiteral("保存成功"));
  if (QWidget* two = FindControl("TextTwo")) {
    if (auto* edit = qobject_cast<QLineEdit*>(two)) edit->setReadOnly(true);
    ui::SetText(two, folder_);
  }
  if (QWidget* ok = FindControl("BtnOK")) ok->setFocus();
}

void CPictrueDlg::Notify(TNotifyUI& msg) {
  if (msg.type == ui::kNotifyClick && msg.sender) {
    const QString name = msg.sender->objectName();
    if (name == "BtnOK") Close(ui::kIdOk);
    else if (name == "BtnOpen") opener_(folder_);
    else if (name == "CloseBtn") Close(ui::kIdCancel);
  }
  WindowImplBase::Notify(msg);
}

bool CPictrueDlg::ResponseDefaultKeyEvent(int key) {
  if (key != Qt::Key_Escape) return false;
  Close(ui::kIdCancel);
  return true;
}
