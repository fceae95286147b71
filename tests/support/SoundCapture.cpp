#include "tests/support/SoundCapture.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <memory>

namespace mc::test {

SoundCapture::SoundCapture(std::uint32_t sampleRate, int channels, std::string source)
    : sampleRate_(sampleRate), channels_(channels), source_(std::move(source)) {}

SoundCapture::~SoundCapture() { stop(); }

bool SoundCapture::start() {
  pa_sample_spec spec{PA_SAMPLE_S16LE, sampleRate_, static_cast<std::uint8_t>(channels_)};
  pa_buffer_attr attr;
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(20000, &spec));
  int code = 0;
  pa_simple* stream = pa_simple_new(nullptr, "test capture", PA_STREAM_RECORD, source_.c_str(), "capture", &spec,
                                    nullptr, &attr, &code);
  if (!stream) {
    error_ = pa_strerror(code);
    return false;
  }
  stopping_ = false;
  reader_ = std::thread([this, stream] { readLoop(stream); });
  return true;
}

void SoundCapture::readLoop(void* handle) {
  std::unique_ptr<pa_simple, decltype(&pa_simple_free)> stream(static_cast<pa_simple*>(handle), pa_simple_free);
  std::vector<std::int16_t> chunk(sampleRate_ / 100 * static_cast<std::uint32_t>(channels_));
  while (!stopping_) {
    int code = 0;
    if (pa_simple_read(stream.get(), chunk.data(), chunk.size() * sizeof(std::int16_t), &code) < 0) {
      error_ = pa_strerror(code);
      return;
    }
    std::lock_guard lock(mutex_);
    samples_.insert(samples_.end(), chunk.begin(), chunk.end());
  }
}

std::vector<std::int16_t> SoundCapture::stop() {
  stopping_ = true;
  if (reader_.joinable()) reader_.join();
  std::lock_guard lock(mutex_);
  return std::move(samples_);
}

std::vector<std::int16_t> SoundCapture::samples() {
  std::lock_guard lock(mutex_);
  return samples_;
}

}  // namespace mc::test
