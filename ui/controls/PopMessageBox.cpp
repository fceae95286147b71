#include "ui/controls/PopMessageBox.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLabel>
#include <QThread>

#include "core/OLog.h"
#include "ui/lib/ControlOps.h"
#include "ui/lib/WindowRegistry.h"

namespace {

// Runs `show` on the UI thread and hands back its result. A worker blocks
// until the box has been answered; the UI thread keeps running its own event
// loop (the waiting window's modal loop) meanwhile.
template <class Show>
int onUiThread(Show show) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return ui::kIdCancel;
  if (QThread::currentThread() == app->thread()) return show();
  int result = ui::kIdCancel;
  QMetaObject::invokeMethod(app, [&] { result = show(); }, Qt::BlockingQueuedConnection);
  return result;
}

}  // namespace

int CPopMessageBox::Show(mc::WindowHandle owner, std::int32_t kind, const QString& firstLine,
                         const QString& secondLine, const QString& okText, const QString& cancelText) {
  return onUiThread([&] {
    CPopMessageBox box(kind, firstLine, secondLine, okText, cancelText);
    return box.Run(owner);
  });
}

int CPopMessageBox::Show(mc::WindowHandle owner, std::int32_t kind, const std::string& firstLine,
                         const std::string& secondLine, const std::string& okText, const std::string& cancelText) {
  return Show(owner, kind, QString::fromStdString(firstLine), QString::fromStdString(secondLine),
              QString::fromStdString(okText), QString::fromStdString(cancelText));
}

int CPopMessageBox::ShowMessage(mc::WindowHandle owner, const QString& firstLine, const QString& secondLine) {
  return Show(owner, kOneButton, firstLine, secondLine, QStringLiteral("确定"), QStringLiteral("取消"));
}

CPopMessageBox::CPopMessageBox(std::int32_t kind, QString firstLine, QString secondLine, QString okText,
                               QString cancelText, QString skinFolder)
    : kind_(kind),
      firstLine_(std::move(firstLine)),
      secondLine_(std::move(secondLine)),
      okText_(std::move(okText)),
      cancelText_(std::move(cancelText)),
      skinFolder_(std::move(skinFolder)) {}

int CPopMessageBox::Run(mc::WindowHandle owner) {
  if (!ui::isWindow(owner)) owner = mc::kNoWindow;
  if (Create(owner, QStringLiteral("CPopMessageBox"), ui::UI_WNDSTYLE_POPUP_CAPTION, 0, 0, 0, 900, 600) ==
      mc::kNoWindow) {
    qWarning("message box not shown: %s", qPrintable(firstLine_));
    LOG_ERROR("message box not shown: %s", firstLine_.toUtf8().constData());
    return ui::kIdCancel;
  }
  CenterWindow();
  const int result = ShowModal();
  return result == ui::kIdOk ? ui::kIdOk : ui::kIdCancel;
}

QString CPopMessageBox::GetSkinFile() const {
  return kind_ == kTwoButtons ? QStringLiteral("MessageBoxYESNO.xml") : QStringLiteral("MessageBoxYES.xml");
}

void CPopMessageBox::InitWindow() {
  if (QWidget* title = FindControl("TextTitle")) ui::SetText(title, titleText_);
  if (QWidget* one = FindControl("TextOne")) ui::SetText(one, firstLine_);
  if (QWidget* two = FindControl("TextTwo")) {
    ui::SetText(two, secondLine_);
    two->setVisible(!secondLine_.isEmpty());  // a single line sits alone
  }
  if (QWidget* ok = FindControl("BtnOK")) ui::SetText(ok, okText_);
  if (QWidget* cancel = FindControl("BtnCancel")) ui::SetText(cancel, cancelText_);
  if (QWidget* ok = FindControl("BtnOK")) ok->setFocus();
}

void CPopMessageBox::Notify(TNotifyUI& msg) {
  if (msg.type == ui::kNotifyClick && msg.sender) {
    const QString name = msg.sender->objectName();
    if (name == "BtnOK") Close(ui::kIdOk);
    else if (name == "BtnCancel" || name == "CloseBtn") Close(ui::kIdCancel);
  }
  WindowImplBase::Notify(msg);
}

bool CPopMessageBox::ResponseDefaultKeyEvent(int key) {
  if (key == Qt::Key_Escape) {
    Close(ui::kIdCancel);
    return true;
  }
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && FindControl("BtnOK")) {
    Close(ui::kIdOk);
    return true;
  }
  return false;
}
