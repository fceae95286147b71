// 1, 16 and 64 simultaneous CIF (352x288, 25 fps) live views from
// platform-sim, each with its relay link, dispatch thread, decoder and
// offscreen pane: CPU per stream, pictures per second, frames dropped by the
// client (queue trimming, sequence gaps) and by the relay (a viewer's backlog).
#include <cstdio>
#include <stdexcept>
#include <thread>
#include <vector>

#include "bench/camera/BenchSupport.h"
#include "core/AppFolder.h"
#include "core/ThreadPool.h"
#include "link/ClientBufferPool.h"
#include "tests/support/SimProcess.h"

namespace {

using namespace std::chrono_literals;

constexpr int kFps = 25;
constexpr auto kMeasureFor = 10s;

struct Totals {
  std::uint64_t decoded = 0;
  std::uint64_t handled = 0;
  std::uint64_t dropped = 0;
};

Totals totals(const std::vector<std::shared_ptr<CCameraLogic>>& views) {
  Totals t;
  for (const auto& view : views) {
    const auto pipeline = view->GetPipelineStats();
    const auto buffers = view->GetBufferManage()->stats();
    t.decoded += pipeline.framesDecoded;
    t.handled += pipeline.videoFramesHandled;
    t.dropped += buffers.videoTrimmed + buffers.videoDiscontinuous;
  }
  return t;
}

// The relay's "framesDropped" of one camera.
std::uint64_t relayDropped(mc::test::SimProcess& sim, const std::string& id) {
  const std::string json = sim.controlOk("camera " + id);
  const auto at = json.find("\"framesDropped\":");
  return at == std::string::npos ? 0 : std::stoull(json.substr(at + 16));
}

}  // namespace

int main() {
  // Logs go to a folder of their own, kept after the run: threads of the
  // process-wide sound output still write while the program exits.
  setApplicationFolder(mc::bench::makeHomeFolder());
  mc::bench::useOffscreenPanes();
  auto pool = ClientBufferPool::create();
  pool->init();
  auto callbacks = ThreadPool::create(5);

  std::printf("%-8s %12s %14s %16s %14s %14s\n", "streams", "CPU total", "CPU/stream", "pictures/s/stream",
              "client drops", "relay drops");
  for (const int count : {1, 16, 64}) {
    mc::test::SimProcess sim(mc::bench::benchWorld(count, 352, 288, kFps));
    std::vector<std::shared_ptr<CCameraLogic>> views;
    for (int i = 1; i <= count; ++i) {
      const std::string id = mc::bench::benchCameraId(i);
      auto camera = SxtParam::create(id);
      camera->transpondIp = sim.relay().host;
      camera->transpondPort = sim.relay().portText();
      auto view = std::make_shared<CCameraLogic>(camera, pool, callbacks);
      if (!view->Open(id, static_cast<mc::WindowHandle>(i), 0, 0, 0, 0)) throw std::runtime_error("not opened: " + id);
      views.push_back(std::move(view));
    }
    // Warm up until every view shows pictures.
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    for (const auto& view : views)
      while (view->GetPipelineStats().framesDecoded < 10 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(1s);

    std::uint64_t relayBefore = 0;
    for (int i = 1; i <= count; ++i) relayBefore += relayDropped(sim, mc::bench::benchCameraId(i));
    const Totals before = totals(views);
    const double cpu0 = mc::bench::processCpuSeconds(), wall0 = mc::bench::wallSeconds();
    std::this_thread::sleep_for(kMeasureFor);
    const double cpu1 = mc::bench::processCpuSeconds(), wall1 = mc::bench::wallSeconds();
    const Totals after = totals(views);
    std::uint64_t relayAfter = 0;
    for (int i = 1; i <= count; ++i) relayAfter += relayDropped(sim, mc::bench::benchCameraId(i));

    const double seconds = wall1 - wall0;
    const double cores = (cpu1 - cpu0) / seconds;
    const double picturesPerStream = static_cast<double>(after.decoded - before.decoded) / seconds / count;
    std::printf("%-8d %11.1f%% %13.2f%% %16.1f %14llu %14llu\n", count, cores * 100, cores * 100 / count,
                picturesPerStream, static_cast<unsigned long long>(after.dropped - before.dropped),
                static_cast<unsigned long long>(relayAfter - relayBefore));
    std::fflush(stdout);
    for (const auto& view : views) view->Close();
  }
  callbacks->stop();
  return 0;
}
