#pragma once
#include <QProgressBar>

// The progress bar of the skin (layouts use QProgressBar): no text by default;
// its "bkimage" and "foreimage" draw the track and the filled part.
class CProgressUI : public QProgressBar {
  Q_OBJECT

 public:
  explicit CProgressUI(QWidget* parent = nullptr) : QProgressBar(parent) { setTextVisible(false); }

  void SetValue(int value) { setValue(value); }
  int GetValue() const { return value(); }
  void SetMinValue(int value) { setMinimum(value); }
  void SetMaxValue(int value) { setMaximum(value); }
};
