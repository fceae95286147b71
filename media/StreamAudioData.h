#pragma once
#include <cstdint>
#include <memory>

// One buffer of PCM on its way to the speakers, or captured from the
// microphone on its way to a camera (then with the encoder's output). Records
// are recycled: the byte array is kept while the length stays the same.
struct StreamAudioData {
  std::unique_ptr<std::uint8_t[]> data;  // PCM bytes
  std::uint32_t length = 0;              // size of `data` in bytes
  const std::uint8_t* encodedData = nullptr;  // encoder output, not owned (talk-back only)
  std::uint32_t encodedLength = 0;
  std::uint32_t sampleRate = 0;
  std::int32_t bitsPerSample = 0;
  std::int32_t channels = 0;
  std::int32_t talkIndex = 0;  // talk-back channel (talk-back only)
  std::int32_t codec = 0;      // codec number of the sending side (talk-back only)

  // Makes room for `newLength` bytes (reallocating only when the length
  // changes) and stores the format; the bytes themselves are the caller's.
  void set(std::uint32_t newLength, std::uint32_t rate, std::int32_t bits, std::int32_t channelCount);
};

using StreamAudioDataPtr = std::shared_ptr<StreamAudioData>;
