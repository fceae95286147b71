#include "tests/support/H264TestStream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

namespace mc::test {

namespace {

std::string errorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

void check(int result, const char* what) {
  if (result < 0) throw std::runtime_error(std::string(what) + ": " + errorText(result));
}

}  // namespace

struct H264TestEncoder::Impl {
  AVCodecContext* context = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  std::int64_t pts = 0;

  ~Impl() {
    avcodec_free_context(&context);
    av_frame_free(&frame);
    av_packet_free(&packet);
  }
};

H264TestEncoder::H264TestEncoder(int width, int height, int keyInterval, int crf) : impl_(std::make_unique<Impl>()) {
  av_log_set_level(AV_LOG_ERROR);  // keep x264 statistics out of test output
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (!codec) throw std::runtime_error("libavcodec has no libx264 encoder");
  impl_->context = avcodec_alloc_context3(codec);
  impl_->frame = av_frame_alloc();
  impl_->packet = av_packet_alloc();
  if (!impl_->context || !impl_->frame || !impl_->packet) throw std::runtime_error("out of memory");
  AVCodecContext* c = impl_->context;
  c->width = width;
  c->height = height;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = AVRational{1, 25};
  c->framerate = AVRational{25, 1};
  c->gop_size = keyInterval;
  c->max_b_frames = 0;
  c->thread_count = 1;
  av_opt_set(c->priv_data, "preset", "veryfast", 0);
  av_opt_set(c->priv_data, "tune", "zerolatency", 0);
  av_opt_set(c->priv_data, "x264-params", "sliced-threads=0:scenecut=0", 0);
  av_opt_set_int(c->priv_data, "crf", crf, 0);
  check(avcodec_open2(c, codec, nullptr), "avcodec_open2");

  impl_->frame->format = AV_PIX_FMT_YUV420P;
  impl_->frame->width = width;
  impl_->frame->height = height;
  check(av_frame_get_buffer(impl_->frame, 0), "av_frame_get_buffer");
}

H264TestEncoder::~H264TestEncoder() = default;

AccessUnit H264TestEncoder::encode(const Yv12Picture& picture) {
  AVFrame* f = impl_->frame;
  check(av_frame_make_writable(f), "av_frame_make_writable");
  const int w = picture.width(), h = picture.height();
  const Yv12View view = picture.view();
  for (int y = 0; y < h; ++y) std::memcpy(f->data[0] + y * f->linesize[0], view.luma() + y * w, w);
  for (int y = 0; y < h / 2; ++y) {
    std::memcpy(f->data[1] + y * f->linesize[1], view.cb() + y * (w / 2), w / 2);
    std::memcpy(f->data[2] + y * f->linesize[2], view.cr() + y * (w / 2), w / 2);
  }
  f->pts = impl_->pts++;
  check(avcodec_send_frame(impl_->context, f), "avcodec_send_frame");
  AccessUnit unit;
  const int result = avcodec_receive_packet(impl_->context, impl_->packet);
  check(result, "avcodec_receive_packet");
  unit.bytes.assign(impl_->packet->data, impl_->packet->data + impl_->packet->size);
  unit.key = (impl_->packet->flags & AV_PKT_FLAG_KEY) != 0;
  av_packet_unref(impl_->packet);
  return unit;
}

Yv12Picture makeTestPicture(int width, int height, int index) {
  Yv12Picture picture(width, height);
  std::uint8_t* y = picture.luma();
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col) y[row * width + col] = static_cast<std::uint8_t>(40 + (col * 150) / width);
  // A bright and a dark square, moving one block per picture.
  const int side = std::max(16, width / 8);
  auto square = [&](int left, int top, std::uint8_t value) {
    for (int row = top; row < std::min(top + side, height); ++row)
      for (int col = left; col < std::min(left + side, width); ++col) y[row * width + col] = value;
  };
  square((index * 8) % std::max(1, width - side), height / 4, 235);
  square(width / 2, (index * 8) % std::max(1, height - side), 20);

  const int cw = width / 2, ch = height / 2;
  for (int row = 0; row < ch; ++row)
    for (int col = 0; col < cw; ++col) {
      const bool right = col >= cw / 2, bottom = row >= ch / 2;
      picture.cb()[row * cw + col] = static_cast<std::uint8_t>(right ? 170 : 90);
      picture.cr()[row * cw + col] = static_cast<std::uint8_t>(bottom ? 60 : 200);
    }
  return picture;
}

Yv12Picture makeBusyPicture(int width, int height, int index) {
  Yv12Picture picture(width, height);
  auto noise = [](std::uint32_t x, std::uint32_t y) {
    std::uint32_t v = x * 374761393u + y * 668265263u;
    v = (v ^ (v >> 13)) * 1274126177u;
    return static_cast<int>((v ^ (v >> 16)) & 63u);
  };
  const int shift = index * 3;  // the scene pans 3 pixels per picture
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col) {
      const int x = col + shift;
      const int base = 60 + ((x / 24 + row / 24) % 2) * 90 + (row * 40) / height;
      picture.luma()[row * width + col] =
          static_cast<std::uint8_t>(std::clamp(base + noise(static_cast<std::uint32_t>(x), row) - 32, 0, 255));
    }
  const int cw = width / 2, ch = height / 2;
  for (int row = 0; row < ch; ++row)
    for (int col = 0; col < cw; ++col) {
      const int x = col + shift / 2;
      picture.cb()[row * cw + col] = static_cast<std::uint8_t>(110 + (x * 40) / cw % 40 + noise(x, row) / 8);
      picture.cr()[row * cw + col] = static_cast<std::uint8_t>(120 + (row * 30) / ch + noise(row, x) / 8);
    }
  return picture;
}

Yv12Picture makeFlatPicture(int width, int height, std::uint8_t y, std::uint8_t cb, std::uint8_t cr) {
  Yv12Picture picture(width, height);
  const Yv12Layout layout{width, height};
  std::memset(picture.luma(), y, layout.lumaSize());
  std::memset(picture.cb(), cb, layout.chromaSize());
  std::memset(picture.cr(), cr, layout.chromaSize());
  return picture;
}

PlaneDifference compareBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t count) {
  PlaneDifference d;
  if (count == 0) return d;
  double sum = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const int diff = std::abs(int(a[i]) - int(b[i]));
    sum += diff;
    d.largest = std::max(d.largest, diff);
  }
  d.mean = sum / static_cast<double>(count);
  return d;
}

std::vector<AccessUnit> encodeTestStream(int width, int height, int count, int keyInterval, bool busy, int crf) {
  H264TestEncoder encoder(width, height, keyInterval, crf);
  std::vector<AccessUnit> units;
  units.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i)
    units.push_back(encoder.encode(busy ? makeBusyPicture(width, height, i) : makeTestPicture(width, height, i)));
  return units;
}

}  // namespace mc::test
