// The whole client on a private Xvfb: the coordinator logged into
// platform-sim, the main window at 1920 x 1040, its live wall split into 16
// and then 64 panes and filled by "openallBtn" with CIF cameras (352 x 288,
// 25 fps). Reports, over the measuring time: the processor load of the
// client (all threads, and its UI thread alone), of the X server and of the
// simulator; pictures decoded and pictures shown per second; frames dropped
// by the client's queues, pictures replaced in a pane before it drew them;
// and the client's memory.
//
//   bench_client [seconds per run, default 10]
//
// The panes draw with the surface the client chooses (the painter on a
// software OpenGL such as Xvfb's); MC_VIDEO_SURFACE=opengl forces OpenGL.
//
// Each pane count runs in a child process of its own (the application
// context is process-wide).
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/camera/BenchSupport.h"
#include "camera/CCameraLogic.h"
#include "core/AppContext.h"
#include "core/AppFolder.h"
#include "link/CMainLogic.h"
#include "link/CatalogueParam.h"
#include "link/StartupSequence.h"
#include "tests/support/SimProcess.h"
#include "tests/support/XvfbServer.h"
#include "ui/lib/Notify.h"
#include "ui/lib/Theme.h"
#include "ui/lib/WindowRegistry.h"
#include "ui/mainwnd/MainWnd.h"
#include "ui/video/PaneRenderTarget.h"
#include "ui/wall/CVideoPanelHandle.h"
#include "ui/wall/MyVideoPanel.h"

extern char** environ;

namespace {

constexpr int kFps = 25;
constexpr int kScreenWidth = 1920, kScreenHeight = 1080;

// Runs the event loop for `ms` milliseconds.
void runFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

struct Sample {
  double wall = 0, process = 0, uiThread = 0, xServer = 0, sim = 0;
  std::uint64_t decoded = 0, dropped = 0, presented = 0, taken = 0, replaced = 0;
  int playing = 0;
};

Sample sample(CMainWnd& window, CMainLogic& logic, pid_t xServer, pid_t sim) {
  Sample s;
  s.wall = mc::bench::wallSeconds();
  s.process = mc::bench::processCpuSeconds();
  s.uiThread = mc::bench::threadCpuSeconds();
  s.xServer = mc::bench::otherProcessCpuSeconds(xServer);
  s.sim = mc::bench::otherProcessCpuSeconds(sim);
  for (const IParamPtr& node : logic.getNodes())
    for (const IParamPtr& child : node->children()) {
      auto camera = std::dynamic_pointer_cast<SxtParam>(child);
      if (!camera) continue;
      if (auto view = logic.getLive(camera)) {
        const auto pipeline = view->GetPipelineStats();
        const auto buffers = view->GetBufferManage()->stats();
        s.decoded += pipeline.framesDecoded;
        s.dropped += buffers.videoTrimmed + buffers.videoDiscontinuous;
      }
    }
  CVideoPanelHandle* wall = window.liveWall();
  for (int i = 0; i < 64; ++i) {
    MyVideoPanel* pane = wall->pane(i);
    if (!pane || !pane->showsVideo()) continue;
    ++s.playing;
    const PaneVideoStats stats = pane->videoStats();
    s.presented += stats.presented;
    s.taken += stats.taken;
    s.replaced += stats.replaced;
  }
  return s;
}

bool click(CMainWnd& window, const char* control) {
  QWidget* sender = window.FindControl(QString::fromUtf8(control));
  if (!sender) {
    std::fprintf(stderr, "bench_client: no control \"%s\"\n", control);
    return false;
  }
  TNotifyUI msg;
  msg.type = ui::kNotifyClick;
  msg.sender = sender;
  window.Notify(msg);
  return true;
}

// One run in this process: `panes` cameras into a wall of `panes` panes.
int runPanes(int panes, int seconds, int argc, char** argv) {
  // The table goes to the original standard output; the client's log lines,
  // which it writes to standard output, are dropped.
  FILE* out = fdopen(dup(STDOUT_FILENO), "w");
  if (!out || !std::freopen("/dev/null", "w", stdout)) return 1;
  mc::test::XvfbServer xvfb(kScreenWidth, kScreenHeight);
  if (!xvfb.ready()) {
    std::fprintf(stderr, "bench_client: %s\n", xvfb.error().c_str());
    return 1;
  }
  xvfb.exportDisplay();
  mc::test::SimProcess sim(mc::bench::benchWorld(panes, 352, 288, kFps));

  const std::string home = mc::bench::makeHomeFolder();
  std::ofstream(home + "/Config.ini") << "[Server]\nIP=127.0.0.1\nPORT=" << sim.dispatcher().port << "\n";
  std::ofstream(home + "/LockSetConfig.ini") << "[Client]\nVersion=1.0.0\n";
  setApplicationFolder(home);

  QApplication app(argc, argv);
  ui::installPostMessageHook();
  ui::applySkinTheme();
  AppContext& context = AppContext::instance();
  if (!context.loadConfiguration(home)) {
    std::fprintf(stderr, "bench_client: configuration not loaded\n");
    return 1;
  }
  installPaneRenderTargets();
  context.userName = "bench";
  context.password = "bench";
  std::shared_ptr<CMainLogic> logic = context.getMainLogic();
  StartupReporter reporter;
  reporter.setText = [](const std::string&) {};
  reporter.pause = [](unsigned) {};
  if (runStartupSequence(*logic, reporter) != StartupResult::Done) {
    std::fprintf(stderr, "bench_client: the login into platform-sim failed\n");
    return 1;
  }

  int status = 0;
  {
    CMainWnd window;
    if (window.Create(mc::kNoWindow, QStringLiteral("监控浏览端"), ui::UI_WNDSTYLE_FRAME, 0, 0, 0, kScreenWidth,
                      kScreenHeight - 40) == mc::kNoWindow) {
      std::fprintf(stderr, "bench_client: no main window\n");
      return 1;
    }
    context.mainHwnd = window.GetHWND();
    context.mainWindow = &window;
    window.ShowWindow();
    runFor(500);
    if (!click(window, std::to_string(panes).c_str()) || !click(window, "openallBtn")) return 1;

    // Warm up until every pane shows pictures (or 30 s went by), then a second more.
    for (int waited = 0; waited < 30000; waited += 100) {
      if (sample(window, *logic, xvfb.pid(), sim.pid()).playing >= panes) break;
      runFor(100);
    }
    runFor(1000);

    const Sample a = sample(window, *logic, xvfb.pid(), sim.pid());
    runFor(seconds * 1000);
    const Sample b = sample(window, *logic, xvfb.pid(), sim.pid());
    const double t = b.wall - a.wall;
    auto percent = [t](double from, double to) { return (to - from) / t * 100; };
    std::fprintf(out, "%-6d %8d %9.0f%% %8.0f%% %8.0f%% %6.0f%% %11.0f %11.0f %9llu %9.1f%% %8ld\n", panes, b.playing,
                percent(a.process, b.process), percent(a.uiThread, b.uiThread), percent(a.xServer, b.xServer),
                percent(a.sim, b.sim), static_cast<double>(b.decoded - a.decoded) / t,
                static_cast<double>(b.taken - a.taken) / t, static_cast<unsigned long long>(b.dropped - a.dropped),
                b.presented > a.presented
                    ? static_cast<double>(b.replaced - a.replaced) / static_cast<double>(b.presented - a.presented) * 100
                    : 0.0,
                mc::bench::residentMiB());
    std::fflush(stdout);
    status = b.playing >= panes ? 0 : 2;
    if (MyVideoPanel* first = window.liveWall()->pane(0))
      std::fprintf(out, "       (panes draw with %s)\n",
                   first->surfaceKind() == VideoSurfaceKind::OpenGL ? "OpenGL" : "the painter");
    std::fflush(out);

    click(window, "closeallBtn");
    runFor(300);
    window.Close();
    context.mainHwnd = mc::kNoWindow;
    context.mainWindow = nullptr;
  }
  logic->closeServer();
  logic->shutdown();
  mc::setPostMessageHook({});
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::string(argv[1]) == "--panes") return runPanes(std::atoi(argv[2]), std::atoi(argv[3]), argc, argv);

  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  std::printf("CIF 352x288 at %d fps per camera, %d s per run, main window %dx%d on Xvfb\n", kFps, seconds,
              kScreenWidth, kScreenHeight - 40);
  std::printf("%-6s %8s %10s %9s %9s %7s %11s %11s %9s %10s %8s\n", "panes", "playing", "client", "UI", "X", "sim",
              "decoded/s", "shown/s", "q-drops", "replaced", "RSS MiB");
  std::fflush(stdout);
  int status = 0;
  for (const int panes : {16, 64}) {
    const std::string count = std::to_string(panes), time = std::to_string(seconds);
    char* childArgv[] = {argv[0], const_cast<char*>("--panes"), const_cast<char*>(count.c_str()),
                         const_cast<char*>(time.c_str()), nullptr};
    pid_t child = -1;
    if (posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, childArgv, environ) != 0) return 1;
    int childStatus = 0;
    waitpid(child, &childStatus, 0);
    if (!WIFEXITED(childStatus) || WEXITSTATUS(childStatus) != 0) status = 1;
  }
  return status;
}
