#include "camera/RelayFrame.h"

#include <cstdio>
#include <cstring>

#include "media/FrameHeader.h"

namespace mc::relay {

std::string formatPlayTime(std::uint32_t word5) {
  const media::RecordTime time = media::recordTime(word5);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", time.year, time.month, time.day, time.hour,
                time.minute);
  return text;
}

bool buildTalkAudioFrame(const StreamAudioData& record, Asio_Buffer& frame) {
  const std::uint32_t length = record.encodedLength & media::kPayloadLengthMask;
  if (!record.encodedData || length == 0 || length != record.encodedLength ||
      length > static_cast<std::uint32_t>(kMaxAudioPayload)) {
    frame.resize(0);
    return false;
  }
  const media::AudioFormat format{record.sampleRate, record.bitsPerSample, record.channels, record.codec};
  const auto bodyLength = static_cast<std::int32_t>(length) + kAudioBodyHeader;
  frame.resize(bodyLength + frame::kHeaderSize);
  std::uint8_t* out = frame.data();
  frame::writeLength(out, bodyLength);
  out[4] = kMediaByte;
  std::uint8_t* header = out + 5;
  writeWord(header + 0, media::kTagLiveAudio << 16);
  writeWord(header + 4, static_cast<std::uint32_t>(record.talkIndex));
  writeWord(header + 8, length);
  writeWord(header + 12, media::makeAudioFormatWord(format));
  writeWord(header + 16, 0);
  std::memcpy(out + frame::kHeaderSize + kAudioBodyHeader, record.encodedData, length);
  return true;
}

}  // namespace mc::relay
