#pragma once
#include <QPoint>
#include <QString>

#include "common/WindowMessage.h"

class QMenu;
class QWidget;

// Pop-up menus from menu layouts: a Qt Designer file whose root is a QMenu
// with its actions (sub-menus as nested QMenus). An item's name is its
// action's object name. Choosing an item posts MSG_MENU_COMMAND to the owner
// window with the item name (UTF-8 std::string) as payload; separators and
// unnamed items post nothing.
class CMenuWnd {
 public:
  // Builds the menu of `layoutFile` in `skinFolder` and opens it at
  // `screenPoint`; it deletes itself once closed. Returns the open menu (to
  // adjust items while it is open) or null when the layout cannot be loaded.
  static QMenu* Popup(mc::WindowHandle owner, const QString& skinFolder, const QString& layoutFile,
                      const QPoint& screenPoint);

  // Builds the menu without opening it; the caller owns it.
  static QMenu* Build(mc::WindowHandle owner, const QString& skinFolder, const QString& layoutFile,
                      QWidget* parent = nullptr);
};
