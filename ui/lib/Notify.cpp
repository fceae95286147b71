#include "ui/lib/Notify.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

namespace ui {
namespace {

constexpr char kHookedProperty[] = "_mcHooked";

NotifyRoot* findRoot(QWidget* widget, QWidget** rootWidget) {
  for (QWidget* w = widget; w; w = w->parentWidget()) {
    if (auto* root = dynamic_cast<NotifyRoot*>(w)) {
      *rootWidget = w;
      return root;
    }
  }
  return nullptr;
}

// Buttons that send "click" from nextCheckState, which Qt calls inside a click
// just before an option changes its state (and for plain buttons too). A click
// that changes nothing (the checked button of an exclusive Qt group) is
// reported from the clicked signal instead.
template <class Base>
class NotifyingButton : public Base {
 public:
  explicit NotifyingButton(QWidget* parent) : Base(parent) {
    QObject::connect(this, &QAbstractButton::clicked, this, [this] {
      if (!clickSent_) SendNotify(this, kNotifyClick);
      clickSent_ = false;
    });
  }

 protected:
  void nextCheckState() override {
    QPointer<QAbstractButton> guard(this);
    clickSent_ = true;
    SendNotify(this, kNotifyClick);
    if (!guard) return;
    // A selected option of a group stays selected when clicked again.
    if (this->isCheckable() && this->isChecked() && this->group()) return;
    Base::nextCheckState();
  }

 private:
  bool clickSent_ = false;
};

void optionToggled(QAbstractButton* button, bool checked) {
  QButtonGroup* group = button->group();
  if (!group) {
    SendNotify(button, kNotifySelectChanged, checked ? 1 : 0);
    return;
  }
  // Groups keep one option selected themselves but let code unselect all
  // (Qt's exclusive groups refuse that).
  group->setExclusive(false);
  if (!checked) return;
  QPointer<QAbstractButton> guard(button);
  for (QAbstractButton* other : group->buttons())
    if (other != button && other->isChecked()) other->setChecked(false);
  if (guard) SendNotify(button, kNotifySelectChanged, 1);
}

void focusChanged(QWidget* old, QWidget* now) {
  if (old && old->property(kHookedProperty).toBool()) SendNotify(old, kNotifyKillFocus);
  if (now && now->property(kHookedProperty).toBool()) SendNotify(now, kNotifySetFocus);
}

void watchFocus() {
  static QPointer<QApplication> watched;
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!app || watched == app) return;
  watched = app;
  QObject::connect(app, &QApplication::focusChanged, app, &focusChanged);
}

}  // namespace

bool SendNotify(QWidget* sender, const QString& type, std::uintptr_t wParam, std::intptr_t lParam) {
  QWidget* rootWidget = nullptr;
  if (!sender || !findRoot(sender, &rootWidget)) return false;
  return SendNotify(sender, type, wParam, lParam, rootWidget->mapFromGlobal(QCursor::pos()));
}

bool SendNotify(QWidget* sender, const QString& type, std::uintptr_t wParam, std::intptr_t lParam,
                const QPoint& point) {
  QWidget* rootWidget = nullptr;
  NotifyRoot* root = sender ? findRoot(sender, &rootWidget) : nullptr;
  INotifyUI* target = root ? root->notifyTarget() : nullptr;
  if (!target) return false;
  TNotifyUI msg{type, sender, wParam, lParam, point};
  target->Notify(msg);
  return true;
}

void hookControl(QWidget* control) {
  if (!control || control->property(kHookedProperty).toBool()) return;
  control->setProperty(kHookedProperty, true);
  watchFocus();
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    QObject::connect(button, &QAbstractButton::toggled, button,
                     [button](bool checked) { optionToggled(button, checked); });
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    QObject::connect(edit, &QLineEdit::returnPressed, edit, [edit] { SendNotify(edit, kNotifyReturn); });
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit] { SendNotify(edit, kNotifyTextChanged); });
  } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [combo](int index) {
      SendNotify(combo, kNotifyItemSelect, static_cast<std::uintptr_t>(index));
    });
  } else if (auto* slider = qobject_cast<QAbstractSlider*>(control)) {
    QObject::connect(slider, &QAbstractSlider::valueChanged, slider, [slider](int value) {
      SendNotify(slider, kNotifyValueChanged, static_cast<std::uintptr_t>(value));
    });
  }
}

QAbstractButton* createButton(const QString& qtClassName, QWidget* parent) {
  QAbstractButton* button = nullptr;
  if (qtClassName == "QPushButton") button = new NotifyingButton<QPushButton>(parent);
  else if (qtClassName == "QToolButton") button = new NotifyingButton<QToolButton>(parent);
  else if (qtClassName == "QCheckBox") button = new NotifyingButton<QCheckBox>(parent);
  else if (qtClassName == "QRadioButton") button = new NotifyingButton<QRadioButton>(parent);
  if (button) hookControl(button);
  return button;
}

QString optionGroup(const QAbstractButton* option) {
  return option && option->group() ? option->group()->objectName() : QString();
}

}  // namespace ui
