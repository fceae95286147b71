#include "ui/controls/OGifAnimUI.h"

void COGifAnimUI::leaveEvent(QEvent* event) {
  if (receiver_) receiver_->OnGifMouseLeave();
  CGifAnimUI::leaveEvent(event);
}
