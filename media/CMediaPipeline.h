#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "media/CBufferManage.h"
#include "media/PipelineFactory.h"

class CShowVideo;
class OThread;

// Counters of one pipeline since it was built.
struct PipelineStats {
  std::uint64_t videoFramesHandled = 0;  // frames that went down the chain
  std::uint64_t framesDecoded = 0;       // of those, frames that gave a picture
  std::uint64_t audioFramesHandled = 0;
  std::uint64_t pcmBlocks = 0;           // decoded sound blocks handed on
  std::uint64_t videoExceptions = 0;
  std::uint64_t audioExceptions = 0;
  std::uint32_t firstPictureTick = 0;    // tick count of the first decoded picture (when hasPicture)
  bool hasPicture = false;
  std::uint32_t width = 0;               // size of the last decoded picture
  std::uint32_t height = 0;
};

// The media pipeline of one open camera pane: the video and audio handler
// lists, the camera's audio decoders and its dispatch thread, which pops
// frames from the camera's CBufferManage every 10 ms and runs them through
// the handlers. Owned by the camera object, which builds it with its camera
// record, its CBufferManage and defaultPipelineFactory(), calls
// BuildPipeline (with a weak reference to itself as IVideoState, the pane
// window and the trims) when the pane opens and StopPipeline when it closes.
// BuildPipeline and StopPipeline are called from the interface thread or the
// coordinator's threads, one at a time (the camera's open lock serialises
// them).
class CMediaPipeline {
 public:
  static constexpr int kDispatchSleepMs = 10;

  CMediaPipeline(SxtParamPtr cameraRecord, std::shared_ptr<CBufferManage> bufferManage, PipelineFactory factory);
  // Stops the pipeline.
  ~CMediaPipeline();
  CMediaPipeline(const CMediaPipeline&) = delete;
  CMediaPipeline& operator=(const CMediaPipeline&) = delete;

  enum class Dispatch { Thread, Manual };

  // Empties the queues, builds the handler chains for `window` and starts the
  // dispatch thread, named after the camera id. A pipeline still running is
  // stopped first. With Dispatch::Manual no thread is started and the caller
  // drives the pipeline with DispatchPass (tests, benchmarks). False when the
  // dispatch thread could not be started (the handlers are built all the same
  // and StopPipeline releases them).
  bool BuildPipeline(std::weak_ptr<IVideoState> videoState, mc::WindowHandle window, const DisplayTrims& trims,
                     Dispatch dispatch = Dispatch::Thread);
  // Joins the dispatch thread, empties the queues, stops and drops every
  // handler and the audio decoders.
  void StopPipeline();

  // One pass of the dispatch loop without its sleep: at most one audio frame
  // and one video frame. Only for Dispatch::Manual pipelines.
  void DispatchPass();

  // Mouse wheel over the pane (interface thread, screen coordinates).
  void Zoom(int x, int y, std::int16_t delta);

  // Camera sound to the speakers; set only through the coordinator, which
  // keeps it on for at most one camera.
  std::atomic<bool> soundOn{false};

  PipelineStats stats() const;
  bool running() const;

 private:
  class AudioSink;

  void DispatchLoop();
  void AudioStep();
  void VideoStep(VideoDoContext& context);
  void HandlePcm(const PcmBlock& block);
  void ReleaseHandlers();

  const SxtParamPtr cameraRecord;
  const std::shared_ptr<CBufferManage> bufferManage;
  const PipelineFactory factory;

  std::mutex videoListLock;  // held while a frame runs down the chain
  std::vector<std::shared_ptr<IVideoDo>> videoHandlers;
  std::mutex audioListLock;  // held while a PCM block goes to the handlers
  std::vector<std::shared_ptr<IAduioDo>> audioHandlers;

  // The display handler for Zoom, under its own lock so a wheel turn never
  // waits for a frame being decoded.
  mutable std::mutex displayLock;
  std::shared_ptr<CShowVideo> display;

  // Audio decoders by codec; touched only by the dispatch thread, or by
  // Build/Stop while no dispatch thread runs.
  std::map<std::int32_t, std::unique_ptr<IAudioDecoder>> audioDecoders;

  std::shared_ptr<OThread> dispatchThread;
  VideoDoContext manualContext;
  Dispatch dispatchMode = Dispatch::Thread;

  std::atomic<std::uint64_t> videoFramesHandled_{0}, framesDecoded_{0}, audioFramesHandled_{0}, pcmBlocks_{0};
  std::atomic<std::uint64_t> videoExceptions_{0}, audioExceptions_{0};
  std::atomic<std::uint32_t> firstPictureTick_{0};
  std::atomic<bool> hasPicture_{false};
  std::atomic<std::uint32_t> lastWidth_{0}, lastHeight_{0};
};
