// Pictures in a wall of panes on a private Xvfb: 16 and 64 panes of CIF at
// 25 pictures per second, each pane fed by a thread of its own as a camera's
// dispatch thread feeds it, drawn with the painter and with OpenGL (Mesa's
// llvmpipe here: the GPU's work runs on the processor). Reports pictures
// presented, drawn and dropped per second, the dispatch thread's cost per
// picture, processor load of the UI thread, of the process and of the X
// server, and the memory in use.
//
//   bench_pane_video [seconds per run, default 5]
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "media/Yv12Picture.h"
#include "tests/support/XvfbServer.h"
#include "ui/lib/WindowRegistry.h"
#include "ui/video/PaneFrameMailbox.h"
#include "ui/video/PaneRenderTarget.h"
#include "ui/video/VideoPaneWidget.h"

namespace {

constexpr int kWidth = 352, kHeight = 288, kFps = 25;

double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

double processCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// utime + stime of another process, from /proc.
double otherCpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  const auto close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string skip;
  for (int i = 0; i < 11; ++i) fields >> skip;  // state … cmajflt
  double utime = 0, stime = 0;
  fields >> utime >> stime;
  return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long residentMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6)) / 1024;
  return 0;
}

// A CIF picture with something in every row and column, so both the copy
// and the upload see real data.
Yv12Picture testPicture(int seed) {
  Yv12Picture picture(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) picture.luma()[y * kWidth + x] = static_cast<std::uint8_t>(16 + (x + y + seed) % 220);
  std::memset(picture.cb(), 90 + seed % 60, picture.size() / 6);
  std::memset(picture.cr(), 160 - seed % 60, picture.size() / 6);
  return picture;
}

struct Result {
  double presented = 0, drawn = 0, dropped = 0;  // per second, all panes
  double copyMicros = 0;                         // dispatch thread, per picture
  double uiLoad = 0, processLoad = 0, serverLoad = 0;  // percent of one core
  long memoryMiB = 0;
};

Result run(VideoSurfaceKind kind, int panes, double seconds, pid_t server) {
  const int side = static_cast<int>(std::lround(std::sqrt(panes)));
  QWidget window;
  window.resize(1280, 960);
  std::vector<VideoPaneWidget*> widgets;
  for (int i = 0; i < panes; ++i) {
    auto* pane = new VideoPaneWidget(kind, &window);
    const int w = window.width() / side, h = window.height() / side;
    pane->setGeometry((i % side) * w, (i / side) * h, w - 1, h - 1);
    widgets.push_back(pane);
  }
  window.show();
  QCoreApplication::processEvents();

  std::vector<Yv12Picture> pictures;
  for (int i = 0; i < 8; ++i) pictures.push_back(testPicture(i * 29));
  std::atomic<bool> stop{false};
  std::atomic<std::int64_t> copyNanos{0}, copies{0};
  std::vector<std::unique_ptr<PaneRenderTarget>> targets;
  std::vector<std::thread> feeders;
  for (VideoPaneWidget* pane : widgets) targets.push_back(std::make_unique<PaneRenderTarget>(pane->handle()));
  for (int i = 0; i < panes; ++i) {
    feeders.emplace_back([&, i] {
      PaneRenderTarget& target = *targets[static_cast<std::size_t>(i)];
      target.Open(IRenderTarget::kFormatYv12, widgets[static_cast<std::size_t>(i)]->handle(), kWidth, kHeight, {});
      auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(i * 40 / panes);
      for (int n = 0; !stop; ++n) {
        std::this_thread::sleep_until(next);
        next += std::chrono::microseconds(1000000 / kFps);
        const auto start = std::chrono::steady_clock::now();
        target.Render(pictures[static_cast<std::size_t>((n + i) % 8)].data(), kWidth, kHeight);
        target.Present();
        copyNanos += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
        ++copies;
      }
    });
  }

  // Warm up one second, then measure.
  QEventLoop loop;
  QTimer::singleShot(1000, &loop, &QEventLoop::quit);
  loop.exec();
  std::vector<PaneVideoStats> before;
  for (auto& target : targets) before.push_back(target->mailbox()->stats());
  const std::int64_t copiesBefore = copies, nanosBefore = copyNanos;
  const double ui0 = threadCpuSeconds(), process0 = processCpuSeconds(), server0 = otherCpuSeconds(server);
  QElapsedTimer clock;
  clock.start();
  QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
  loop.exec();
  const double elapsed = clock.nsecsElapsed() / 1e9;
  Result r;
  r.uiLoad = 100 * (threadCpuSeconds() - ui0) / elapsed;
  r.processLoad = 100 * (processCpuSeconds() - process0) / elapsed;
  r.serverLoad = 100 * (otherCpuSeconds(server) - server0) / elapsed;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    const PaneVideoStats now = targets[i]->mailbox()->stats();
    r.presented += static_cast<double>(now.presented - before[i].presented);
    r.drawn += static_cast<double>(now.taken - before[i].taken);
    r.dropped += static_cast<double>(now.replaced - before[i].replaced);
  }
  r.presented /= elapsed;
  r.drawn /= elapsed;
  r.dropped /= elapsed;
  const std::int64_t n = copies - copiesBefore;
  r.copyMicros = n ? static_cast<double>(copyNanos - nanosBefore) / 1000.0 / static_cast<double>(n) : 0;
  r.memoryMiB = residentMiB();

  stop = true;
  for (auto& feeder : feeders) feeder.join();
  targets.clear();
  QCoreApplication::processEvents();
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 5.0;
  mc::test::XvfbServer xvfb(1280, 1024);
  if (!xvfb.ready()) {
    std::fprintf(stderr, "bench_pane_video: no X server: %s\n", xvfb.error().c_str());
    return 1;
  }
  xvfb.exportDisplay();
  QApplication app(argc, argv);
  ui::installPostMessageHook();
  std::printf("Pane video, CIF %d x %d at %d pictures/s per pane, %.0f s per run, %u processors\n", kWidth, kHeight,
              kFps, seconds, std::thread::hardware_concurrency());
  const VideoSurfaceKind chosen = probeVideoSurfaceKind();
  std::printf("the panes choose %s on this display\n", chosen == VideoSurfaceKind::OpenGL ? "opengl" : "painter");
  std::printf("%-8s %5s %10s %8s %8s %9s %8s %9s %7s %8s\n", "surface", "panes", "presented", "drawn", "dropped",
              "copy us", "UI cpu%", "proc cpu%", "X cpu%", "RSS MiB");
  // The painter first: memory the OpenGL runs take stays with the process.
  for (const VideoSurfaceKind kind : {VideoSurfaceKind::Painter, VideoSurfaceKind::OpenGL}) {
    for (const int panes : {16, 64}) {
      const Result r = run(kind, panes, seconds, xvfb.pid());
      std::printf("%-8s %5d %10.0f %8.0f %7.1f%% %9.1f %8.0f %9.0f %7.0f %8ld\n",
                  kind == VideoSurfaceKind::OpenGL ? "opengl" : "painter", panes, r.presented, r.drawn,
                  r.presented > 0 ? 100 * r.dropped / r.presented : 0.0, r.copyMicros, r.uiLoad, r.processLoad,
                  r.serverLoad, r.memoryMiB);
      std::fflush(stdout);
    }
  }
  mc::setPostMessageHook({});
  return 0;
}
