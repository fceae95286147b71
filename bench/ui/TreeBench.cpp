// The device trees with a large catalogue: building every row from the skin's
// item templates, rebuilding after a reload, an on-line change and a new node
// order, searching and refreshing. Rows are laid out and old rows destroyed inside
// the timed part, as the window would do before its next paint.
#include <benchmark/benchmark.h>

#include <algorithm>

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

// The first fill: every row built from its template.
void BM_FirstBuild(benchmark::State& state) {
  const auto roots = catalogue(static_cast<int>(state.range(0)));
  TreeWindow window;
  CRealyTree* tree = window.trees[0];
  for (auto _ : state) {
    tree->Clear();
    tree->Rebuild(roots);
    TreeWindow::settle();
  }
  state.counters["rows"] = tree->GetCount();
  state.SetItemsProcessed(state.iterations() * tree->GetCount());
}
BENCHMARK(BM_FirstBuild)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A reload that changed nothing (MSG_TREES_REBUILD after a catalogue load).
void BM_RebuildUnchanged(benchmark::State& state) {
  const auto roots = catalogue(static_cast<int>(state.range(0)));
  TreeWindow window;
  CRealyTree* tree = window.trees[0];
  tree->Rebuild(roots);
  TreeWindow::settle();
  for (auto _ : state) {
    tree->Rebuild(roots);
    TreeWindow::settle();
  }
}
BENCHMARK(BM_RebuildUnchanged)->Arg(1000)->Unit(benchmark::kMillisecond);

// On-line cameras first, as the coordinator orders a node's children.
void onlineFirst(const IParamPtr& node) {
  std::vector<IParamPtr> on, off;
  for (const auto& child : node->children()) (child->online ? on : off).push_back(child);
  on.insert(on.end(), off.begin(), off.end());
  node->setChildren(std::move(on));
}

// What one camera going on or off line costs: its node re-ordered and the
// three trees rebuilt, a camera in the middle of the catalogue.
void BM_RebuildThreeTreesAfterOnlineChange(benchmark::State& state) {
  auto roots = catalogue(static_cast<int>(state.range(0)));
  TreeWindow window;
  for (CRealyTree* tree : window.trees) tree->Rebuild(roots);
  TreeWindow::settle();
  const IParamPtr node = roots[roots.size() / 2];
  const IParamPtr camera = node->children()[kCamerasPerNode / 2];
  for (auto _ : state) {
    camera->online = !camera->online;
    onlineFirst(node);
    for (CRealyTree* tree : window.trees) tree->Rebuild(roots);
    TreeWindow::settle();
  }
}
BENCHMARK(BM_RebuildThreeTreesAfterOnlineChange)->Arg(1000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The nodes change places (a node went off line): most rows move.
void BM_RebuildAfterNodeOrderChange(benchmark::State& state) {
  auto roots = catalogue(static_cast<int>(state.range(0)));
  TreeWindow window;
  CRealyTree* tree = window.trees[0];
  tree->Rebuild(roots);
  TreeWindow::settle();
  for (auto _ : state) {
    std::rotate(roots.begin(), roots.begin() + 1, roots.end());
    tree->Rebuild(roots);
    TreeWindow::settle();
  }
}
BENCHMARK(BM_RebuildAfterNodeOrderChange)->Arg(1000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Collapsing and expanding a node of twenty cameras in the middle.
void BM_CollapseAndExpandNode(benchmark::State& state) {
  const auto roots = catalogue(static_cast<int>(state.range(0)));
  TreeWindow window;
  CRealyTree* tree = window.trees[0];
  tree->Rebuild(roots);
  TreeWindow::settle();
  CTreeNode* node = tree->FindRow(roots[roots.size() / 2]);
  for (auto _ : state) {
    tree->SetExpanded(node, false);
    TreeWindow::settle();
    tree->SetExpanded(node, true);
    TreeWindow::settle();
  }
}
BENCHMARK(BM_CollapseAndExpandNode)->Arg(1000)->Unit(benchmark::kMillisecond);

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
