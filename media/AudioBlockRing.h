#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "media/SoundDevice.h"

// The output ring of the audio play thread: 20 blocks of 1024 bytes handed to
// the sound device in turn. A block is busy from its submission until the
// device reports it done; a write that reaches a busy block stops there and
// the rest of its PCM is lost, which bounds the output latency to 20 blocks.
//
// Every operation runs on the audio play thread; only the device's completion
// callback, on the device's thread, clears busy flags.
class AudioBlockRing {
 public:
  static constexpr std::size_t kBlockCount = 20;
  static constexpr std::size_t kBlockBytes = 1024;

  explicit AudioBlockRing(std::unique_ptr<ISoundOutput> device);
  ~AudioBlockRing();
  AudioBlockRing(const AudioBlockRing&) = delete;
  AudioBlockRing& operator=(const AudioBlockRing&) = delete;

  // Closes an open device, then opens it for `format` with every block
  // cleared and the fill position at the start of block 0.
  bool open(const PcmFormat& format);
  void close();
  bool isOpen() const { return open_; }

  // Copies `length` bytes of PCM into the ring, submitting every block it
  // completes; a partly filled block waits for the next write. Returns the
  // bytes taken: fewer than `length` when a busy block was reached or the
  // device refused a block, -1 when the device is not open.
  long write(const std::uint8_t* data, std::size_t length);

  // The device refused a block since it was opened and wants reopening.
  bool deviceFailed() const { return failed_; }
  const char* deviceName() const { return device_->name(); }

  std::size_t currentBlock() const { return currentBlock_; }
  std::size_t fillOffset() const { return fillOffset_; }
  bool blockBusy(std::size_t block) const { return busy_[block].load(std::memory_order_acquire); }

 private:
  bool submitCurrent();

  std::array<std::array<std::uint8_t, kBlockBytes>, kBlockCount> blocks_{};
  std::array<std::atomic<bool>, kBlockCount> busy_{};
  std::size_t currentBlock_ = 0;  // block being filled
  std::size_t fillOffset_ = 0;    // bytes already in it
  std::unique_ptr<ISoundOutput> device_;
  bool open_ = false;
  bool failed_ = false;
};
