#include "media/LibavHandles.h"

namespace mc::av {

void OutputContextDeleter::operator()(AVFormatContext* context) const {
  if (context == nullptr) return;
  if (context->oformat != nullptr && !(context->oformat->flags & AVFMT_NOFILE)) {
    avio_closep(&context->pb);
  }
  avformat_free_context(context);
}

std::string errorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  if (av_strerror(code, text, sizeof text) < 0) {
    return "libav error " + std::to_string(code);
  }
  return text;
}

}  // namespace mc::av
