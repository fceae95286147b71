#pragma once
#include <QRect>
#include <QString>
#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

#include "ui/lib/ProgressUI.h"

// Told the time of day the operator clicked on the play progress control.
class IPlayProgressNofity {
 public:
  // `time` as "HH:MM:SS".
  virtual void OnPlayProgressClick(const QString& time) = 0;

 protected:
  ~IPlayProgressNofity() = default;
};

// The 24-hour progress control of the playback page (layout class
// "PlayProgress"): an hour scale, the recorded stretches of the day, the
// playing minute, and the time under the pointer. Works best about 30 pixels
// high.
class CPlayProgressUI : public CProgressUI {
  Q_OBJECT

 public:
  using Segment = std::pair<std::int32_t, std::int32_t>;  // start, end in minutes of the day

  explicit CPlayProgressUI(IPlayProgressNofity* receiver, QWidget* parent = nullptr);

  // UI thread: replaces the recorded stretches and repaints.
  void SetSegments(std::vector<Segment> segments);
  const std::vector<Segment>& GetSegments() const { return segments_; }
  // Any thread: the playing minute (-1 or 0: no marker), repainted soon. The
  // caller keeps the control alive while it calls.
  void SetPosition(std::int32_t minute);
  std::int32_t GetPosition() const { return position_.load(); }

  int GetPointerX() const { return pointerX_; }
  bool IsHovering() const { return hovering_; }

  // The seconds of the day at `x` pixels from the left edge (kept inside the
  // control), and their "HH:MM:SS" text.
  int secondsAt(int x) const;
  static QString timeText(int seconds);
  // Painting geometry in the control's coordinates.
  int minuteX(int minute) const;
  QRect hoverBox() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  IPlayProgressNofity* receiver_;
  std::vector<Segment> segments_;
  std::atomic<std::int32_t> position_{-1};
  std::int32_t pointerX_ = 0;
  bool hovering_ = false;
};
