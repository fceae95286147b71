#pragma once
#include <QBasicTimer>

#include "ui/lib/ListUI.h"

// A list that scrolls by an animated, accelerating wheel and reports a right
// click as "node_menu" (only while enabled; the point is in the window's
// coordinates).
//
// Wheel: each notch turns what is left of the current speed,
// speed × (steps left / step count)², into the new speed: +8 up when the list
// was not moving down, +12 when it was (a reversal brakes harder), and the
// mirror for down; clamped to −100 … 100. The speed then decays over
// 5 × ⌊√|speed|⌋ ticks of 50 ms, each moving the list by
// speed × (steps left / step count)² pixels (positive is up), and stops at
// either end of the range. UI thread only.
class OIListUI : public CListUI {
  Q_OBJECT

 public:
  static constexpr int kMaxSpeed = 100;
  static constexpr int kSpeedStep = 8;
  static constexpr int kReverseStep = 12;
  static constexpr int kTickMs = 50;

  explicit OIListUI(QWidget* parent = nullptr);

  // One wheel notch (`up`: towards the top of the list).
  void OnWheel(bool up);
  // One tick of the scroll animation.
  void OnScrollTick();
  // Ends the animation at once.
  void StopScrolling();

  int scrollSpeed() const { return speed_; }
  int scrollStepCount() const { return stepCount_; }
  int scrollStepsLeft() const { return stepsLeft_; }
  bool isScrollAnimating() const { return timer_.isActive(); }

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  // speed × (steps left / step count)², truncated towards zero.
  int decayedSpeed() const;

  int speed_ = 0;
  int stepCount_ = 0;
  int stepsLeft_ = 0;
  int wheelAngle_ = 0;  // high-resolution wheels send parts of a notch
  QBasicTimer timer_;
};

namespace ui {
inline const QString kNotifyNodeMenu = QStringLiteral("node_menu");
}
