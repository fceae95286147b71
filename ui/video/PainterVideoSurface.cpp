#include "ui/video/PainterVideoSurface.h"

#include <QPainter>

extern "C" {
#include <libswscale/swscale.h>
}

#include "core/OLog.h"
#include "ui/video/PaneFrameMailbox.h"

void PainterVideoSurface::ScalerDeleter::operator()(SwsContext* context) const { sws_freeContext(context); }

PainterVideoSurface::PainterVideoSurface(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);  // the pane handles the mouse
  setAttribute(Qt::WA_OpaquePaintEvent);
}

PainterVideoSurface::~PainterVideoSurface() = default;

void PainterVideoSurface::setMailbox(std::shared_ptr<PaneFrameMailbox> mailbox) {
  mailbox_ = std::move(mailbox);
  convertedSequence_ = 0;
  update();
}

bool PainterVideoSurface::convert(const PresentedFrame& frame, const QSize& size) {
  const Yv12View picture = frame.picture.view();
  // Chroma is shared by 2 x 2 pixels: the crop starts on even coordinates.
  const int left = frame.source.left & ~1, top = frame.source.top & ~1;
  const int width = frame.source.right - left, height = frame.source.bottom - top;
  const int chromaStride = picture.width / 2;
  const std::size_t chromaOffset = static_cast<std::size_t>(top / 2) * chromaStride + left / 2;
  const std::uint8_t* const planes[4] = {
      picture.luma() + static_cast<std::size_t>(top) * picture.width + left,
      picture.cb() + chromaOffset,
      picture.cr() + chromaOffset,
      nullptr,
  };
  const int strides[4] = {picture.width, chromaStride, chromaStride, 0};

  scaler_.reset(sws_getCachedContext(scaler_.release(), width, height, AV_PIX_FMT_YUV420P, size.width(),
                                     size.height(), AV_PIX_FMT_RGB32,
                                     SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP,
                                     nullptr, nullptr, nullptr));
  if (!scaler_) {
    if (!failureReported_)
      LOG_ERROR("video pane: libswscale cannot scale %dx%d to %dx%d", width, height, size.width(), size.height());
    failureReported_ = true;
    return false;
  }
  const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
  sws_setColorspaceDetails(scaler_.get(), bt601, 0, bt601, 1, 0, 1 << 16, 1 << 16);

  if (converted_.size() != size) converted_ = QImage(size, QImage::Format_RGB32);
  std::uint8_t* const out[4] = {converted_.bits(), nullptr, nullptr, nullptr};
  const int outStrides[4] = {static_cast<int>(converted_.bytesPerLine()), 0, 0, 0};
  if (sws_scale(scaler_.get(), planes, strides, 0, height, out, outStrides) <= 0) {
    if (!failureReported_) LOG_ERROR("video pane: libswscale did not convert the picture");
    failureReported_ = true;
    return false;
  }
  failureReported_ = false;
  return true;
}

void PainterVideoSurface::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kPaneBackground);
  const PresentedFrame* frame = mailbox_ ? mailbox_->take() : nullptr;
  if (!frame || !isValidSourceRect(frame->source, frame->picture.width(), frame->picture.height())) return;
  const QRect dest = frameDestination(*frame, size());
  if (dest.isEmpty()) return;
  const bool current = frame->sequence == convertedSequence_ && converted_.size() == dest.size() &&
                       frame->source == convertedSource_;
  if (!current) {
    convertedSequence_ = 0;
    if (!convert(*frame, dest.size())) return;
    convertedSequence_ = frame->sequence;
    convertedSource_ = frame->source;
  }
  painter.drawImage(dest.topLeft(), converted_);
}
