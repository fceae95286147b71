#include "ui/wall/MyRectCon.h"

#include <QPainter>
#include <QRegion>

MyRectCon::MyRectCon(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void MyRectCon::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(255, 0, 0));  // the mask leaves only the frame
}

void MyRectCon::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const QRegion outer(rect());
  setMask(width() > 2 && height() > 2 ? outer.subtracted(QRegion(rect().adjusted(1, 1, -1, -1))) : outer);
}
