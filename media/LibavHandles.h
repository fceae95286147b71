#pragma once
#include <memory>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

#include "media/FfmpegHandles.h"

// Owning handles for the libav objects the recorder creates: the codec
// handles of the pipeline, and format contexts. Each deleter accepts null.
namespace mc::av {

using mc::media::CodecContextPtr;
using mc::media::FramePtr;
using mc::media::PacketPtr;

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

using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextDeleter>;
using InputContextPtr = std::unique_ptr<AVFormatContext, InputContextDeleter>;

inline std::string errorText(int code) { return mc::media::avErrorText(code); }

}  // namespace mc::av
