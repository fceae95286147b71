#include "ui/controls/PlayProgressUI.h"

#include <QMouseEvent>
#include <QPainter>
#include <QThread>
#include <algorithm>

namespace {

constexpr QRgb kScaleColour = 0xFF747474;
constexpr QRgb kTrackColour = 0xFFE4E4E4;
constexpr QRgb kTrackBorderColour = 0xFFC6C6C6;
constexpr QRgb kSegmentColour = 0xFF177AD4;
constexpr QRgb kPositionColour = 0xFFE55917;
constexpr QRgb kHoverColour = 0xFFFF6965;
constexpr int kHoverBoxWidth = 50;

// The rectangle from (left, top) to (right, bottom), right and bottom
// excluded; empty when they cross.
QRect span(int left, int top, int right, int bottom) {
  return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

}  // namespace

CPlayProgressUI::CPlayProgressUI(IPlayProgressNofity* receiver, QWidget* parent)
    : CProgressUI(parent), receiver_(receiver) {
  setMouseTracking(true);
  setAttribute(Qt::WA_Hover);
  setRange(0, 1440);
  reset();
}

void CPlayProgressUI::SetSegments(std::vector<Segment> segments) {
  segments_ = std::move(segments);
  update();
}

void CPlayProgressUI::SetPosition(std::int32_t minute) {
  position_.store(minute);
  if (QThread::currentThread() == thread()) update();
  else QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

int CPlayProgressUI::secondsAt(int x) const {
  const int w = width();
  if (w <= 0) return 0;
  const int inside = std::clamp(x, 0, w - 1);
  return static_cast<int>(inside * (86400.0 / w));
}

QString CPlayProgressUI::timeText(int seconds) {
  return QString::asprintf("%02d:%02d:%02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
}

int CPlayProgressUI::minuteX(int minute) const { return static_cast<int>(minute * width() / 1440.0); }

QRect CPlayProgressUI::hoverBox() const {
  const int right = width();
  const int left = right < pointerX_ + kHoverBoxWidth ? right - kHoverBoxWidth : pointerX_;
  return span(left, 12, left + kHoverBoxWidth, height());
}

void CPlayProgressUI::paintEvent(QPaintEvent* event) {
  CProgressUI::paintEvent(event);
  QPainter painter(this);
  const int L = 0, T = 0, R = width(), B = height(), W = width();
  const int textFlags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip;
  painter.setFont(font());

  // Hour scale: ticks at odd hours, numbers at even ones.
  for (int q = 0; q <= 24; ++q) {
    const int x = L + static_cast<int>(q * W / 24.0);
    painter.setPen(QColor::fromRgba(kScaleColour));
    if (q % 2) painter.fillRect(span(x, T + 6, x + 1, B - 14), QColor::fromRgba(kScaleColour));
    else painter.drawText(span(x - 6, T - 3, x + 6, B - 14), textFlags, QString::number(q));
  }

  // Track and its border.
  painter.fillRect(span(L, T + 12, R, B), QColor::fromRgba(kTrackColour));
  painter.setPen(QColor::fromRgba(kTrackBorderColour));
  painter.setBrush(Qt::NoBrush);
  const QRect border = span(L, T + 12, R, B - 4);
  if (!border.isEmpty()) painter.drawRect(border.adjusted(0, 0, -1, -1));

  // Recorded stretches.
  for (const auto& [start, end] : segments_)
    painter.fillRect(span(L + minuteX(start), T + 15, L + minuteX(end), B - 7), QColor::fromRgba(kSegmentColour));

  // Playing minute.
  if (const int position = position_.load(); position > 0) {
    const int x = L + minuteX(position);
    painter.fillRect(span(x - 1, T + 3, x + 1, B - 2), QColor::fromRgba(kPositionColour));
  }

  // Time under the pointer.
  if (hovering_) {
    painter.setPen(QColor::fromRgba(kHoverColour));
    painter.drawText(hoverBox(), textFlags, timeText(secondsAt(pointerX_)));
  }
}

void CPlayProgressUI::mouseMoveEvent(QMouseEvent* event) {
  pointerX_ = event->position().toPoint().x();
  CProgressUI::mouseMoveEvent(event);
  update();
}

void CPlayProgressUI::mouseReleaseEvent(QMouseEvent* event) {
  pointerX_ = event->position().toPoint().x();
  CProgressUI::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && receiver_ && width() > 0)
    receiver_->OnPlayProgressClick(timeText(secondsAt(pointerX_)));
  update();
}

void CPlayProgressUI::enterEvent(QEnterEvent* event) {
  hovering_ = true;
  pointerX_ = event->position().toPoint().x();
  CProgressUI::enterEvent(event);
  update();
}

void CPlayProgressUI::leaveEvent(QEvent* event) {
  hovering_ = false;
  CProgressUI::leaveEvent(event);
  update();
}
