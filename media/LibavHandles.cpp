#include "media/LibavHandles.h"

namespace mc::av {

void OutputContextDeleter::operator()(AVFormatContext* context) const {
  if (context == nullptr) return;
  if (context->oformat != nullptr && !(context->oformat->flags & AVFMT_NOFILE)) {
    avio_closep(&context->pb);
  }
  avformat_free_context(context);
}

}  // namespace mc::av
