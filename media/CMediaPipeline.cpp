#include "media/CMediaPipeline.h"

#include <boost/chrono/duration.hpp>
#include <boost/core/demangle.hpp>
#include <boost/thread/thread.hpp>
#include <exception>
#include <typeinfo>

#include "common/TickCount.h"
#include "core/OLog.h"
#include "core/OThread.h"
#include "media/CShowVideo.h"

namespace {

// Gives a frame record back to its pool however the step ends.
template <typename Frame, void (CBufferManage::*Release)(std::unique_ptr<Frame>)>
class FrameReturn {
 public:
  FrameReturn(CBufferManage& buffers, std::unique_ptr<Frame>& frame) : buffers_(buffers), frame_(frame) {}
  ~FrameReturn() { (buffers_.*Release)(std::move(frame_)); }
  FrameReturn(const FrameReturn&) = delete;
  FrameReturn& operator=(const FrameReturn&) = delete;

 private:
  CBufferManage& buffers_;
  std::unique_ptr<Frame>& frame_;
};

using VideoFrameReturn = FrameReturn<StreamVideoFrame, &CBufferManage::ReleaseVideoFrame>;
using AudioFrameReturn = FrameReturn<StreamAudioFrame, &CBufferManage::ReleaseAudioFrame>;

// Payload bytes the record really holds, whatever its header claims.
template <typename Frame>
std::uint32_t heldPayload(const Frame& frame) {
  const std::size_t held = frame.payload.size() >= kPayloadPadding ? frame.payload.size() - kPayloadPadding : 0;
  return static_cast<std::uint32_t>(std::min<std::size_t>(frame.payloadLength(), held));
}

void logException(const char* text) {
  LOG_ERROR("%s", text);
  try {
    throw;
  } catch (const std::exception& e) {
    LOG_ERROR("%s: %s", boost::core::demangle(typeid(e).name()).c_str(), e.what());
  } catch (...) {
  }
}

}  // namespace

class CMediaPipeline::AudioSink final : public IPcmSink {
 public:
  explicit AudioSink(CMediaPipeline& pipeline) : pipeline_(pipeline) {}
  void OnPcm(const PcmBlock& block) override { pipeline_.HandlePcm(block); }

 private:
  CMediaPipeline& pipeline_;
};

CMediaPipeline::CMediaPipeline(SxtParamPtr cameraRecord, std::shared_ptr<CBufferManage> bufferManage,
                               PipelineFactory factory)
    : cameraRecord(std::move(cameraRecord)), bufferManage(std::move(bufferManage)), factory(std::move(factory)) {}

CMediaPipeline::~CMediaPipeline() { StopPipeline(); }

bool CMediaPipeline::BuildPipeline(std::weak_ptr<IVideoState> videoState, mc::WindowHandle window,
                                   const DisplayTrims& trims, Dispatch dispatch) {
  StopPipeline();
  bufferManage->ClearVideo();
  bufferManage->ClearAudio();
  audioDecoders.clear();

  videoFramesHandled_ = framesDecoded_ = audioFramesHandled_ = pcmBlocks_ = 0;
  videoExceptions_ = audioExceptions_ = 0;
  firstPictureTick_ = 0;
  hasPicture_ = false;
  lastWidth_ = lastHeight_ = 0;
  manualContext = VideoDoContext{};

  const HandlerContext context{cameraRecord, videoState, window, trims,
                               factory.captureFolder ? factory.captureFolder() : std::string()};
  {
    std::scoped_lock lists(videoListLock, audioListLock);
    if (factory.makeDecoder) {
      if (auto decoder = factory.makeDecoder(context)) {
        decoder->Reset();
        videoHandlers.push_back(std::move(decoder));
      }
    }
    if (factory.makeRecorder) {
      RecorderHandlers recorder = factory.makeRecorder(context);
      if (recorder.video) videoHandlers.push_back(std::move(recorder.video));
      if (recorder.audio) audioHandlers.push_back(std::move(recorder.audio));
    }
    if (factory.makeSnapshot) {
      if (auto snapshot = factory.makeSnapshot(context)) videoHandlers.push_back(std::move(snapshot));
    }
    auto show = std::make_shared<CShowVideo>(cameraRecord, videoState, window, createRenderTarget(window));
    show->SetTrims(trims.top, trims.bottom, trims.left, trims.right);
    videoHandlers.push_back(show);
    std::lock_guard guard(displayLock);
    display = std::move(show);
  }

  dispatchMode = dispatch;
  if (dispatch == Dispatch::Thread) {
    if (!dispatchThread) dispatchThread = OThread::create();
    return dispatchThread->start(cameraRecord ? cameraRecord->id : std::string(), [this] { DispatchLoop(); });
  }
  return true;
}

void CMediaPipeline::StopPipeline() {
  if (dispatchThread) {
    dispatchThread->stop();
    dispatchThread.reset();
  }
  bufferManage->ClearVideo();
  bufferManage->ClearAudio();
  ReleaseHandlers();
  audioDecoders.clear();
}

void CMediaPipeline::ReleaseHandlers() {
  std::vector<std::shared_ptr<IVideoDo>> video;
  {
    std::lock_guard lock(videoListLock);
    for (const auto& handler : videoHandlers) {
      try {
        handler->Stop();
      } catch (...) {
        logException("视频解码 出现异常");
      }
    }
    video.swap(videoHandlers);
  }
  {
    std::lock_guard guard(displayLock);
    display.reset();
  }
  std::vector<std::shared_ptr<IAduioDo>> audio;
  {
    std::lock_guard lock(audioListLock);
    for (const auto& handler : audioHandlers) {
      try {
        handler->Stop();
      } catch (...) {
        logException("音频解码 出现异常");
      }
    }
    audio.swap(audioHandlers);
  }
}

bool CMediaPipeline::running() const { return dispatchThread && dispatchThread->running(); }

void CMediaPipeline::DispatchLoop() {
  VideoDoContext context{};
  try {
    for (;;) {
      boost::this_thread::sleep_for(boost::chrono::milliseconds(kDispatchSleepMs));
      AudioStep();
      VideoStep(context);
    }
  } catch (const boost::thread_interrupted&) {
    // StopPipeline asked the loop to end.
  }
}

void CMediaPipeline::DispatchPass() {
  if (dispatchMode != Dispatch::Manual) return;
  AudioStep();
  VideoStep(manualContext);
}

void CMediaPipeline::AudioStep() {
  try {
    AudioFramePtr frame = bufferManage->PopAudioFrame();
    if (!frame) return;
    AudioFrameReturn giveBack(*bufferManage, frame);
    ++audioFramesHandled_;

    const mc::media::AudioFormat format = frame->format();
    if (format.codec != mc::media::kCodecAac && format.codec != mc::media::kCodecG711A) return;
    std::unique_ptr<IAudioDecoder>& decoder = audioDecoders[format.codec];
    if (!decoder && factory.makeAudioDecoder) decoder = factory.makeAudioDecoder(format);
    if (!decoder) return;
    AudioSink sink(*this);
    decoder->Decode(frame->payload.data(), heldPayload(*frame), format, sink);
  } catch (const boost::thread_interrupted&) {
    throw;
  } catch (...) {
    ++audioExceptions_;
    logException("音频解码 出现异常");
  }
}

void CMediaPipeline::HandlePcm(const PcmBlock& block) {
  if (!block.data || block.length == 0) return;
  ++pcmBlocks_;
  std::lock_guard lock(audioListLock);
  for (const auto& handler : audioHandlers)
    handler->Process(block.data, block.length, block.sampleRate, block.bitsPerSample, block.channels);
  if (soundOn && factory.soundOutput)
    factory.soundOutput->EnqueuePcm(block.data, block.length, block.sampleRate, block.bitsPerSample, block.channels);
}

void CMediaPipeline::VideoStep(VideoDoContext& context) {
  try {
    VideoFramePtr frame = bufferManage->PopVideoFrame();
    if (!frame) return;
    VideoFrameReturn giveBack(*bufferManage, frame);

    context.frame = frame.get();
    context.picture = nullptr;
    context.pictureSize = 0;
    {
      std::lock_guard lock(videoListLock);
      for (const auto& handler : videoHandlers) {
        if (!handler->Process(&context)) break;
      }
    }
    ++videoFramesHandled_;
    if (context.picture) {
      ++framesDecoded_;
      lastWidth_ = context.width;
      lastHeight_ = context.height;
      if (!hasPicture_) {  // only this thread writes both
        firstPictureTick_ = mc::tickCount();
        hasPicture_ = true;
      }
    }
    context.frame = nullptr;
  } catch (const boost::thread_interrupted&) {
    context.frame = nullptr;
    throw;
  } catch (...) {
    context.frame = nullptr;
    ++videoExceptions_;
    logException("视频解码 出现异常");
  }
}

void CMediaPipeline::Zoom(int x, int y, std::int16_t delta) {
  std::shared_ptr<CShowVideo> show;
  {
    std::lock_guard guard(displayLock);
    show = display;
  }
  if (show) show->Zoom(x, y, delta);
}

PipelineStats CMediaPipeline::stats() const {
  PipelineStats s;
  s.videoFramesHandled = videoFramesHandled_;
  s.framesDecoded = framesDecoded_;
  s.audioFramesHandled = audioFramesHandled_;
  s.pcmBlocks = pcmBlocks_;
  s.videoExceptions = videoExceptions_;
  s.audioExceptions = audioExceptions_;
  s.firstPictureTick = firstPictureTick_;
  s.hasPicture = hasPicture_;
  s.width = lastWidth_;
  s.height = lastHeight_;
  return s;
}
