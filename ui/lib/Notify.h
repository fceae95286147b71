#pragma once
#include <QPoint>
#include <QString>
#include <cstdint>

class QAbstractButton;
class QWidget;

// A notification from a control to its window: the name of what happened and
// the control it happened to.
struct TNotifyUI {
  QString type;
  QWidget* sender = nullptr;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  QPoint point;  // pointer position in the window's coordinates
};

class INotifyUI {
 public:
  virtual void Notify(TNotifyUI& msg) = 0;

 protected:
  ~INotifyUI() = default;
};

namespace ui {

inline const QString kNotifyClick = QStringLiteral("click");
inline const QString kNotifySelectChanged = QStringLiteral("selectchanged");
inline const QString kNotifyItemSelect = QStringLiteral("itemselect");
inline const QString kNotifyItemClick = QStringLiteral("itemclick");
inline const QString kNotifyItemActivate = QStringLiteral("itemactivate");
inline const QString kNotifyItemIn = QStringLiteral("item_in");
inline const QString kNotifyItemLeave = QStringLiteral("item_leave");
inline const QString kNotifySetFocus = QStringLiteral("setfocus");
inline const QString kNotifyKillFocus = QStringLiteral("killfocus");
inline const QString kNotifyReturn = QStringLiteral("return");
inline const QString kNotifyTextChanged = QStringLiteral("textchanged");
inline const QString kNotifyValueChanged = QStringLiteral("valuechanged");
inline const QString kNotifyTabSelect = QStringLiteral("tabselect");
inline const QString kNotifyDropDown = QStringLiteral("dropdown");
inline const QString kNotifyMenu = QStringLiteral("menu");

// The top-level widget of a window: it hands the notifications of every
// control inside it to the window.
class NotifyRoot {
 public:
  // Null while the window is not ready (its layout is still being built).
  virtual INotifyUI* notifyTarget() = 0;

 protected:
  ~NotifyRoot() = default;
};

// Sends a notification on behalf of `sender` to the window holding it, at once
// and on the calling (UI) thread. False when the sender is in no ready window.
// Without a point, the pointer's current position is given.
bool SendNotify(QWidget* sender, const QString& type, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
bool SendNotify(QWidget* sender, const QString& type, std::uintptr_t wParam, std::intptr_t lParam,
                const QPoint& point);

// Connects a control's own signals to notifications: buttons "click" (sent
// before an option changes its state), options "selectchanged", edits
// "return", "textchanged", "setfocus", "killfocus", drop-down lists
// "itemselect", sliders "valuechanged". Layouts and item templates hook their
// controls themselves; call this for controls made in code. Hooking twice is
// harmless.
void hookControl(QWidget* control);

// A button made by the library: "click" is sent before its state changes.
// Use it for buttons and options built in code.
QAbstractButton* createButton(const QString& qtClassName, QWidget* parent);

// The name of the option group a button belongs to; empty when none. In a
// group, selecting one option unselects the others, a selected option stays
// selected when clicked again, and "selectchanged" is sent only for the option
// that became selected; an option outside any group toggles and reports every
// change. Groups are QButtonGroups (a layout's button groups, or made in
// code); tab-like options whose whole face is their image are checkable
// QPushButtons in a group.
QString optionGroup(const QAbstractButton* option);

}  // namespace ui
