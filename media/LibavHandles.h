#pragma once
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
}

// Owning handles for the libav objects the recorder creates. Each deleter
// accepts null, so a default-constructed handle is simply "none".
namespace mc::av {

struct CodecContextDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
// An output format context together with the file it writes: the file is
// closed when the context goes (without a trailer; writing the trailer is
// the owner's decision).
struct OutputContextDeleter {
  void operator()(AVFormatContext* context) const;
};
// An input format context opened with avformat_open_input.
struct InputContextDeleter {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextDeleter>;
using InputContextPtr = std::unique_ptr<AVFormatContext, InputContextDeleter>;

// The library's own text for an AVERROR code.
std::string errorText(int code);

}  // namespace mc::av
