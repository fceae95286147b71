// How long the catalogue cache takes to follow the server for catalogues of
// growing size, on a real database file: the first synchronisation (every row
// inserted, each statement committing on its own), a synchronisation where
// nothing changed (reads and comparisons only), and reading the whole
// catalogue back as the coordinator does after every login.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "store/CatalogueCache.h"
#include "store/LocalDb.h"

namespace {

constexpr int kCamerasPerNode = 16;

class GeneratedServer : public ICatalogueSource {
 public:
  explicit GeneratedServer(int nodes) : nodes_(nodes) {}

  bool getNodeList(const std::string&, NodeListTexts& lists) override {
    lists = {};
    for (int n = 0; n < nodes_; ++n) {
      const std::string id = "node-" + std::to_string(n);
      lists.nodeIdList += id + ";";
      lists.nodeNameList += "Site " + std::to_string(n) + ";";
      lists.cameraVersionList += "20240101" + std::to_string(n) + ";";
      lists.cameraCountList += std::to_string(kCamerasPerNode) + ";";
      lists.nodeTypeList += "4;";
    }
    return true;
  }

  bool getCameraList(const std::string& nodeId, CameraListTexts& lists) override {
    lists = {};
    for (int c = 0; c < kCamerasPerNode; ++c) {
      lists.cameraIdList += nodeId + "-cam-" + std::to_string(c) + ";";
      lists.cameraNameList += "Camera " + std::to_string(c) + " at the gate;";
      lists.transpondIPList += "127.0.0.1;";
      lists.transpondPortList += "9000;";
      lists.transRtmpPortList += "1935;";
      lists.cameraLongitudeList += "116.40" + std::to_string(c) + ";";
      lists.cameraLatitudeList += "39.91" + std::to_string(c) + ";";
      lists.expiredList += "2030-01-01 00:00:00;";
      lists.cameraIndexList += std::to_string(c + 1) + ";";
    }
    return true;
  }

 private:
  int nodes_;
};

std::string freshDatabasePath() {
  const char* tmp = std::getenv("BENCH_DIR");
  const std::string folder = tmp && *tmp ? tmp : std::filesystem::current_path().string();
  const std::string path = folder + "/bench-paramInfo-" + std::to_string(::getpid()) + ".db";
  std::filesystem::remove(path);
  return path;
}

void FirstSync(benchmark::State& state) {
  GeneratedServer server(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    const std::string path = freshDatabasePath();
    CLocalDb db;
    db.Open(path);
    state.ResumeTiming();
    if (!mc::syncNodes(db, server, "u1")) state.SkipWithError("synchronisation failed");
    state.PauseTiming();
    db.Close();
    std::filesystem::remove(path);
    state.ResumeTiming();
  }
  state.counters["cameras"] = static_cast<double>(state.range(0) * kCamerasPerNode);
}

void UnchangedSync(benchmark::State& state) {
  GeneratedServer server(static_cast<int>(state.range(0)));
  const std::string path = freshDatabasePath();
  CLocalDb db;
  db.Open(path);
  mc::syncNodes(db, server, "u1");
  // Same stamps: only the node list is compared.
  for (auto _ : state) benchmark::DoNotOptimize(mc::syncNodes(db, server, "u1"));
  db.Close();
  std::filesystem::remove(path);
}

void CameraListCompare(benchmark::State& state) {
  GeneratedServer server(1);
  const std::string path = freshDatabasePath();
  CLocalDb db;
  db.Open(path);
  mc::syncCameras(db, server, "node-0");
  // Every camera compared, none rewritten.
  for (auto _ : state) benchmark::DoNotOptimize(mc::syncCameras(db, server, "node-0"));
  db.Close();
  std::filesystem::remove(path);
}

void ReadCatalogue(benchmark::State& state) {
  GeneratedServer server(static_cast<int>(state.range(0)));
  const std::string path = freshDatabasePath();
  CLocalDb db;
  db.Open(path);
  mc::syncNodes(db, server, "u1");
  std::vector<mc::StoredNode> catalogue;
  for (auto _ : state) {
    mc::readStoredCatalogue(db, "u1", catalogue);
    benchmark::DoNotOptimize(catalogue.data());
  }
  db.Close();
  std::filesystem::remove(path);
}

}  // namespace

BENCHMARK(FirstSync)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(UnchangedSync)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(CameraListCompare)->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadCatalogue)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
