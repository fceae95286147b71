#pragma once
#include <QLabel>
#include <memory>

class QMovie;

// An animated picture (GIF) that plays in a loop. Layouts give the file as
// its "bkimage" (a skin file name); "autoplay" false keeps it still until
// PlayGif.
class CGifAnimUI : public QLabel {
  Q_OBJECT

 public:
  explicit CGifAnimUI(QWidget* parent = nullptr);
  ~CGifAnimUI() override;

  // Loads the animation from a file path; false when it cannot be read (the
  // control then shows nothing).
  bool SetBkImage(const QString& path);
  void PlayGif();
  void PauseGif();
  void StopGif();
  bool IsPlaying() const;
  int GetFrameCount() const;

 private:
  std::unique_ptr<QMovie> movie_;
};
