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

// FirstSync writes where the client keeps its files (a real disk: every
// statement is its own committed transaction); the other benchmarks measure
// reads and comparisons and work on a memory file system, which also keeps
// their setup short.
std::string databasePath(bool onDisk, const std::string& name) {
  const char* dir = std::getenv("BENCH_DIR");
  std::string folder = dir && *dir ? dir : std::filesystem::current_path().string();
  if (!onDisk && std::filesystem::is_directory("/dev/shm")) folder = "/dev/shm";
  const std::string path = folder + "/bench-paramInfo-" + name + "-" + std::to_string(::getpid()) + ".db";
  std::filesystem::remove(path);
  return path;
}

// A synchronised store of `nodes` nodes, removed at the end of the benchmark.
class SyncedStore {
 public:
  explicit SyncedStore(int nodes) : server(nodes), path_(databasePath(false, std::to_string(nodes))) {
    db.Open(path_);
    mc::syncNodes(db, server, "u1");
  }
  ~SyncedStore() {
    db.Close();
    std::filesystem::remove(path_);
  }
  GeneratedServer server;
  CLocalDb db;

 private:
  std::string path_;
};

void FirstSync(benchmark::State& state) {
  GeneratedServer server(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    const std::string path = databasePath(true, "first");
    CLocalDb db;
    db.Open(path);
    state.ResumeTiming();
    if (!mc::syncNodes(db, server, "u1")) state.SkipWithError("synchronisation failed");
    state.PauseTiming();
    db.Close();
    std::filesystem::remove(path);
    state.ResumeTiming();
  }
  const double rows = static_cast<double>(state.range(0) * (kCamerasPerNode + 1));
  state.counters["rows"] = rows;
  state.counters["per_row"] = benchmark::Counter(rows * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void UnchangedSync(benchmark::State& state) {
  SyncedStore store(static_cast<int>(state.range(0)));
  // Same stamps: the node list is compared, no camera list is asked.
  for (auto _ : state) benchmark::DoNotOptimize(mc::syncNodes(store.db, store.server, "u1"));
}

void CameraListCompare(benchmark::State& state) {
  SyncedStore store(1);
  // Every camera compared, none rewritten.
  for (auto _ : state) benchmark::DoNotOptimize(mc::syncCameras(store.db, store.server, "node-0"));
}

void ReadCatalogue(benchmark::State& state) {
  SyncedStore store(static_cast<int>(state.range(0)));
  std::vector<mc::StoredNode> catalogue;
  for (auto _ : state) {
    mc::readStoredCatalogue(store.db, "u1", catalogue);
    benchmark::DoNotOptimize(catalogue.data());
  }
}

}  // namespace

BENCHMARK(FirstSync)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(UnchangedSync)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(CameraListCompare)->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadCatalogue)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
