#include "ui/video/VideoPaneWidget.h"

#include <QEvent>
#include <QPainter>

#include "ui/lib/WindowRegistry.h"

VideoPaneWidget::VideoPaneWidget(VideoSurfaceKind kind, QWidget* parent)
    : QWidget(parent), surface_(createVideoSurface(kind, this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  surface_->widget()->hide();
  surface_->widget()->setGeometry(rect());
  handle_ = ui::registerWindow(this);
}

VideoPaneWidget::~VideoPaneWidget() {
  ui::unregisterWindow(handle_);
  surface_.reset();  // before QWidget takes the children down
}

bool VideoPaneWidget::showsVideo() const { return mailbox_ && !surface_->widget()->isHidden(); }

PaneVideoStats VideoPaneWidget::videoStats() const { return mailbox_ ? mailbox_->stats() : PaneVideoStats{}; }

WindowGeometry VideoPaneWidget::clientGeometry() const {
  const QPoint origin = mapToGlobal(QPoint(0, 0));
  return WindowGeometry{origin.x(), origin.y(), width(), height()};
}

QImage VideoPaneWidget::grabPane() {
  if (showsVideo()) return surface_->grabFrame();
  return grab().toImage();
}

void VideoPaneWidget::HandleMessage(const mc::WindowMessage&) {}

bool VideoPaneWidget::event(QEvent* event) {
  if (ui::dispatchPostedMessage(event, [this](const mc::WindowMessage& message) {
        if (message.id == kMsgVideoNotice)
          onVideoNotice(std::static_pointer_cast<PaneFrameMailbox>(message.payload));
        else
          HandleMessage(message);
      }))
    return true;
  if (event->type() == QEvent::Show) publishGeometry();
  return QWidget::event(event);
}

void VideoPaneWidget::onVideoNotice(const std::shared_ptr<PaneFrameMailbox>& mailbox) {
  if (!mailbox) return;
  mailbox->noticeTaken();
  if (mailbox != mailbox_) {
    // A clear from a video that is no longer the pane's changes nothing; a
    // picture from another video makes that one the pane's.
    if (!mailbox->hasPicture()) return;
    mailbox_ = mailbox;
    surface_->setMailbox(mailbox_);
    publishGeometry();
  }
  QWidget* surface = surface_->widget();
  if (mailbox_->hasPicture()) {
    if (surface->isHidden()) {
      surface->setGeometry(rect());
      surface->show();
    }
    surface_->frameArrived();
  } else if (!surface->isHidden()) {
    surface->hide();
    update();
  }
}

void VideoPaneWidget::publishGeometry() {
  if (mailbox_) mailbox_->setGeometry(clientGeometry());
}

void VideoPaneWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kPaneBackground);
}

void VideoPaneWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  surface_->widget()->setGeometry(rect());
  publishGeometry();
}

void VideoPaneWidget::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  publishGeometry();
}

VideoPaneWidget* findVideoPane(mc::WindowHandle handle) {
  for (QObject* object = ui::windowObject(handle); object; object = object->parent())
    if (auto* pane = qobject_cast<VideoPaneWidget*>(object)) return pane;
  return nullptr;
}
