#pragma once
#include <memory>
#include <vector>

#include "media/SoundDevice.h"

// Tries its back ends in order on every open and plays through the first
// that accepts the format, so a reopen (after a format change or a failure)
// finds a sound server that has appeared or gone since.
class ProbingSoundOutput final : public ISoundOutput {
 public:
  explicit ProbingSoundOutput(std::vector<std::unique_ptr<ISoundOutput>> backends);

  // The active back end's name, or "none" while closed.
  const char* name() const override;
  bool open(const PcmFormat& format, BlockDone done) override;
  bool submit(std::size_t block, const std::uint8_t* data, std::size_t length) override;
  void close() override;

 private:
  std::vector<std::unique_ptr<ISoundOutput>> backends_;
  ISoundOutput* active_ = nullptr;
  const ISoundOutput* lastOpened_ = nullptr;  // to log only a change of back end
};
