#include "media/SoundDevice.h"

#include "core/OLog.h"
#include "media/SoundDeviceNull.h"
#include "media/SoundDeviceProbe.h"
#include "media/SoundDevicePulse.h"

bool PcmFormat::valid() const {
  const bool knownWidth = bitsPerSample == 8 || bitsPerSample == 16 || bitsPerSample == 24 || bitsPerSample == 32;
  return knownWidth && channels >= 1 && channels <= 8 && sampleRate >= 1000 && sampleRate <= 384000;
}

std::string PcmFormat::text() const {
  return std::to_string(sampleRate) + " Hz " + std::to_string(bitsPerSample) + " bit " + std::to_string(channels) +
         " ch";
}

ProbingSoundOutput::ProbingSoundOutput(std::vector<std::unique_ptr<ISoundOutput>> backends)
    : backends_(std::move(backends)) {}

const char* ProbingSoundOutput::name() const { return active_ ? active_->name() : "none"; }

bool ProbingSoundOutput::open(const PcmFormat& format, BlockDone done) {
  close();
  for (const auto& backend : backends_) {
    if (!backend->open(format, done)) continue;
    active_ = backend.get();
    if (active_ != lastOpened_) LOG_PROMPT("sound output: %s, %s", active_->name(), format.text().c_str());
    lastOpened_ = active_;
    return true;
  }
  LOG_WARNING("no sound output accepts %s", format.text().c_str());
  return false;
}

bool ProbingSoundOutput::submit(std::size_t block, const std::uint8_t* data, std::size_t length) {
  return active_ && active_->submit(block, data, length);
}

void ProbingSoundOutput::close() {
  if (active_) active_->close();
  active_ = nullptr;
}

std::unique_ptr<ISoundOutput> createSoundOutput() {
  std::vector<std::unique_ptr<ISoundOutput>> backends;
  backends.push_back(std::make_unique<PulseSoundOutput>());
  backends.push_back(std::make_unique<NullSoundOutput>());
  return std::make_unique<ProbingSoundOutput>(std::move(backends));
}

std::unique_ptr<ISoundInput> createSoundInput() { return std::make_unique<PulseSoundInput>(); }
