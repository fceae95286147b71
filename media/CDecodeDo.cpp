#include "media/CDecodeDo.h"

#include <algorithm>
#include <cstring>

#include "core/OLog.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace {

const char* cameraId(const SxtParamPtr& camera) { return camera ? camera->id.c_str() : ""; }

void copyPlane(std::uint8_t* to, int toStride, const std::uint8_t* from, int fromStride, int width, int rows) {
  for (int row = 0; row < rows; ++row)
    std::memcpy(to + static_cast<std::ptrdiff_t>(row) * toStride, from + static_cast<std::ptrdiff_t>(row) * fromStride,
                static_cast<std::size_t>(width));
}

}  // namespace

CDecodeDo::CDecodeDo(SxtParamPtr cameraRecord, std::weak_ptr<IVideoState> videoState)
    : IVideoDo(kDecodeDo, std::move(cameraRecord), std::move(videoState)) {}

CDecodeDo::~CDecodeDo() = default;

bool CDecodeDo::Reset() {
  std::lock_guard guard(lock);
  ReleaseDecoder();
  return true;
}

bool CDecodeDo::Stop() {
  std::lock_guard guard(lock);
  ReleaseDecoder();
  return true;
}

void CDecodeDo::ReleaseDecoder() {
  decoder.reset();
  decoderWidth_ = 0;
  decoderHeight_ = 0;
}

bool CDecodeDo::Process(VideoDoContext* context) {
  std::lock_guard guard(lock);
  if (!context || !context->frame) return false;
  StreamVideoFrame& f = *context->frame;
  const int width = static_cast<int>(f.width());
  const int height = static_cast<int>(f.height());

  context->payload = f.payload.data();
  context->payloadLength = f.payloadLength();
  const bool ok = EnsureDecoder(width, height) && context->payloadLength > 0 &&
                  context->payloadLength <= f.payload.size() &&
                  Decode(f.payload.data(), context->payloadLength, width, height);
  if (!ok) {
    context->picture = nullptr;
    context->pictureSize = 0;
    return false;
  }
  context->decoded = true;
  context->picture = pictureBuffer.data();
  context->width = static_cast<std::uint32_t>(width);
  context->height = static_cast<std::uint32_t>(height);
  context->pictureSize = static_cast<std::uint32_t>(pictureBuffer.size());
  return true;
}

bool CDecodeDo::EnsureDecoder(int width, int height) {
  if (width <= 0 || height <= 0) return false;
  if (decoder && width == decoderWidth_ && height == decoderHeight_) return true;
  ReleaseDecoder();
  if (width % 2 || height % 2) {
    // 4:2:0 pictures always have even sizes; the header is wrong.
    ReportFailure("odd picture size in the frame header", 0);
    return false;
  }

  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  if (!codec) {
    ReportFailure("no H.264 decoder in libavcodec", 0);
    return false;
  }
  mc::media::CodecContextPtr context(avcodec_alloc_context3(codec));
  if (!context) {
    ReportFailure("cannot allocate the decoder", AVERROR(ENOMEM));
    return false;
  }
  // Cameras send no B-frames: every access unit gives its picture at once.
  context->flags |= AV_CODEC_FLAG_LOW_DELAY;
  context->thread_count = 1;  // cameras decode in parallel, one thread each
  if (const int error = avcodec_open2(context.get(), codec, nullptr); error < 0) {
    ReportFailure("cannot open the H.264 decoder", error);
    return false;
  }
  if (!frame) frame.reset(av_frame_alloc());
  if (!packet) packet.reset(av_packet_alloc());
  if (!frame || !packet) {
    ReportFailure("cannot allocate decoder buffers", AVERROR(ENOMEM));
    return false;
  }
  decoder = std::move(context);
  decoderWidth_ = width;
  decoderHeight_ = height;
  pictureBuffer.resize(width, height);
  ++instancesCreated_;
  return true;
}

bool CDecodeDo::Decode(const std::uint8_t* data, std::uint32_t length, int width, int height) {
  // The access unit goes into a buffer of our own with zeroed padding, reused
  // from frame to frame unless libavcodec still holds a reference to it.
  const std::size_t needed = static_cast<std::size_t>(length) + AV_INPUT_BUFFER_PADDING_SIZE;
  if (!input || static_cast<std::size_t>(input->size) < needed || !av_buffer_is_writable(input.get())) {
    const std::size_t capacity = std::max(needed, input ? static_cast<std::size_t>(input->size) : std::size_t{0});
    input.reset(av_buffer_alloc(capacity));
    if (!input) {
      ReportFailure("cannot allocate the input buffer", AVERROR(ENOMEM));
      return false;
    }
  }
  std::memcpy(input->data, data, length);
  std::memset(input->data + length, 0, AV_INPUT_BUFFER_PADDING_SIZE);

  packet->buf = av_buffer_ref(input.get());
  if (!packet->buf) {
    ReportFailure("cannot reference the input buffer", AVERROR(ENOMEM));
    return false;
  }
  packet->data = input->data;
  packet->size = static_cast<int>(length);
  int error = avcodec_send_packet(decoder.get(), packet.get());
  av_packet_unref(packet.get());
  if (error < 0) {
    ReportFailure("the decoder refused the access unit", error);
    return false;
  }

  bool pictureReady = false;
  for (;;) {
    error = avcodec_receive_frame(decoder.get(), frame.get());
    if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) break;
    if (error < 0) {
      ReportFailure("decoding failed", error);
      return false;
    }
    pictureReady = CopyPicture(*frame, width, height);
    av_frame_unref(frame.get());
  }
  if (pictureReady) failureReported = false;
  return pictureReady;
}

bool CDecodeDo::CopyPicture(const AVFrame& decoded, int width, int height) {
  if (decoded.format != AV_PIX_FMT_YUV420P && decoded.format != AV_PIX_FMT_YUVJ420P) {
    if (!failureReported) {
      LOG_WARNING("camera %s: decoded pictures are in %s, not 8-bit 4:2:0", cameraId(cameraRecord),
                  av_get_pix_fmt_name(static_cast<AVPixelFormat>(decoded.format)));
      failureReported = true;
    }
    return false;
  }
  if (decoded.width != width || decoded.height != height) {
    if (!failureReported) {
      LOG_WARNING("camera %s: the stream's pictures are %dx%d but its frame headers say %dx%d",
                  cameraId(cameraRecord), decoded.width, decoded.height, width, height);
      failureReported = true;
    }
    return false;
  }
  const int chromaWidth = width / 2;
  const int chromaHeight = height / 2;
  copyPlane(pictureBuffer.luma(), width, decoded.data[0], decoded.linesize[0], width, height);
  // YV12 stores Cr (V) before Cb (U).
  copyPlane(pictureBuffer.cr(), chromaWidth, decoded.data[2], decoded.linesize[2], chromaWidth, chromaHeight);
  copyPlane(pictureBuffer.cb(), chromaWidth, decoded.data[1], decoded.linesize[1], chromaWidth, chromaHeight);
  return true;
}

void CDecodeDo::ReportFailure(const char* what, int error) {
  if (failureReported) return;
  failureReported = true;
  if (error)
    LOG_WARNING("camera %s: H.264 %s: %s", cameraId(cameraRecord), what, mc::media::avErrorText(error).c_str());
  else
    LOG_WARNING("camera %s: H.264 %s", cameraId(cameraRecord), what);
}
