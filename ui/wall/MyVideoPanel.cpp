#include "ui/wall/MyVideoPanel.h"

#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "camera/CCameraLogic.h"
#include "camera/CCameraPlayBack.h"
#include "common/Messages.h"
#include "ui/wall/PaneCameras.h"
#include "ui/wall/VideoPanelNotify.h"

MyVideoPanel::MyVideoPanel(VideoSurfaceKind surface, int kind, VideoPanelNotify* wall,
                           std::shared_ptr<IPaneCameras> cameras, QString animationFile, QWidget* parent)
    : VideoPaneWidget(surface, parent),
      kind_(kind),
      wall_(wall),
      cameras_(std::move(cameras)),
      animationFile_(std::move(animationFile)) {
  setMouseTracking(true);
  animationTimer_.setTimerType(Qt::CoarseTimer);
  connect(&animationTimer_, &QTimer::timeout, this, [this] {
    if (frames_.empty()) return;
    frame_ = (frame_ + 1) % static_cast<int>(frames_.size());
    update();
  });
}

MyVideoPanel::~MyVideoPanel() = default;

void MyVideoPanel::HandleMessage(const mc::WindowMessage& message) {
  if (message.id == mc::msg::MSG_PANE_LOADING) startAnimation();
  else if (message.id == mc::msg::MSG_PANE_LOADED) stopAnimation();
}

bool MyVideoPanel::loadAnimation() {
  if (animationLoaded_) return !frames_.empty();
  animationLoaded_ = true;
  QImageReader reader(animationFile_);
  reader.setDecideFormatFromContent(true);
  while (reader.canRead()) {
    const int delay = reader.nextImageDelay();
    QImage image = reader.read();
    if (image.isNull()) break;
    if (frames_.empty()) firstDelayMs_ = delay;
    frames_.push_back(std::move(image));
  }
  return !frames_.empty();
}

void MyVideoPanel::startAnimation() {
  if (!loadAnimation() || animating_) return;
  animationTimer_.start(firstDelayMs_ > 0 ? firstDelayMs_ : 100);
  animating_ = true;
  update();
}

void MyVideoPanel::stopAnimation() {
  animationTimer_.stop();
  frame_ = 0;
  animating_ = false;
  update();
}

void MyVideoPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kPaneBackground);
  if (!animating_ || frames_.empty()) return;
  const QImage& image = frames_[static_cast<std::size_t>(frame_)];
  const QSize box(std::min(kAnimationMaxSide, width()), std::min(kAnimationMaxSide, height()));
  const QSize drawn = image.size().scaled(box, Qt::KeepAspectRatio);
  const QRect target(QPoint((width() - drawn.width()) / 2, (height() - drawn.height()) / 2), drawn);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, image);
}

void MyVideoPanel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) wall_->OnLButtonDown(index_);
  else if (event->button() == Qt::RightButton) wall_->OnSelect(index_);
  event->accept();
}

MyVideoPanel* MyVideoPanel::paneUnder(const QPointF& globalPosition) const {
  QWidget* parent = parentWidget();
  if (!parent) return nullptr;
  for (QWidget* w = parent->childAt(parent->mapFromGlobal(globalPosition.toPoint())); w && w != parent;
       w = w->parentWidget())
    if (auto* pane = qobject_cast<MyVideoPanel*>(w)) return pane;
  return nullptr;
}

void MyVideoPanel::mouseReleaseEvent(QMouseEvent* event) {
  // The release reaches the pane the button went down in; the drop goes to
  // the pane under the pointer.
  if (event->button() == Qt::LeftButton) {
    if (MyVideoPanel* target = paneUnder(event->globalPosition())) wall_->OnLButtonUp(target->index());
  }
  event->accept();
}

void MyVideoPanel::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) wall_->OnDoubleClick(index_);
  event->accept();
}

void MyVideoPanel::wheelEvent(QWheelEvent* event) {
  event->accept();
  const SxtParamPtr shown = camera();
  if (!shown || !cameras_) return;
  std::shared_ptr<CCameraLogic> view;
  if (kind_ == kLive) view = cameras_->live(shown);
  else view = cameras_->playback(shown);
  if (!view || !view->zooming) return;
  const QPoint at = event->globalPosition().toPoint();
  const int delta = std::clamp(event->angleDelta().y(), -32768, 32767);
  cameras_->zoom(view, at.x(), at.y(), static_cast<std::int16_t>(delta));
}

bool MyVideoPanel::event(QEvent* event) {
  if (event->type() == QEvent::Enter) wall_->OnHover(index_);
  return VideoPaneWidget::event(event);
}
