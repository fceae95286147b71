#pragma once
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include "ui/lib/Notify.h"

class CWindowWnd;

// The Qt widget of a CWindowWnd (library-internal). It turns Qt's events into
// the window's messages, hands the notifications of its controls to the
// window, and lets the layout's caption move the window and its edges resize
// it.
class WindowHost : public QWidget, public ui::NotifyRoot {
 public:
  WindowHost(CWindowWnd* window, QWidget* parent, Qt::WindowFlags flags);
  ~WindowHost() override;

  CWindowWnd* window() const { return window_; }
  void detach() { window_ = nullptr; }

  void setNotifyTarget(INotifyUI* target) { target_ = target; }
  INotifyUI* notifyTarget() override;

  // Puts the layout's root widget into the window. `caption` is the height of
  // the draggable top area, `sizeBox` the width of the resizing edges
  // (0: not resizable).
  void setContent(QWidget* root, int caption, int sizeBox);
  QWidget* content() const { return content_; }

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Qt::Edges edgesAt(const QPoint& pos) const;

  CWindowWnd* window_;
  INotifyUI* target_ = nullptr;
  QPointer<QWidget> content_;
  int caption_ = 0;
  int sizeBox_ = 0;
  bool dragging_ = false;
  QPoint dragOffset_;
};
