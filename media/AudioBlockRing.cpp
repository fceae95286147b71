#include "media/AudioBlockRing.h"

#include <algorithm>
#include <cstring>

AudioBlockRing::AudioBlockRing(std::unique_ptr<ISoundOutput> device) : device_(std::move(device)) {}

AudioBlockRing::~AudioBlockRing() { close(); }

bool AudioBlockRing::open(const PcmFormat& format) {
  close();
  for (auto& block : blocks_) block.fill(0);
  for (auto& busy : busy_) busy.store(false, std::memory_order_relaxed);
  currentBlock_ = 0;
  fillOffset_ = 0;
  failed_ = false;
  open_ = device_->open(format, [this](std::size_t block) {
    if (block < kBlockCount) busy_[block].store(false, std::memory_order_release);
  });
  return open_;
}

void AudioBlockRing::close() {
  if (!open_) return;
  device_->close();
  open_ = false;
}

bool AudioBlockRing::submitCurrent() {
  busy_[currentBlock_].store(true, std::memory_order_relaxed);
  if (!device_->submit(currentBlock_, blocks_[currentBlock_].data(), kBlockBytes)) {
    busy_[currentBlock_].store(false, std::memory_order_relaxed);
    failed_ = true;
    return false;
  }
  fillOffset_ = 0;
  currentBlock_ = (currentBlock_ + 1) % kBlockCount;
  return true;
}

long AudioBlockRing::write(const std::uint8_t* data, std::size_t length) {
  if (!open_) return -1;
  if (failed_) return 0;  // nothing more is played until the device is reopened
  std::size_t consumed = 0;
  while (length - consumed >= kBlockBytes - fillOffset_) {
    if (blockBusy(currentBlock_)) return static_cast<long>(consumed);
    const std::size_t room = kBlockBytes - fillOffset_;
    std::memcpy(blocks_[currentBlock_].data() + fillOffset_, data + consumed, room);
    if (!submitCurrent()) return static_cast<long>(consumed);
    consumed += room;
  }
  const std::size_t rest = length - consumed;
  if (rest > 0) {
    if (blockBusy(currentBlock_)) return static_cast<long>(consumed);
    std::memcpy(blocks_[currentBlock_].data() + fillOffset_, data + consumed, rest);
    fillOffset_ += rest;
    consumed += rest;
  }
  return static_cast<long>(consumed);
}
