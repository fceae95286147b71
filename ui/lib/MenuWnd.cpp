#include "ui/lib/MenuWnd.h"

#include <QAction>
#include <QDebug>
#include <QDir>
#include <QMenu>

#include "common/Messages.h"
#include "ui/lib/SkinLoader.h"
#include "ui/lib/SkinPaths.h"
#include "ui/lib/WindowRegistry.h"

QMenu* CMenuWnd::Build(mc::WindowHandle owner, const QString& skinFolder, const QString& layoutFile,
                       QWidget* parent) {
  const QString skinDir = ui::skinFolderPath(skinFolder);
  QString error;
  QWidget* root = ui::loadLayout(QDir(skinDir).filePath(layoutFile), skinDir, parent, nullptr, &error);
  auto* menu = qobject_cast<QMenu*>(root);
  if (!menu) {
    qWarning("menu %s: %s", qPrintable(layoutFile), root ? "the root is not a QMenu" : qPrintable(error));
    delete root;
    return nullptr;
  }
  // A parent widget makes Qt embed the menu; it must stay a pop-up.
  if (parent) menu->setWindowFlags(Qt::Popup);
  QObject::connect(menu, &QMenu::triggered, menu, [owner](QAction* action) {
    const QString name = action->objectName();
    if (action->isSeparator() || name.isEmpty()) return;
    ui::postWindowMessage(owner, {mc::msg::MSG_MENU_COMMAND, 0, 0, std::make_shared<std::string>(name.toStdString())});
  });
  return menu;
}

QMenu* CMenuWnd::Popup(mc::WindowHandle owner, const QString& skinFolder, const QString& layoutFile,
                       const QPoint& screenPoint) {
  QMenu* menu = Build(owner, skinFolder, layoutFile, qobject_cast<QWidget*>(ui::windowObject(owner)));
  if (!menu) return nullptr;
  // Hidden by a choice or by a click elsewhere; a choice is reported after
  // the hide, so the deletion waits for the event loop.
  QObject::connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
  menu->popup(screenPoint);
  return menu;
}
