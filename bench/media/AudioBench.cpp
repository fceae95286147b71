// Costs of the camera sound path: decoding one frame, and one PCM record
// through AudioLogic to the device (the null output, so only our own work
// is measured).
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "media/AacDecoder.h"
#include "media/AudioLogic.h"
#include "media/G711Decoder.h"
#include "media/SoundDeviceNull.h"
#include "tests/media/AacToneEncoder.h"
#include "tests/support/ToneAnalysis.h"

namespace {

class NoSink final : public IPcmSink {
 public:
  void OnPcm(const PcmBlock& block) override { benchmark::DoNotOptimize(block.data); }
};

void G711Frame(benchmark::State& state) {
  const std::vector<std::uint8_t> payload(static_cast<std::size_t>(state.range(0)), 0x5A);
  G711Decoder decoder;
  NoSink sink;
  const mc::media::AudioFormat format{8000, 16, 1, mc::media::kCodecG711A};
  for (auto _ : state) decoder.Decode(payload.data(), static_cast<std::uint32_t>(payload.size()), format, sink);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  state.SetLabel("A-law bytes in");
}
BENCHMARK(G711Frame)->Arg(160)->Arg(5120);

// One AAC frame of 1024 samples per channel; frames/s is the number to read.
void AacFrame(benchmark::State& state) {
  const auto rate = static_cast<std::uint32_t>(state.range(0));
  const int channels = static_cast<int>(state.range(1));
  const auto frames = mc::test::encodeAdts(mc::test::makeTone(1000, 8000, rate, 2.0, channels), rate, channels,
                                           32000L * channels);
  auto decoder = AacDecoder::create(rate);
  NoSink sink;
  const mc::media::AudioFormat format{rate, 16, channels, mc::media::kCodecAac};
  std::size_t next = 0;
  for (auto _ : state) {
    const auto& frame = frames[next];
    decoder->Decode(frame.data(), static_cast<std::uint32_t>(frame.size()), format, sink);
    next = next + 1 < frames.size() ? next + 1 : 1;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.SetLabel("frames");
}
BENCHMARK(AacFrame)->Args({8000, 1})->Args({16000, 1})->Args({48000, 2});

// EnqueuePcm of a 20 ms record plus the play thread's work on it; records
// refused by a full queue are counted, not hidden.
void EnqueueAndPlay(benchmark::State& state) {
  auto logic = AudioLogic::create(std::make_unique<NullSoundOutput>());
  const std::vector<std::uint8_t> pcm(640, 1);
  for (auto _ : state) {
    logic->EnqueuePcm(pcm.data(), static_cast<std::uint32_t>(pcm.size()), 16000, 16, 1);
    while (logic->stats().queued > logic->stats().played + AudioLogic::kPendingLimit / 2) std::this_thread::yield();
  }
  while (logic->stats().played < logic->stats().queued) std::this_thread::yield();
  const auto stats = logic->stats();
  logic->stop();
  state.counters["played"] = static_cast<double>(stats.played);
  state.counters["droppedQueueFull"] = static_cast<double>(stats.droppedQueueFull);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(EnqueueAndPlay)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
