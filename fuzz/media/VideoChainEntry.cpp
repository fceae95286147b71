#include "fuzz/media/VideoChainEntry.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "media/CDecodeDo.h"
#include "media/CMediaPipeline.h"

namespace mc::fuzz {

namespace {

struct PaneState : IVideoState {};

std::uint32_t readWord(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

constexpr std::size_t kHeaderBytes = 24;
constexpr std::size_t kMaxFrames = 64;
constexpr std::uint32_t kMaxPayload = 511'975;  // what the stream link lets through

}  // namespace

int videoChainOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint32_t now = 100'000;
  auto buffers = std::make_shared<CBufferManage>([&now] { return now; });
  auto pane = std::make_shared<PaneState>();
  PipelineFactory factory;
  factory.makeDecoder = [](const HandlerContext& context) {
    return std::make_shared<CDecodeDo>(context.cameraRecord, context.videoState);
  };
  CMediaPipeline pipeline(SxtParam::create("fuzz"), buffers, factory);
  pipeline.BuildPipeline(pane, 1, {}, CMediaPipeline::Dispatch::Manual);
  pane->zooming = size % 2 == 1;

  std::size_t at = 0;
  bool offsetSet = false;
  for (std::size_t frames = 0; frames < kMaxFrames && size - at >= kHeaderBytes; ++frames) {
    std::uint32_t header[6];
    for (int i = 0; i < 6; ++i) header[i] = readWord(data + at + 4 * i);
    at += kHeaderBytes;
    const std::uint32_t length = std::min<std::uint32_t>(
        {mc::media::payloadLength(header[2]), kMaxPayload, static_cast<std::uint32_t>(size - at)});
    if (!offsetSet) {
      buffers->SetClockOffset(static_cast<std::int32_t>(now - header[1]));
      offsetSet = true;
    }
    VideoFramePtr frame = buffers->AcquireVideoFrame(length);
    std::memcpy(frame->header.data(), header, sizeof header);
    frame->header[2] = (header[2] & ~mc::media::kPayloadLengthMask) | length;
    std::memcpy(frame->payload.data(), data + at, length);
    at += length;
    buffers->PushVideoFrame(std::move(frame));
    pipeline.Zoom(static_cast<int>(header[5] & 0x3FF), static_cast<int>(header[5] >> 22), 120);
    now += 40;
    pipeline.DispatchPass();
  }
  // Let every held frame fall due.
  for (int pass = 0; pass < 200 && buffers->videoQueued() > 0; ++pass) {
    now += 600;
    pipeline.DispatchPass();
  }
  pipeline.StopPipeline();
  return 0;
}

}  // namespace mc::fuzz
