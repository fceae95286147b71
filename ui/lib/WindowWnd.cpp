#include "ui/lib/WindowWnd.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "ui/lib/SkinPaths.h"
#include "ui/lib/WindowHost.h"
#include "ui/lib/WindowRegistry.h"

// ---- WindowHost ----

WindowHost::WindowHost(CWindowWnd* window, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), window_(window) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
}

WindowHost::~WindowHost() {
  if (window_) window_->hostDestroyed();
}

INotifyUI* WindowHost::notifyTarget() { return window_ && !window_->IsClosed() ? target_ : nullptr; }

void WindowHost::setContent(QWidget* root, int caption, int sizeBox) {
  content_ = root;
  caption_ = std::max(0, caption);
  sizeBox_ = std::max(0, sizeBox);
  layout()->addWidget(root);
  root->installEventFilter(this);
  if (sizeBox_ > 0) root->setMouseTracking(true);
}

bool WindowHost::event(QEvent* event) {
  if (ui::dispatchPostedMessage(event, [this](const mc::WindowMessage& message) {
        if (window_) window_->deliver(message);
      }))
    return true;
  return QWidget::event(event);
}

void WindowHost::closeEvent(QCloseEvent* event) {
  if (window_ && !window_->IsClosed()) {
    event->ignore();
    window_->OnSysClose();
    return;
  }
  QWidget::closeEvent(event);
}

void WindowHost::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (window_) window_->deliver({ui::kMsgMove, static_cast<std::uintptr_t>(pos().x()), pos().y(), {}});
}

void WindowHost::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (window_) window_->deliver({ui::kMsgSize, static_cast<std::uintptr_t>(width()), height(), {}});
}

void WindowHost::keyPressEvent(QKeyEvent* event) {
  if (!window_) return QWidget::keyPressEvent(event);
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
    // Return in an edit is that edit's "return" notification.
    QWidget* focus = focusWidget();
    const bool inEdit = qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) ||
                        qobject_cast<QPlainTextEdit*>(focus);
    if (!(inEdit && key != Qt::Key_Escape) && window_->ResponseDefaultKeyEvent(key)) {
      event->accept();
      return;
    }
  }
  window_->deliver({ui::kMsgKeyDown, static_cast<std::uintptr_t>(key), 0, {}});
}

void WindowHost::keyReleaseEvent(QKeyEvent* event) {
  if (!window_) return QWidget::keyReleaseEvent(event);
  if (!event->isAutoRepeat())
    window_->deliver({ui::kMsgKeyUp, static_cast<std::uintptr_t>(event->key()), 0, {}});
}

Qt::Edges WindowHost::edgesAt(const QPoint& pos) const {
  Qt::Edges edges;
  if (sizeBox_ <= 0 || isMaximized()) return edges;
  if (pos.x() < sizeBox_) edges |= Qt::LeftEdge;
  if (pos.x() >= width() - sizeBox_) edges |= Qt::RightEdge;
  if (pos.y() < sizeBox_) edges |= Qt::TopEdge;
  if (pos.y() >= height() - sizeBox_) edges |= Qt::BottomEdge;
  return edges;
}

bool WindowHost::eventFilter(QObject* watched, QEvent* event) {
  if (watched != content_ || !window_) return QWidget::eventFilter(watched, event);
  // Presses reach the root only when no control under the pointer took them.
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton || !isWindow()) break;
      const QPoint pos = content_->mapTo(this, mouse->position().toPoint());
      if (const Qt::Edges edges = edgesAt(pos)) {
        if (windowHandle() && windowHandle()->startSystemResize(edges)) return true;
        break;
      }
      if (pos.y() >= caption_) break;
      if (windowHandle() && windowHandle()->startSystemMove()) return true;
      dragging_ = true;  // platforms without system moves
      dragOffset_ = mouse->globalPosition().toPoint() - frameGeometry().topLeft();
      return true;
    }
    case QEvent::MouseMove: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (dragging_ && (mouse->buttons() & Qt::LeftButton)) {
        move(mouse->globalPosition().toPoint() - dragOffset_);
        return true;
      }
      if (sizeBox_ > 0 && mouse->buttons() == Qt::NoButton) {
        const Qt::Edges edges = edgesAt(content_->mapTo(this, mouse->position().toPoint()));
        const bool diagonalA = edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge);
        const bool diagonalB = edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge);
        if (diagonalA) content_->setCursor(Qt::SizeFDiagCursor);
        else if (diagonalB) content_->setCursor(Qt::SizeBDiagCursor);
        else if (edges & (Qt::LeftEdge | Qt::RightEdge)) content_->setCursor(Qt::SizeHorCursor);
        else if (edges) content_->setCursor(Qt::SizeVerCursor);
        else content_->unsetCursor();
      }
      break;
    }
    case QEvent::MouseButtonRelease:
      if (dragging_) {
        dragging_ = false;
        return true;
      }
      break;
    case QEvent::MouseButtonDblClick: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton && content_->mapTo(this, mouse->position().toPoint()).y() < caption_) {
        window_->OnCaptionDoubleClick();
        return true;
      }
      break;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

// ---- CWindowWnd ----

CWindowWnd::CWindowWnd() = default;

CWindowWnd::~CWindowWnd() {
  for (QTimer* timer : timers_) delete timer;
  timers_.clear();
  ui::unregisterWindow(handle_);
  closed_ = true;
  if (modalLoop_) modalLoop_->exit(closeCode_);
  if (host_) {
    host_->detach();
    delete host_.data();
  }
}

mc::WindowHandle CWindowWnd::Create(mc::WindowHandle owner, const QString& title, std::uint32_t style,
                                    std::uint32_t exStyle, int x, int y, int cx, int cy) {
  if (created_) return mc::kNoWindow;
  created_ = true;
  style_ = style;
  QWidget* ownerWidget = owner != mc::kNoWindow ? qobject_cast<QWidget*>(ui::windowObject(owner)) : nullptr;
  Qt::WindowFlags flags;
  if (!(style & ui::kWsChild) || !ownerWidget) {
    flags = (style & ui::kWsPopup) ? Qt::Dialog : Qt::Window;
    flags |= Qt::FramelessWindowHint;
    if (exStyle & ui::kWsExToolWindow) flags |= Qt::Tool;
    if (exStyle & ui::kWsExTopmost) flags |= Qt::WindowStaysOnTopHint;
  }
  host_ = new WindowHost(this, ownerWidget, flags);
  host_->setObjectName(GetWindowClassName());
  host_->setWindowTitle(title);
  host_->setAttribute(Qt::WA_StyledBackground);
  host_->setProperty("mcWindow", true);  // the skin styles every window's own widget
  if (cx != ui::kUseDefault && cy != ui::kUseDefault && cx > 0 && cy > 0) host_->resize(cx, cy);
  if (x != ui::kUseDefault && y != ui::kUseDefault) host_->move(x, y);
  handle_ = ui::registerWindow(host_);
  if (!OnCreate()) {
    Close(-1);
    return mc::kNoWindow;
  }
  if (style & ui::kWsVisible) host_->show();
  return handle_;
}

int CWindowWnd::ShowModal() {
  if (!created_ || !host_ || modalLoop_) return -1;
  if (closed_) return closeCode_;
  const Qt::WindowModality modality = host_->parentWidget() ? Qt::WindowModal : Qt::ApplicationModal;
  if (host_->isWindow() && host_->windowModality() != modality) {
    if (host_->isVisible()) host_->hide();  // modality applies from the next show
    host_->setWindowModality(modality);
  }
  host_->show();
  host_->raise();
  host_->activateWindow();
  QEventLoop loop;
  modalLoop_ = &loop;
  loop.exec(QEventLoop::DialogExec);
  modalLoop_ = nullptr;
  return closeCode_;
}

void CWindowWnd::Close(int code) {
  if (closed_) return;
  closed_ = true;
  closeCode_ = code;
  for (QTimer* timer : timers_) {
    timer->stop();
    timer->deleteLater();  // Close may run inside that timer's tick
  }
  timers_.clear();
  ui::unregisterWindow(handle_);
  if (host_) host_->hide();
  if (modalLoop_) modalLoop_->exit(code);
  OnFinalMessage();
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
  if (!host_ || closed_) return;
  if (!show) {
    host_->hide();
    return;
  }
  host_->show();
  if (takeFocus) {
    host_->raise();
    host_->activateWindow();
  }
}

void CWindowWnd::CenterWindow() {
  if (!host_ || !host_->isWindow()) return;
  QRect area;
  if (QWidget* owner = host_->parentWidget(); owner && owner->window()->isVisible()) {
    area = owner->window()->frameGeometry();
  } else if (QScreen* screen = host_->screen()) {
    area = screen->availableGeometry();
  }
  if (area.isEmpty()) return;
  QRect frame = host_->frameGeometry();
  frame.moveCenter(area.center());
  if (QScreen* screen = host_->screen()) {
    const QRect desk = screen->availableGeometry();
    frame.moveLeft(std::clamp(frame.left(), desk.left(), std::max(desk.left(), desk.right() - frame.width() + 1)));
    frame.moveTop(std::clamp(frame.top(), desk.top(), std::max(desk.top(), desk.bottom() - frame.height() + 1)));
  }
  host_->move(frame.topLeft());
}

void CWindowWnd::SetIcon(int resourceId) {
  if (!host_) return;
  const QString file = QString("%1/Icon/%2.png").arg(ui::skinRoot()).arg(resourceId);
  if (QFileInfo::exists(file)) host_->setWindowIcon(QIcon(file));
}

bool CWindowWnd::SetTimer(unsigned id, unsigned milliseconds) {
  if (!host_ || closed_) return false;
  QTimer* timer = timers_.value(id);
  if (!timer) {
    timer = new QTimer(host_);
    QObject::connect(timer, &QTimer::timeout, host_, [this, id] { deliver({ui::kMsgTimer, id, 0, {}}); });
    timers_.insert(id, timer);
  }
  timer->start(static_cast<int>(std::min<unsigned>(milliseconds, 0x7FFFFFFF)));
  return true;
}

bool CWindowWnd::KillTimer(unsigned id) {
  QTimer* timer = timers_.take(id);
  if (!timer) return false;
  timer->stop();
  timer->deleteLater();  // a timer may be killed from its own tick
  return true;
}

QWidget* CWindowWnd::GetWidget() const { return host_; }

WindowHost* CWindowWnd::host() const { return host_; }

CWindowWnd* CWindowWnd::FromHandle(mc::WindowHandle handle) {
  auto* host = dynamic_cast<WindowHost*>(ui::windowObject(handle));
  return host ? host->window() : nullptr;
}

CWindowWnd* CWindowWnd::FromWidget(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget())
    if (auto* host = dynamic_cast<const WindowHost*>(w)) return host->window();
  return nullptr;
}

bool CWindowWnd::HandleMessage(const mc::WindowMessage&) { return false; }

bool CWindowWnd::ResponseDefaultKeyEvent(int) { return false; }

void CWindowWnd::OnSysClose() { Close(ui::kIdCancel); }

void CWindowWnd::OnCaptionDoubleClick() {
  if (!host_ || !(style_ & ui::kWsMaximizeBox)) return;
  if (host_->isMaximized()) host_->showNormal();
  else host_->showMaximized();
}

void CWindowWnd::deliver(const mc::WindowMessage& message) {
  if (closed_) return;
  HandleMessage(message);
}

void CWindowWnd::hostDestroyed() {
  for (QTimer* timer : timers_) timer->stop();  // children of the host, going with it
  timers_.clear();
  ui::unregisterWindow(handle_);
  if (!closed_) {
    closed_ = true;
    if (modalLoop_) modalLoop_->exit(closeCode_);
  }
  host_ = nullptr;
}
