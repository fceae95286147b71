#include "ui/video/PaneRenderTarget.h"

#include <QCoreApplication>
#include <QThread>
#include <cstring>

#include "ui/lib/WindowRegistry.h"
#include "ui/video/PaneFrameMailbox.h"
#include "ui/video/VideoPaneWidget.h"

namespace {

bool onUiThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

}  // namespace

PaneRenderTarget::PaneRenderTarget(mc::WindowHandle window)
    : mailbox_(std::make_shared<PaneFrameMailbox>()), window_(window) {}

PaneRenderTarget::~PaneRenderTarget() { tellPane(mailbox_->clear()); }

bool PaneRenderTarget::Open(int format, mc::WindowHandle window, int width, int height, const DisplayTrims& trims) {
  trims_ = trims;
  window_ = window;
  format_ = format;
  return OpenFor(width, height);
}

bool PaneRenderTarget::OpenFor(int width, int height) {
  open_ = false;
  width_ = width;
  height_ = height;
  const mc::WindowHandle window = window_;
  if (window == mc::kNoWindow || window == static_cast<mc::WindowHandle>(-1)) return false;
  if (format_ != kFormatYv12 || width <= 0 || height <= 0 || width % 2 || height % 2) return false;
  if (!ui::isWindow(window)) return false;
  source_ = PixelRect{0, 0, width, height};
  open_ = true;
  return true;
}

void PaneRenderTarget::Close() {
  open_ = false;
  rendered_ = false;
}

bool PaneRenderTarget::Render(const std::uint8_t* picture, int width, int height) {
  if (width != width_ || height != height_) {
    Close();
    OpenFor(width, height);
  }
  if (!open_ || !picture) return true;
  Yv12Picture& buffer = mailbox_->writeBuffer();
  buffer.resize(width, height);
  std::memcpy(buffer.data(), picture, buffer.size());
  source_ = PixelRect{0, 0, width, height};
  rendered_ = true;
  return true;
}

bool PaneRenderTarget::SetSourceRect(int top, int bottom, int left, int right) {
  const PixelRect rect{left, top, right, bottom};
  if (!isValidSourceRect(rect, width_, height_)) return false;
  source_ = rect;
  return true;
}

bool PaneRenderTarget::Present() {
  if (!open_ || !ui::isWindow(window_)) return false;
  if (!rendered_) return true;  // nothing new: the pane keeps what it shows
  rendered_ = false;
  tellPane(mailbox_->publish(source_, trims_));
  return true;
}

void PaneRenderTarget::SetTrims(const DisplayTrims& trims) { trims_ = trims; }

void PaneRenderTarget::Erase() { tellPane(mailbox_->clear()); }

WindowGeometry PaneRenderTarget::Geometry() const {
  if (onUiThread()) {
    if (const VideoPaneWidget* pane = findVideoPane(window_)) return pane->clientGeometry();
    return WindowGeometry{};
  }
  return mailbox_->geometry();
}

void PaneRenderTarget::tellPane(bool needed) {
  if (!needed) return;
  if (!ui::postWindowMessage(window_, mc::WindowMessage{VideoPaneWidget::kMsgVideoNotice, 0, 0, mailbox_}))
    mailbox_->noticeLost();
}

RenderTargetFactory paneRenderTargetFactory() {
  return [](mc::WindowHandle window) -> std::unique_ptr<IRenderTarget> {
    return std::make_unique<PaneRenderTarget>(window);
  };
}

void installPaneRenderTargets() { setRenderTargetFactory(paneRenderTargetFactory()); }
