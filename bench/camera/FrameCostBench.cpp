// What one decoded picture costs the client from socket to pane (relay link,
// frame records, dispatch thread, H.264 decode, display upload), in CPU time
// of the whole process, against a bare libavcodec decode of the very access
// units the relay sent. The relay is platform-sim in a child process, so its
// encoding is not counted.
#include <cstdio>
#include <stdexcept>
#include <thread>
#include <vector>

#include "bench/camera/BenchSupport.h"
#include "camera/CCameraTcp.h"
#include "camera/CameraReplies.h"
#include "common/TickCount.h"
#include "core/AppFolder.h"
#include "core/ThreadPool.h"
#include "link/ClientBufferPool.h"
#include "media/FfmpegHandles.h"
#include "tests/support/SimProcess.h"

namespace {

using namespace std::chrono_literals;

struct Size {
  int width, height;
};
constexpr int kFps = 50;
constexpr int kCapturedFrames = 200;  // two loops of the relay's stream
constexpr auto kMeasureFor = 8s;

SxtParamPtr cameraOn(const mc::test::SimProcess& sim, const std::string& id) {
  auto camera = SxtParam::create(id);
  camera->transpondIp = sim.relay().host;
  camera->transpondPort = sim.relay().portText();
  return camera;
}

// The access units the relay sends, from a key frame on, as received.
std::vector<std::vector<std::uint8_t>> captureUnits(const mc::test::SimProcess& sim,
                                                    const std::shared_ptr<ClientBufferPool>& pool,
                                                    const std::shared_ptr<ThreadPool>& callbacks) {
  auto buffers = std::make_shared<CBufferManage>([] { return mc::tickCount() + 100000; });  // all due at once
  const std::string id = mc::bench::benchCameraId(1);
  auto link = std::make_shared<CCameraTcp>(cameraOn(sim, id), pool, callbacks, buffers);
  if (!link->Connect(id)) throw std::runtime_error("relay not reached");
  MessageEnvelope login;
  login.msgType = mc::relay::kLogin;
  login.params = {{"SxtId", id}, {"PWD", mc::relay::loginDigest(id)}};
  link->SendEnvelope(login);

  std::vector<std::vector<std::uint8_t>> units;
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (units.size() < kCapturedFrames && std::chrono::steady_clock::now() < deadline) {
    VideoFramePtr frame = buffers->PopVideoFrame();
    if (!frame) {
      std::this_thread::sleep_for(2ms);
      continue;
    }
    if (!units.empty() || frame->isKeyFrame())
      units.emplace_back(frame->payload.begin(), frame->payload.begin() + frame->payloadLength());
    buffers->ReleaseVideoFrame(std::move(frame));
  }
  link->Close();
  if (units.size() < kCapturedFrames) throw std::runtime_error("too few frames from the relay");
  return units;
}

// CPU microseconds per picture of a one-thread libavcodec decode: back to
// back (`pace` 0), or one unit per `pace` as the stream delivers them, which
// lets the caches go cold between pictures as they do in the client.
double bareDecodeMicros(const std::vector<std::vector<std::uint8_t>>& units, std::chrono::microseconds pace) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  mc::media::CodecContextPtr context(avcodec_alloc_context3(codec));
  context->flags |= AV_CODEC_FLAG_LOW_DELAY;
  context->thread_count = 1;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) throw std::runtime_error("cannot open the decoder");
  mc::media::FramePtr frame(av_frame_alloc());
  mc::media::PacketPtr packet(av_packet_alloc());
  std::vector<std::vector<std::uint8_t>> padded;
  for (const auto& unit : units) {
    padded.push_back(unit);
    padded.back().resize(unit.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  }
  const int passes = pace.count() ? 1 : 5;
  long pictures = 0;
  double spent = 0;
  for (int pass = 0; pass < passes; ++pass) {
    for (std::size_t i = 0; i < units.size(); ++i) {
      if (pace.count()) std::this_thread::sleep_for(pace);
      const double start = mc::bench::threadCpuSeconds();
      packet->data = padded[i].data();
      packet->size = static_cast<int>(units[i].size());
      if (avcodec_send_packet(context.get(), packet.get()) < 0) throw std::runtime_error("decode failed");
      while (avcodec_receive_frame(context.get(), frame.get()) == 0) {
        ++pictures;
        av_frame_unref(frame.get());
      }
      spent += mc::bench::threadCpuSeconds() - start;
    }
  }
  return spent * 1e6 / static_cast<double>(pictures);
}

struct ClientCost {
  double microsPerPicture = 0;
  double picturesPerSecond = 0;
  std::uint64_t dropped = 0;
  std::string byThread;  // per picture, by thread name
};

ClientCost clientCost(const mc::test::SimProcess& sim, const std::shared_ptr<ClientBufferPool>& pool,
                      const std::shared_ptr<ThreadPool>& callbacks) {
  const std::string id = mc::bench::benchCameraId(1);
  auto view = std::make_shared<CCameraLogic>(cameraOn(sim, id), pool, callbacks);
  if (!view->Open(id, 1, 0, 0, 0, 0)) throw std::runtime_error("camera not opened");
  while (view->GetPipelineStats().framesDecoded < 2 * kFps) std::this_thread::sleep_for(10ms);

  const auto before = view->GetPipelineStats();
  const auto buffersBefore = view->GetBufferManage()->stats();
  const auto threads0 = mc::bench::cpuByThreadName();
  const double cpu0 = mc::bench::processCpuSeconds(), wall0 = mc::bench::wallSeconds();
  std::this_thread::sleep_for(kMeasureFor);
  const double cpu1 = mc::bench::processCpuSeconds(), wall1 = mc::bench::wallSeconds();
  const auto threads1 = mc::bench::cpuByThreadName();
  const auto after = view->GetPipelineStats();
  const auto buffersAfter = view->GetBufferManage()->stats();
  view->Close();

  const auto pictures = static_cast<double>(after.framesDecoded - before.framesDecoded);
  ClientCost cost;
  for (const auto& [name, seconds] : threads1) {
    const auto was = threads0.find(name);
    const double spent = seconds - (was == threads0.end() ? 0.0 : was->second);
    if (spent > 0) cost.byThread += name + " " + std::to_string(static_cast<int>(spent * 1e6 / pictures)) + " us; ";
  }
  cost.microsPerPicture = (cpu1 - cpu0) * 1e6 / pictures;
  cost.picturesPerSecond = pictures / (wall1 - wall0);
  cost.dropped = (buffersAfter.videoTrimmed - buffersBefore.videoTrimmed) +
                 (buffersAfter.videoDiscontinuous - buffersBefore.videoDiscontinuous);
  return cost;
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

  std::printf("%-10s %14s %14s %8s %16s %8s %10s %8s\n", "picture", "client us/pic", "bare us/pic", "ratio",
              "bare paced us/pic", "ratio", "pictures/s", "dropped");
  for (const Size size : {Size{352, 288}, Size{704, 576}, Size{1280, 720}}) {
    mc::test::SimProcess sim(mc::bench::benchWorld(1, size.width, size.height, kFps));
    const auto units = captureUnits(sim, pool, callbacks);
    const double bare = bareDecodeMicros(units, std::chrono::microseconds(0));
    const double paced = bareDecodeMicros(units, std::chrono::microseconds(1000000 / kFps));
    const ClientCost client = clientCost(sim, pool, callbacks);
    char label[32];
    std::snprintf(label, sizeof label, "%dx%d", size.width, size.height);
    std::printf("%-10s %14.1f %14.1f %8.3f %16.1f %8.3f %10.1f %8llu\n", label, client.microsPerPicture, bare,
                client.microsPerPicture / bare, paced, client.microsPerPicture / paced, client.picturesPerSecond,
                static_cast<unsigned long long>(client.dropped));
    std::printf("           by thread: %s\n", client.byThread.c_str());
    std::fflush(stdout);
  }
  callbacks->stop();
  return 0;
}
