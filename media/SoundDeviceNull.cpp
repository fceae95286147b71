#include "media/SoundDeviceNull.h"

bool NullSoundOutput::open(const PcmFormat& format, BlockDone done) {
  close();
  if (!format.valid()) return false;
  done_ = std::move(done);
  open_ = true;
  return true;
}

bool NullSoundOutput::submit(std::size_t block, const std::uint8_t*, std::size_t) {
  if (!open_) return false;
  if (done_) done_(block);
  return true;
}

void NullSoundOutput::close() {
  open_ = false;
  done_ = nullptr;
}
