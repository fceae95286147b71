#include "fuzz/camera/CameraFuzzEntries.h"

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "camera/CCameraTcp.h"
#include "camera/RecordSearch.h"
#include "camera/RelayFrame.h"
#include "common/Split.h"
#include "fuzz/link/LinkFuzzEntries.h"
#include "media/FrameHeader.h"

namespace camera_fuzz {

namespace {

void check(bool holds) {
  if (!holds) __builtin_trap();
}

// A relay link whose receive path is driven directly, without a socket.
class RelayLinkProbe : public CCameraTcp {
 public:
  RelayLinkProbe(std::shared_ptr<CBufferManage> buffers, Clock clock)
      : CCameraTcp(SxtParam::create("fuzz"), nullptr, nullptr, std::move(buffers), std::move(clock)) {}
  using CCameraTcp::OnRecv;
};

class CountingOwner : public ICameraNotify {
 public:
  bool OnCommand(const MessageEnvelope& envelope) override {
    check(!envelope.params.count(""));
    ++commands;
    return true;
  }
  void OnPlayTime(const std::string& text) override { check(text.size() == 16); }
  int commands = 0;
};

std::uint32_t wordOf(const std::vector<std::uint8_t>& body, int index) {
  return mc::relay::headerWord(body.data(), index);
}

}  // namespace

int relayBodiesEntry(const std::uint8_t* data, std::size_t size) {
  static std::uint32_t now = 10'000;
  static auto buffers = std::make_shared<CBufferManage>([] { return now + 1'000'000; });  // all due at once
  static auto link = std::make_shared<RelayLinkProbe>(buffers, [] { return now; });
  static auto owner = std::make_shared<CountingOwner>();
  link->SetNotify(owner);

  bool badLength = false;
  for (const auto& body : link_fuzz::referenceFrames(data, size, badLength)) {
    now += 333;
    auto buffer = std::make_shared<Asio_Buffer>(static_cast<std::int32_t>(body.size()));
    std::memcpy(buffer->data(), body.data(), body.size());
    link->OnRecv(buffer);

    const auto length = static_cast<std::uint32_t>(body.size());
    while (VideoFramePtr frame = buffers->PopVideoFrame()) {
      // Only a "V" body of exactly header + declared payload gets here.
      check(length > static_cast<std::uint32_t>(mc::relay::kVideoBodyHeader));
      check(frame->payloadLength() == length - mc::relay::kVideoBodyHeader);
      for (int i = 0; i < mc::media::kVideoHeaderWords; ++i) check(frame->header[i] == wordOf(body, i));
      check(std::memcmp(frame->payload.data(), body.data() + mc::relay::kVideoBodyHeader, frame->payloadLength()) == 0);
      buffers->ReleaseVideoFrame(std::move(frame));
    }
    while (AudioFramePtr frame = buffers->PopAudioFrame()) {
      check(length >= static_cast<std::uint32_t>(mc::relay::kAudioBodyHeader) + frame->payloadLength());
      check(frame->payloadLength() > 0 && frame->payloadLength() <= CBufferManage::kMaxAudioLength);
      check(std::memcmp(frame->payload.data(), body.data() + mc::relay::kAudioBodyHeader, frame->payloadLength()) == 0);
      buffers->ReleaseAudioFrame(std::move(frame));
    }
  }
  return 0;
}

int recordSearchEntry(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const auto zero = input.find('\0');
  const std::string dayText = input.substr(0, zero);
  const std::string timeText = zero == std::string::npos ? std::string() : input.substr(zero + 1);
  std::vector<RecordDay> days;
  const bool ok = mc::relay::parseRecordSearch(dayText, timeText, days);
  const auto dayPieces = mc::splitText(dayText, ';', false);
  const auto timePieces = mc::splitText(timeText, ';', false);
  check(ok == (dayPieces.size() == timePieces.size()));
  if (!ok) check(days.empty());
  std::set<std::string> seen;
  std::size_t segments = 0;
  for (const auto& day : days) {
    check(seen.insert(day.day).second);
    segments += day.segments.size();
  }
  // No more stretches than "-" signs in the time text.
  std::size_t dashes = 0;
  for (char c : timeText) dashes += c == '-';
  check(segments <= dashes);
  return 0;
}

}  // namespace camera_fuzz
