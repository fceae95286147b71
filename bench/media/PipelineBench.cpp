// Cost of one decoded frame through the camera pipeline (frame record,
// queue, dispatch pass, decode, snapshot check, display upload) against a
// bare libavcodec decode of the same access units. Prints the ratio.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/TickCount.h"
#include "media/CMediaPipeline.h"
#include "media/FfmpegHandles.h"
#include "tests/support/H264TestStream.h"

namespace {

struct Size {
  int width, height;
};

const Size kSizes[] = {{352, 288}, {704, 576}, {1920, 1080}};
constexpr int kStreamFrames = 50;  // two groups of pictures, looped

// Second argument of every benchmark: 1 for pictures with camera-like detail
// (decode costs as measured on real camera streams), 0 for nearly flat
// pictures, whose decode is so cheap that the picture copies dominate.
const std::vector<mc::test::AccessUnit>& stream(const Size& size, bool busy) {
  static std::map<std::pair<int, bool>, std::vector<mc::test::AccessUnit>> streams;
  auto& units = streams[{size.width, busy}];
  if (units.empty()) units = mc::test::encodeTestStream(size.width, size.height, kStreamFrames, 25, busy, 26);
  return units;
}

std::string label(const Size& size, bool busy) {
  return std::to_string(size.width) + "x" + std::to_string(size.height) + (busy ? " detailed" : " flat");
}

struct PaneState : IVideoState {};

// A display that draws nothing, to tell the display upload from the rest.
class NullTarget : public IRenderTarget {
 public:
  bool Open(int, mc::WindowHandle, int, int, const DisplayTrims&) override { return true; }
  void Close() override {}
  bool Render(const std::uint8_t* picture, int, int) override {
    benchmark::DoNotOptimize(picture);
    return true;
  }
  bool SetSourceRect(int, int, int, int) override { return true; }
  bool Present() override { return true; }
  void SetTrims(const DisplayTrims&) override {}
  void Erase() override {}
  WindowGeometry Geometry() const override { return {0, 0, 704, 576}; }
};

void runPipeline(benchmark::State& state, bool drawOffscreen) {
  const Size size = kSizes[state.range(0)];
  if (drawOffscreen) {
    setRenderTargetFactory({});
  } else {
    setRenderTargetFactory([](mc::WindowHandle) { return std::make_unique<NullTarget>(); });
  }
  const bool busy = state.range(1) != 0;
  const auto& units = stream(size, busy);
  auto buffers = std::make_shared<CBufferManage>();
  auto pane = std::make_shared<PaneState>();
  PipelineFactory factory = defaultPipelineFactory();
  factory.captureFolder = [] { return std::string("/tmp"); };
  CMediaPipeline pipeline(SxtParam::create("bench"), buffers, factory);
  pipeline.BuildPipeline(pane, 1, {}, CMediaPipeline::Dispatch::Manual);

  std::uint32_t sequence = 0;
  std::size_t bytes = 0;
  for (auto _ : state) {
    const mc::test::AccessUnit& unit = units[sequence % units.size()];
    // What the stream link does for each video frame...
    VideoFramePtr frame = buffers->AcquireVideoFrame(static_cast<std::uint32_t>(unit.bytes.size()));
    std::memcpy(frame->payload.data(), unit.bytes.data(), unit.bytes.size());
    frame->header[0] = mc::media::kTagLiveVideo << 16;
    frame->header[1] = mc::tickCount() - 1000;  // due at once
    frame->header[2] = static_cast<std::uint32_t>(unit.bytes.size());
    frame->header[3] = ++sequence;
    frame->header[4] = mc::media::makePictureWord(size.width, size.height, unit.key);
    buffers->PushVideoFrame(std::move(frame));
    // ...and one pass of the dispatch thread.
    pipeline.DispatchPass();
    bytes += unit.bytes.size();
  }
  const PipelineStats stats = pipeline.stats();
  if (stats.framesDecoded != stats.videoFramesHandled || stats.videoFramesHandled != sequence)
    state.SkipWithError("frames were lost in the pipeline");
  state.SetItemsProcessed(static_cast<std::int64_t>(stats.framesDecoded));
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.SetLabel(label(size, busy));
  setRenderTargetFactory({});
}

// The whole pipeline, the picture copied into an offscreen display target
// (the stand-in for the texture upload of a window).
void pipelineDecode(benchmark::State& state) { runPipeline(state, true); }
// The same without any display upload.
void pipelineNoUpload(benchmark::State& state) { runPipeline(state, false); }

void bareDecode(benchmark::State& state) {
  const Size size = kSizes[state.range(0)];
  const bool busy = state.range(1) != 0;
  const auto& units = stream(size, busy);
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  mc::media::CodecContextPtr context(avcodec_alloc_context3(codec));
  context->flags |= AV_CODEC_FLAG_LOW_DELAY;
  context->thread_count = 1;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) throw std::runtime_error("cannot open the decoder");
  mc::media::FramePtr frame(av_frame_alloc());
  mc::media::PacketPtr packet(av_packet_alloc());
  // Padded copies, as libavcodec wants them.
  std::vector<std::vector<std::uint8_t>> padded;
  for (const auto& unit : units) {
    padded.emplace_back(unit.bytes);
    padded.back().resize(unit.bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  }

  std::size_t index = 0;
  std::int64_t decoded = 0;
  for (auto _ : state) {
    const auto& unit = padded[index % padded.size()];
    packet->data = const_cast<std::uint8_t*>(unit.data());
    packet->size = static_cast<int>(units[index % units.size()].bytes.size());
    ++index;
    if (avcodec_send_packet(context.get(), packet.get()) < 0) state.SkipWithError("decode failed");
    while (avcodec_receive_frame(context.get(), frame.get()) == 0) {
      benchmark::DoNotOptimize(frame->data[0]);
      ++decoded;
      av_frame_unref(frame.get());
    }
  }
  if (decoded != static_cast<std::int64_t>(index)) state.SkipWithError("pictures were delayed or lost");
  state.SetItemsProcessed(decoded);
  state.SetLabel(label(size, busy));
}

BENCHMARK(bareDecode)->ArgsProduct({{0, 1, 2}, {1, 0}})->Unit(benchmark::kMicrosecond);
BENCHMARK(pipelineDecode)->ArgsProduct({{0, 1, 2}, {1, 0}})->Unit(benchmark::kMicrosecond);
BENCHMARK(pipelineNoUpload)->ArgsProduct({{0, 1, 2}, {1, 0}})->Unit(benchmark::kMicrosecond);

// Prints pipeline time over bare decode time per picture size at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const std::string name = run.benchmark_name();
      const auto slash = name.find('/');
      times_[name.substr(slash + 1)][name.substr(0, slash)] = run.GetAdjustedCPUTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const auto& [arg, byName] : times_) {
      const auto bare = byName.find("bareDecode"), piped = byName.find("pipelineDecode");
      const auto noUpload = byName.find("pipelineNoUpload");
      if (bare == byName.end() || piped == byName.end() || bare->second <= 0) continue;
      const auto slash = arg.find('/');
      const std::string what = label(kSizes[std::stoi(arg.substr(0, slash))], arg.substr(slash + 1) != "0");
      std::printf("%s: pipeline %.1f us, bare decode %.1f us per frame (CPU), ratio %.3f", what.c_str(),
                  piped->second, bare->second, piped->second / bare->second);
      if (noUpload != byName.end())
        std::printf("; without the display upload %.1f us, ratio %.3f", noUpload->second,
                    noUpload->second / bare->second);
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, std::map<std::string, double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
