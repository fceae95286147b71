#include "ui/lib/WindowImplBase.h"

#include <QDebug>
#include <QDir>

#include "core/OLog.h"
#include "ui/lib/SkinPaths.h"
#include "ui/lib/WindowHost.h"

WindowImplBase::WindowImplBase() = default;
WindowImplBase::~WindowImplBase() = default;

QWidget* WindowImplBase::FindControl(const QString& name) const {
  if (!root_ || name.isEmpty()) return nullptr;
  if (root_->objectName() == name) return root_;
  return root_->findChild<QWidget*>(name);
}

QWidget* WindowImplBase::FindSubControl(const QWidget* container, const QString& name) {
  if (!container || name.isEmpty()) return nullptr;
  return container->findChild<QWidget*>(name);
}

QString WindowImplBase::GetSkinPath() const { return ui::skinFolderPath(GetSkinFolder()); }

void WindowImplBase::Notify(TNotifyUI& msg) {
  if (msg.type == ui::kNotifyClick) OnClick(msg);
}

QWidget* WindowImplBase::CreateControl(const QString&, QWidget*) { return nullptr; }

void WindowImplBase::OnClick(TNotifyUI& msg) {
  if (!msg.sender || !host()) return;
  const QString name = msg.sender->objectName();
  if (name == "closebtn") Close(ui::kIdCancel);
  else if (name == "minbtn") host()->showMinimized();
  else if (name == "maxbtn") host()->showMaximized();
  else if (name == "restorebtn") host()->showNormal();
}

bool WindowImplBase::OnCreate() {
  const QString skinDir = GetSkinPath();
  const QString path = QDir(skinDir).filePath(GetSkinFile());
  QString error;
  QWidget* root = ui::loadLayout(path, skinDir, host(), this, &error);
  if (!root) {
    qWarning("%s: cannot load the layout: %s", qPrintable(GetWindowClassName()), qPrintable(error));
    LOG_ERROR("%s: cannot load the layout: %s", GetWindowClassName().toUtf8().constData(),
              error.toUtf8().constData());
    return false;
  }
  root_ = root;
  const bool resizable = (style() & ui::kWsThickFrame) != 0;
  host()->setContent(root, root->property("caption").toInt(),
                     resizable ? std::max(root->property("sizebox").toInt(), 0) : 0);
  if (root->testAttribute(Qt::WA_Resized)) host()->resize(root->size());
  host()->setMinimumSize(root->minimumSize());
  if (root->maximumSize() != QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX)) host()->setMaximumSize(root->maximumSize());
  host()->setNotifyTarget(this);
  InitWindow();
  return true;
}
