#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The sound device layer: PCM outputs behind one small interface, a
// PulseAudio back end and a null back end at the end of the probe order, so a
// machine without sound still runs.

// Interleaved linear PCM: 8-bit unsigned, or 16-, 24- or 32-bit signed
// little-endian samples.
struct PcmFormat {
  std::uint32_t sampleRate = 0;
  std::int32_t bitsPerSample = 0;
  std::int32_t channels = 0;

  bool valid() const;
  std::uint32_t bytesPerFrame() const { return static_cast<std::uint32_t>(channels * bitsPerSample / 8); }
  std::uint32_t bytesPerSecond() const { return bytesPerFrame() * sampleRate; }
  std::string text() const;  // "8000 Hz 16 bit 1 ch", for log lines

  friend bool operator==(const PcmFormat&, const PcmFormat&) = default;
};

// A PCM output that plays numbered blocks handed to it. Every operation is
// called from one thread (the audio play thread); only the completion
// callback runs elsewhere, on the device's own thread.
class ISoundOutput {
 public:
  // Called with the number of a submitted block once the device no longer
  // reads its bytes; the block may then be refilled. Must not block.
  using BlockDone = std::function<void(std::size_t block)>;

  virtual ~ISoundOutput() = default;
  virtual const char* name() const = 0;

  // Opens the output for `format`; false when the device is missing or
  // refuses the format (the back end logs why). An open output is closed
  // first.
  virtual bool open(const PcmFormat& format, BlockDone done) = 0;

  // Queues `length` bytes at `data` for playing and returns at once. The
  // bytes stay valid and unchanged until `done(block)`. False when the output
  // is not open or has failed since it was opened (it then wants reopening);
  // `done` is not called for a block that was refused.
  virtual bool submit(std::size_t block, const std::uint8_t* data, std::size_t length) = 0;

  // Stops playing and forgets queued blocks. No `done` call follows the
  // return. Closing a closed output does nothing.
  virtual void close() = 0;
};

// The program's output: on every open it tries PulseAudio, then the null
// output, and plays through the first that opens.
std::unique_ptr<ISoundOutput> createSoundOutput();

// A PCM capture that hands over fixed-size buffers in order.
class ISoundInput {
 public:
  // (pcm, length in bytes, format), on the device's own thread; the bytes are
  // valid only during the call.
  using OnPcm = std::function<void(const std::uint8_t* pcm, std::uint32_t length, const PcmFormat& format)>;

  virtual ~ISoundInput() = default;
  virtual const char* name() const = 0;

  // Starts capturing `format` in buffers of `bufferBytes`. False when no
  // source opens (no microphone, format refused); lastError() says why.
  // A running capture is stopped first.
  virtual bool start(const PcmFormat& format, std::size_t bufferBytes, OnPcm onPcm) = 0;
  // Ends the capture; no onPcm call follows the return.
  virtual void stop() = 0;
  virtual std::string lastError() const = 0;
};

// The program's capture: PulseAudio's default source. There is no null
// capture: a missing microphone must be reported, not hidden.
std::unique_ptr<ISoundInput> createSoundInput();
