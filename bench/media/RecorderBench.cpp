// Cost of recording: one picture through the recorder (H.264 encode and MP4
// write) against the bare encode of the same picture, and one second of
// camera sound through the recorder's AAC encode and write. Tells how many
// recording panes at 25 pictures per second one core carries.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "media/H264Encoder.h"
#include "media/RecodrDo.h"
#include "tests/support/H264TestStream.h"

namespace {

struct Size {
  int width, height;
};
const Size kSizes[] = {{352, 288}, {704, 576}, {1280, 720}, {1920, 1080}};
constexpr int kPictures = 50;  // moving test pictures, looped

struct PaneState : IVideoState {};

// A capture folder removed when the benchmark ends.
struct ScratchFolder {
  std::string path;
  ScratchFolder() {
    char name[] = "/tmp/bench_recorder_XXXXXX";
    path = mkdtemp(name) ? name : "/tmp";
  }
  ~ScratchFolder() {
    if (path != "/tmp") std::filesystem::remove_all(path);
  }
};

std::vector<Yv12Picture> pictures(const Size& size) {
  std::vector<Yv12Picture> result;
  for (int i = 0; i < kPictures; ++i) result.push_back(mc::test::makeTestPicture(size.width, size.height, i));
  return result;
}

void recordPicture(benchmark::State& state) {
  const Size size = kSizes[state.range(0)];
  const auto input = pictures(size);
  ScratchFolder folder;
  auto pane = std::make_shared<PaneState>();
  pane->recording = true;
  std::uint32_t now = 1000;
  RecodrDo recorder(SxtParam::create("bench"), pane, folder.path, [&now] { return now; });
  VideoDoContext context;
  std::size_t index = 0;
  for (auto _ : state) {
    const Yv12Picture& picture = input[index++ % input.size()];
    context.picture = picture.data();
    context.pictureSize = static_cast<std::uint32_t>(picture.size());
    context.width = static_cast<std::uint32_t>(size.width);
    context.height = static_cast<std::uint32_t>(size.height);
    recorder.Process(&context);
    now += RecodrDo::kEncodeIntervalMs;
  }
  recorder.Stop();
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(std::to_string(size.width) + "x" + std::to_string(size.height));
}

void bareEncode(benchmark::State& state) {
  const Size size = kSizes[state.range(0)];
  const auto input = pictures(size);
  auto encoder = CH264Encoder::create(size.width, size.height);
  if (!encoder) {
    state.SkipWithError("no encoder");
    return;
  }
  std::size_t index = 0;
  for (auto _ : state) {
    const Yv12Picture& picture = input[index++ % input.size()];
    const std::uint8_t* out = nullptr;
    std::size_t length = 0;
    benchmark::DoNotOptimize(encoder->encode(picture.data(), picture.size(), out, length));
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(std::to_string(size.width) + "x" + std::to_string(size.height));
}

// One second of sound per iteration, in the camera's block size.
void recordSound(benchmark::State& state) {
  const int rate = static_cast<int>(state.range(0));
  const int channels = static_cast<int>(state.range(1));
  const int blockSamples = rate / 25;
  std::vector<std::uint8_t> pcm(std::size_t(blockSamples) * channels * 2);
  for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) pcm[i + 1] = static_cast<std::uint8_t>((i / 2) % 64);
  ScratchFolder folder;
  auto pane = std::make_shared<PaneState>();
  pane->recording = true;
  std::uint32_t now = 1000;
  RecodrDo recorder(SxtParam::create("bench"), pane, folder.path, [&now] { return now; });
  // A file must be open for the sound to be written.
  const Yv12Picture picture = mc::test::makeTestPicture(176, 144, 0);
  VideoDoContext context;
  context.picture = picture.data();
  context.pictureSize = static_cast<std::uint32_t>(picture.size());
  context.width = 176;
  context.height = 144;
  recorder.Process(&context);
  for (auto _ : state) {
    for (int block = 0; block < 25; ++block) {
      recorder.Process(pcm.data(), static_cast<std::uint32_t>(pcm.size()), static_cast<std::uint32_t>(rate), 16,
                       channels);
      now += 40;
    }
  }
  recorder.Stop();
  state.SetItemsProcessed(state.iterations());  // seconds of sound
  state.SetLabel(std::to_string(rate) + " Hz x" + std::to_string(channels));
}

}  // namespace

BENCHMARK(recordPicture)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(bareEncode)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(recordSound)->Args({8000, 1})->Args({16000, 2})->Args({48000, 2})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
