#include "media/SoundDevicePulse.h"

#include <pthread.h>
#include <pulse/error.h>

#include <vector>

#include "core/OLog.h"

namespace {

bool pulseSampleFormat(std::int32_t bits, pa_sample_format_t& out) {
  switch (bits) {
    case 8: out = PA_SAMPLE_U8; return true;
    case 16: out = PA_SAMPLE_S16LE; return true;
    case 24: out = PA_SAMPLE_S24LE; return true;
    case 32: out = PA_SAMPLE_S32LE; return true;
    default: return false;
  }
}

}  // namespace

PulseSimplePtr openPulseStream(pa_stream_direction_t direction, const PcmFormat& format, const char* streamName,
                               const char* device, unsigned latencyMs, std::string& error) {
  pa_sample_spec spec{};
  if (!format.valid() || !pulseSampleFormat(format.bitsPerSample, spec.format)) {
    error = "unsupported format " + format.text();
    return nullptr;
  }
  spec.rate = format.sampleRate;
  spec.channels = static_cast<std::uint8_t>(format.channels);
  if (!pa_sample_spec_valid(&spec)) {
    error = "unsupported format " + format.text();
    return nullptr;
  }
  const auto bytes = static_cast<std::uint32_t>(pa_usec_to_bytes(pa_usec_t{latencyMs} * 1000, &spec));
  pa_buffer_attr attr;
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.prebuf = static_cast<std::uint32_t>(-1);
  attr.minreq = static_cast<std::uint32_t>(-1);
  attr.tlength = direction == PA_STREAM_PLAYBACK ? bytes : static_cast<std::uint32_t>(-1);
  attr.fragsize = direction == PA_STREAM_RECORD ? bytes : static_cast<std::uint32_t>(-1);
  int code = 0;
  PulseSimplePtr stream(
      pa_simple_new(nullptr, "monitor-client", direction, device, streamName, &spec, nullptr, &attr, &code));
  if (!stream) error = pa_strerror(code);
  return stream;
}

PulseSoundOutput::~PulseSoundOutput() { close(); }

bool PulseSoundOutput::open(const PcmFormat& format, BlockDone done) {
  close();
  std::string error;
  stream_ = openPulseStream(PA_STREAM_PLAYBACK, format, "camera sound", nullptr, kLatencyMs, error);
  if (!stream_) {
    LOG_WARNING("PulseAudio playback of %s cannot be opened: %s", format.text().c_str(), error.c_str());
    return false;
  }
  done_ = std::move(done);
  {
    std::lock_guard lock(mutex_);
    queue_.clear();
    stopping_ = false;
    failed_ = false;
    failure_.clear();
  }
  writer_ = std::thread([this] { writeLoop(); });
  return true;
}

bool PulseSoundOutput::submit(std::size_t block, const std::uint8_t* data, std::size_t length) {
  {
    std::lock_guard lock(mutex_);
    if (!stream_ || stopping_) return false;
    if (failed_) {
      LOG_WARNING("PulseAudio playback failed: %s", failure_.c_str());
      return false;
    }
    queue_.push_back({block, data, length});
  }
  wake_.notify_one();
  return true;
}

void PulseSoundOutput::close() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  wake_.notify_one();
  if (writer_.joinable()) writer_.join();
  stream_.reset();
  done_ = nullptr;
}

void PulseSoundOutput::writeLoop() {
  ::pthread_setname_np(::pthread_self(), "pulse output");
  for (;;) {
    QueuedBlock next{};
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      next = queue_.front();
      queue_.pop_front();
    }
    int code = 0;
    if (pa_simple_write(stream_.get(), next.data, next.length, &code) < 0) {
      std::lock_guard lock(mutex_);
      failed_ = true;
      failure_ = pa_strerror(code);
      queue_.clear();
      return;
    }
    done_(next.block);
  }
}

PulseSoundInput::~PulseSoundInput() { stop(); }

bool PulseSoundInput::start(const PcmFormat& format, std::size_t bufferBytes, OnPcm onPcm) {
  stop();
  std::string error;
  if (bufferBytes == 0 || !format.valid() || bufferBytes % format.bytesPerFrame() != 0) {
    error = "buffers of " + std::to_string(bufferBytes) + " bytes do not fit " + format.text();
  } else {
    stream_ = openPulseStream(PA_STREAM_RECORD, format, "talk-back", source_.empty() ? nullptr : source_.c_str(),
                              kLatencyMs, error);
  }
  if (!stream_) {
    LOG_WARNING("PulseAudio capture of %s cannot be opened: %s", format.text().c_str(), error.c_str());
    std::lock_guard lock(errorMutex_);
    lastError_ = error;
    return false;
  }
  stopping_ = false;
  reader_ = std::thread([this, format, bufferBytes, onPcm = std::move(onPcm)] { readLoop(format, bufferBytes, onPcm); });
  return true;
}

void PulseSoundInput::stop() {
  stopping_ = true;
  if (reader_.joinable()) reader_.join();  // a read returns within one buffer's time
  stream_.reset();
}

std::string PulseSoundInput::lastError() const {
  std::lock_guard lock(errorMutex_);
  return lastError_;
}

void PulseSoundInput::readLoop(PcmFormat format, std::size_t bufferBytes, OnPcm onPcm) {
  ::pthread_setname_np(::pthread_self(), "pulse input");
  std::vector<std::uint8_t> buffer(bufferBytes);
  while (!stopping_) {
    int code = 0;
    if (pa_simple_read(stream_.get(), buffer.data(), buffer.size(), &code) < 0) {
      std::lock_guard lock(errorMutex_);
      lastError_ = pa_strerror(code);
      return;
    }
    if (stopping_) return;
    if (onPcm) onPcm(buffer.data(), static_cast<std::uint32_t>(buffer.size()), format);
  }
}
