#pragma once
#include "ui/lib/GifAnimUI.h"

// Told that the pointer left the animated picture.
class COGifAnimNotify {
 public:
  virtual void OnGifMouseLeave() = 0;

 protected:
  ~COGifAnimNotify() = default;
};

// An animated picture that reports the pointer leaving it (the talk window
// ends talking that way).
class COGifAnimUI : public CGifAnimUI {
  Q_OBJECT

 public:
  explicit COGifAnimUI(QWidget* parent = nullptr) : CGifAnimUI(parent) {}

  void SetNotify(COGifAnimNotify* receiver) { receiver_ = receiver; }

 protected:
  void leaveEvent(QEvent* event) override;

 private:
  COGifAnimNotify* receiver_ = nullptr;
};
