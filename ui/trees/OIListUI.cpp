#include "ui/trees/OIListUI.h"

#include <QContextMenuEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "ui/lib/Notify.h"

namespace {
constexpr int kAnglePerNotch = 120;  // QWheelEvent::angleDelta of one notch
}

OIListUI::OIListUI(QWidget* parent) : CListUI(parent) {
  // The rows sit in the list's scroll area; wheel events reach its viewport
  // (rows ignore them) or its scroll bar.
  if (auto* area = findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly)) {
    area->viewport()->installEventFilter(this);
    area->verticalScrollBar()->installEventFilter(this);
  }
}

int OIListUI::decayedSpeed() const {
  if (stepsLeft_ <= 0 || stepCount_ <= 0) return 0;
  const double share = static_cast<double>(stepsLeft_) / stepCount_;
  return static_cast<int>(speed_ * share * share);
}

void OIListUI::OnWheel(bool up) {
  const int current = decayedSpeed();
  int next = 0;
  if (up) next = current + (speed_ >= 0 ? kSpeedStep : kReverseStep);
  else next = current - (speed_ <= 0 ? kSpeedStep : kReverseStep);
  speed_ = std::clamp(next, -kMaxSpeed, kMaxSpeed);
  stepCount_ = stepsLeft_ = 5 * static_cast<int>(std::floor(std::sqrt(std::abs(speed_))));
  timer_.start(kTickMs, this);
}

void OIListUI::OnScrollTick() {
  QScrollBar* bar = GetVerticalScrollBar();
  const int pos = bar->value();
  const bool atEnd = speed_ > 0 ? pos <= bar->minimum() : pos >= bar->maximum();
  if (stepsLeft_ <= 0 || speed_ == 0 || atEnd) {
    StopScrolling();
    return;
  }
  --stepsLeft_;
  bar->setValue(pos - decayedSpeed());
}

void OIListUI::StopScrolling() {
  speed_ = stepCount_ = stepsLeft_ = 0;
  timer_.stop();
}

void OIListUI::timerEvent(QTimerEvent* event) {
  if (event->timerId() == timer_.timerId()) {
    OnScrollTick();
    return;
  }
  CListUI::timerEvent(event);
}

bool OIListUI::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Wheel) {
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    if (delta != 0) {
      if ((delta > 0) != (wheelAngle_ > 0)) wheelAngle_ = 0;  // a new direction starts afresh
      wheelAngle_ += delta;
      while (std::abs(wheelAngle_) >= kAnglePerNotch) {
        const bool up = wheelAngle_ > 0;
        wheelAngle_ += up ? -kAnglePerNotch : kAnglePerNotch;
        OnWheel(up);
      }
    }
    event->accept();
    return true;  // the animation replaces the scroll area's own stepping
  }
  return CListUI::eventFilter(watched, event);
}

void OIListUI::contextMenuEvent(QContextMenuEvent* event) {
  event->accept();
  if (!isEnabled()) return;
  ui::SendNotify(notifySender(), ui::kNotifyNodeMenu, 0, 0, mapTo(window(), event->pos()));
}
