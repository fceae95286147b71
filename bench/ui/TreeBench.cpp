// The device trees with a large catalogue: building every row from the skin's
// item templates, rebuilding the three trees after an on-line change,
// searching and refreshing. Rows are laid out and old rows destroyed inside
// the timed part, as the window would do before its next paint.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "link/CatalogueParam.h"
#include "ui/trees/DeviceTrees.h"

namespace {

constexpr int kCamerasPerNode = 20;

// `cameras` cameras under nodes of twenty, two in three on line.
std::vector<IParamPtr> catalogue(int cameras) {
  std::vector<IParamPtr> roots;
  for (int n = 0; n * kCamerasPerNode < cameras; ++n) {
    auto node = NodeParam::create(n % 2 ? 9 : 8, "node-" + std::to_string(n));
    node->name = "站点 " + std::to_string(n);
    node->online = true;
    std::vector<IParamPtr> children;
    for (int c = 0; c < kCamerasPerNode && n * kCamerasPerNode + c < cameras; ++c) {
      auto camera = SxtParam::create("cam-" + std::to_string(n * kCamerasPerNode + c));
      camera->name = "摄像头 " + std::to_string(n * kCamerasPerNode + c);
      camera->online = c % 3 != 0;
      node->onlineCameraCount += camera->online ? 1 : 0;
      children.push_back(camera);
    }
    node->setChildren(std::move(children));
    roots.push_back(node);
  }
  return roots;
}

// The trees in a shown window, as in the main window's left column.
struct TreeWindow {
  TreeWindow() {
    auto* layout = new QVBoxLayout(&root);
    for (const char* name : {"RealyTree", "PlayBackTree", "StaticTree"}) {
      CRealyTree* tree = ui::createDeviceTree(name, &root);
      layout->addWidget(tree);
      trees.push_back(tree);
    }
    root.resize(250, 1800);
    root.show();
  }
  static void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents();
  }
  QWidget root;
  std::vector<CRealyTree*> trees;
};

void BM_BuildLiveTree(benchmark::State& state) {
  const auto roots = catalogue(static_cast<int>(state.range(0)));
  TreeWindow window;
  for (auto _ : state) {
    window.trees[0]->Rebuild(roots);
    TreeWindow::settle();
  }
  state.counters["rows"] = window.trees[0]->GetCount();
  state.SetItemsProcessed(state.iterations() * window.trees[0]->GetCount());
}
BENCHMARK(BM_BuildLiveTree)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// What one camera going on or off line costs: the three trees rebuilt.
void BM_RebuildThreeTreesAfterOnlineChange(benchmark::State& state) {
  auto roots = catalogue(static_cast<int>(state.range(0)));
  TreeWindow window;
  for (CRealyTree* tree : window.trees) tree->Rebuild(roots);
  TreeWindow::settle();
  auto first = std::dynamic_pointer_cast<SxtParam>(roots[0]->children()[1]);
  for (auto _ : state) {
    first->online = !first->online;
    for (CRealyTree* tree : window.trees) tree->Rebuild(roots);
    TreeWindow::settle();
  }
}
BENCHMARK(BM_RebuildThreeTreesAfterOnlineChange)->Arg(1000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_FindNext(benchmark::State& state) {
  const auto roots = catalogue(static_cast<int>(state.range(0)));
  TreeWindow window;
  CRealyTree* tree = window.trees[0];
  tree->Rebuild(roots);
  TreeWindow::settle();
  for (auto _ : state) benchmark::DoNotOptimize(tree->FindNext("摄像头 99"));  // a few matches, wrapping
}
BENCHMARK(BM_FindNext)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_RefreshEveryRow(benchmark::State& state) {
  const auto roots = catalogue(static_cast<int>(state.range(0)));
  TreeWindow window;
  CRealyTree* tree = window.trees[0];
  tree->Rebuild(roots);
  TreeWindow::settle();
  for (auto _ : state) {
    for (int i = 0; i < tree->GetCount(); ++i) tree->RefreshRow(tree->NodeOfRow(tree->GetItemAt(i)));
    TreeWindow::settle();
  }
  state.SetItemsProcessed(state.iterations() * tree->GetCount());
}
BENCHMARK(BM_RefreshEveryRow)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
