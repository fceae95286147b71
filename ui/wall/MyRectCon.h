#pragma once
#include <QWidget>

// The selection frame of the video wall: a 1-pixel red frame around the
// selected pane. Only the frame itself belongs to the widget (a mask), so the
// pane inside stays visible and takes the mouse.
class MyRectCon : public QWidget {
  Q_OBJECT

 public:
  explicit MyRectCon(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
};
