#pragma once
#include <QPointer>
#include <QString>
#include <QWidget>

#include "ui/lib/Notify.h"
#include "ui/lib/SkinLoader.h"
#include "ui/lib/WindowWnd.h"

// A window whose content is a layout of the skin: GetSkinFolder names the
// folder ("Skin", "WinSub"), GetSkinFile the layout file in it. Create loads
// the layout, lets CreateControl build the custom controls it names, then
// calls InitWindow. Controls are found by name; their notifications arrive at
// Notify, and "click" goes on to OnClick.
//
// Layout root properties: "caption" (height of the draggable top area in
// pixels), "sizebox" (width of the resizing edges; only with kWsThickFrame).
// The layout's own size, when it has one, wins over the size given to Create.
class WindowImplBase : public CWindowWnd, public INotifyUI, public IControlFactory {
 public:
  WindowImplBase();
  ~WindowImplBase() override;

  // The first control of that name in the window; null when absent.
  QWidget* FindControl(const QString& name) const;
  template <class T>
  T* FindControl(const QString& name) const {
    return qobject_cast<T*>(FindControl(name));
  }
  // A control of that name inside `container` (a container, a list row built
  // from a template).
  static QWidget* FindSubControl(const QWidget* container, const QString& name);
  template <class T>
  static T* FindSubControl(const QWidget* container, const QString& name) {
    return qobject_cast<T*>(FindSubControl(container, name));
  }
  static QWidget* FindSubControlByName(const QWidget* item, const QString& name) {
    return FindSubControl(item, name);
  }

  // The layout's root widget; null before Create or when it failed.
  QWidget* GetRoot() const { return root_; }
  // The folder the layout and its images come from.
  QString GetSkinPath() const;

  // The library's handling: "click" goes to OnClick. Windows that override
  // Notify end by calling this.
  void Notify(TNotifyUI& msg) override;

 protected:
  virtual QString GetSkinFolder() const { return QStringLiteral("Skin"); }
  virtual QString GetSkinFile() const = 0;
  // Runs once the layout exists, before the window is shown.
  virtual void InitWindow() {}
  // Custom controls of the layout; null for class names the window does not
  // know.
  QWidget* CreateControl(const QString& className, QWidget* parent) override;
  // The standard caption buttons: "closebtn" closes with kIdCancel,
  // "minbtn", "maxbtn" and "restorebtn" minimise, maximise and restore.
  virtual void OnClick(TNotifyUI& msg);

  bool OnCreate() override;

 private:
  QPointer<QWidget> root_;
};
