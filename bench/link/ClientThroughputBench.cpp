// Receive throughput of Client for 64 KB frames over loopback, against a plain
// blocking reader of the same bytes, and heap allocations per message once the
// stream is steady (the buffer pools should make buffer allocations zero).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "core/AppFolder.h"
#include "core/ThreadPool.h"
#include "link/Client.h"
#include "link/ClientBufferPool.h"
#include "link/Framing.h"

// ---- allocation counting (whole process) -----------------------------------

namespace {
std::atomic<std::uint64_t> allocations{0};
std::atomic<std::uint64_t> largeAllocations{0};  // 64 KB and more: body storage
constexpr std::size_t kLarge = 64 * 1024;

void* countedAllocate(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (size >= kLarge) largeAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return countedAllocate(size); }
void* operator new[](std::size_t size) { return countedAllocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return countedAllocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return countedAllocate(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int32_t kBodySize = 64 * 1024;
constexpr int kMessages = 20000;  // about 1.3 GB per run
constexpr int kRuns = 5;

struct Listener {
  int fd = -1;
  int port = 0;
  Listener() {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0) {
      std::perror("listen");
      std::exit(1);
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
  }
  ~Listener() { ::close(fd); }
};

constexpr int kBatch = 16;

// 16 frames back to back, built once so the sender allocates nothing.
const std::vector<std::uint8_t>& frameBatch() {
  static const std::vector<std::uint8_t> batch = [] {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < kBatch; ++i) {
      std::uint8_t header[4];
      frame::writeLength(header, kBodySize);
      bytes.insert(bytes.end(), header, header + 4);
      bytes.insert(bytes.end(), static_cast<std::size_t>(kBodySize), static_cast<std::uint8_t>(i));
    }
    return bytes;
  }();
  return batch;
}

// Writes `count` frames of kBodySize bytes as fast as the socket takes them.
void sendFrames(int fd, int count) {
  const std::vector<std::uint8_t>& batch = frameBatch();
  for (int sent = 0; sent < count;) {
    const int frames = std::min(kBatch, count - sent);
    const std::size_t bytes = static_cast<std::size_t>(frames) * (kBodySize + 4);
    for (std::size_t at = 0; at < bytes;) {
      const ssize_t written = ::send(fd, batch.data() + at, bytes - at, MSG_NOSIGNAL);
      if (written <= 0) return;
      at += static_cast<std::size_t>(written);
    }
    sent += frames;
  }
}

bool readExactly(int fd, std::uint8_t* out, std::size_t size) {
  for (std::size_t got = 0; got < size;) {
    const ssize_t count = ::recv(fd, out + got, size - got, 0);
    if (count <= 0) return false;
    got += static_cast<std::size_t>(count);
  }
  return true;
}

// The baseline: one thread reading header then body with blocking recv.
double blockingReaderSeconds() {
  Listener listener;
  std::thread sender([&] {
    const int fd = ::accept(listener.fd, nullptr, nullptr);
    sendFrames(fd, kMessages);
    ::close(fd);
  });
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(listener.port));
  ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  std::vector<std::uint8_t> body(512000);
  const auto start = Clock::now();
  int received = 0;
  for (std::uint8_t header[4]; received < kMessages && readExactly(fd, header, 4); ++received) {
    const std::int32_t length = frame::readLength(header);
    if (!frame::isValidBodyLength(length) || !readExactly(fd, body.data(), static_cast<std::size_t>(length))) break;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(fd);
  sender.join();
  if (received != kMessages) std::fprintf(stderr, "baseline received %d of %d\n", received, kMessages);
  return seconds;
}

class CountingClient : public Client {
 public:
  using Client::Client;

  void expect(int messages) {
    std::lock_guard lock(lock_);
    target_ = messages;
    received_ = 0;
  }
  bool waitForAll(int timeoutSeconds) {
    std::unique_lock lock(lock_);
    return done_.wait_for(lock, std::chrono::seconds(timeoutSeconds), [this] { return received_ >= target_; });
  }
  int received() {
    std::lock_guard lock(lock_);
    return received_;
  }
  std::int64_t bytes() const { return bytes_; }

 protected:
  void OnRecv(const BufferPtr& body) override {
    bytes_ += body->size();
    bool finished = false;
    {
      std::lock_guard lock(lock_);
      finished = ++received_ == target_;
    }
    if (finished) done_.notify_all();
  }
  void OnSent(const BufferPtr&, std::int32_t) override {}
  void OnDisconnected(const boost::system::error_code&) override {}

 private:
  std::mutex lock_;
  std::condition_variable done_;
  int target_ = 0;
  int received_ = 0;
  std::atomic<std::int64_t> bytes_{0};
};

struct ClientRun {
  double seconds = 0;
  double allocationsPerMessage = 0;
  double largeAllocationsPerMessage = 0;
  std::uint64_t poolObjectsCreated = 0;
};

ClientRun clientRun(const std::shared_ptr<ClientBufferPool>& pools, const std::shared_ptr<ThreadPool>& io,
                    const std::shared_ptr<ThreadPool>& callbacks) {
  Listener listener;
  auto client = std::make_shared<CountingClient>(pools, callbacks, io, false);
  int peer = -1;
  std::thread acceptor([&] { peer = ::accept(listener.fd, nullptr, nullptr); });
  if (!client->connect("127.0.0.1", listener.port, 3000)) {
    std::fprintf(stderr, "connect failed\n");
    std::exit(1);
  }
  acceptor.join();

  // Warm-up: the pools grow to what the stream needs.
  constexpr int kWarmUp = 2000;
  client->expect(kWarmUp);
  std::thread warm([&] { sendFrames(peer, kWarmUp); });
  warm.join();
  client->waitForAll(60);

  const auto created = pools->bodyPool()->createdCount() + pools->headerPool()->createdCount();
  const auto before = allocations.load();
  const auto largeBefore = largeAllocations.load();
  client->expect(kMessages);
  const auto start = Clock::now();
  std::thread sender([&] { sendFrames(peer, kMessages); });
  if (!client->waitForAll(120)) std::fprintf(stderr, "client received %d of %d\n", client->received(), kMessages);
  ClientRun run;
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  sender.join();
  run.allocationsPerMessage = double(allocations.load() - before) / kMessages;
  run.largeAllocationsPerMessage = double(largeAllocations.load() - largeBefore) / kMessages;
  run.poolObjectsCreated = pools->bodyPool()->createdCount() + pools->headerPool()->createdCount() - created;

  std::weak_ptr<CountingClient> watch = client;
  client->close();
  client.reset();
  ::close(peer);
  for (int i = 0; i < 500 && !watch.expired(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return run;
}

}  // namespace

int main() {
  // Pool threads open their logs in the application folder: keep them out of
  // the user's own.
  char folder[] = "/tmp/bench_link.XXXXXX";
  if (::mkdtemp(folder)) setApplicationFolder(folder);
  frameBatch();
  auto pools = ClientBufferPool::create();
  pools->init();
  auto io = ThreadPool::create(1);
  auto callbacks = ThreadPool::create(1);

  const double megabytes = double(kMessages) * kBodySize / (1024.0 * 1024.0);
  std::vector<double> baseline, client;
  ClientRun last;
  std::printf("run  reader MiB/s  Client MiB/s  pool buffers made  body-sized allocs/msg  all allocs/msg\n");
  for (int run = 0; run < kRuns; ++run) {
    baseline.push_back(blockingReaderSeconds());
    last = clientRun(pools, io, callbacks);
    client.push_back(last.seconds);
    std::printf("%3d  %12.0f  %12.0f  %17llu  %21.4f  %14.2f\n", run + 1, megabytes / baseline.back(),
                megabytes / last.seconds, static_cast<unsigned long long>(last.poolObjectsCreated),
                last.largeAllocationsPerMessage, last.allocationsPerMessage);
  }
  std::sort(baseline.begin(), baseline.end());
  std::sort(client.begin(), client.end());
  const double baselineRate = megabytes / baseline[kRuns / 2];
  const double clientRate = megabytes / client[kRuns / 2];

  std::printf("frames: %d x %d bytes over loopback, median of %d runs\n", kMessages, kBodySize, kRuns);
  std::printf("  blocking reader      %8.0f MiB/s  (%.3f s)\n", baselineRate, baseline[kRuns / 2]);
  std::printf("  Client               %8.0f MiB/s  (%.3f s)\n", clientRate, client[kRuns / 2]);
  std::printf("  ratio Client/reader  %8.2f\n", clientRate / baselineRate);
  std::printf("steady stream, last run, per message:\n");
  std::printf("  pool buffers created        %llu in %d messages\n",
              static_cast<unsigned long long>(last.poolObjectsCreated), kMessages);
  std::printf("  body-sized heap allocations %.4f  (>= 64 KB: buffer storage)\n", last.largeAllocationsPerMessage);
  std::printf("  all heap allocations        %.2f  (whole process: handlers, shared-pointer blocks)\n",
              last.allocationsPerMessage);

  callbacks->stop();
  io->stop();
  pools->release();
  // Figures to read, not a pass mark: on a loaded machine the callback side
  // can fall behind and the pools rightly grow to the larger backlog.
  return 0;
}
