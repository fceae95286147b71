#pragma once
#include <QDateTimeEdit>

// The date-time picker (layouts use QDateTimeEdit or QDateEdit); opens a
// calendar to pick the day.
class CDateTimeUI : public QDateTimeEdit {
  Q_OBJECT

 public:
  explicit CDateTimeUI(QWidget* parent = nullptr) : QDateTimeEdit(QDateTime::currentDateTime(), parent) {
    setCalendarPopup(true);
  }

  QDateTime GetTime() const { return dateTime(); }
  void SetTime(const QDateTime& time) { setDateTime(time); }
};
