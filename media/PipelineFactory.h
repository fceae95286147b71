#pragma once
#include <functional>
#include <memory>
#include <string>

#include "common/WindowMessage.h"
#include "link/CatalogueParam.h"
#include "media/AudioDecoding.h"
#include "media/IRenderTarget.h"
#include "media/IVideoDo.h"

// What a handler is built with: the camera, its pane and where files go.
struct HandlerContext {
  SxtParamPtr cameraRecord;
  std::weak_ptr<IVideoState> videoState;
  mc::WindowHandle window = mc::kNoWindow;
  DisplayTrims trims;
  std::string captureFolder;  // snapshots and recordings
};

// The recorder is one object seen from both chains.
struct RecorderHandlers {
  std::shared_ptr<IVideoDo> video;
  std::shared_ptr<IAduioDo> audio;
};

// How a camera's pipeline is made. The video chain is always, in this order:
// decode, record, snapshot, display; the recorder's audio face is the first
// audio handler. A maker left empty, or returning null, leaves its place out
// of the chain. The display handler is a CShowVideo drawing into the target
// that createRenderTarget gives for the pane window.
struct PipelineFactory {
  using VideoMaker = std::function<std::shared_ptr<IVideoDo>(const HandlerContext&)>;
  using RecorderMaker = std::function<RecorderHandlers(const HandlerContext&)>;
  // Returns the camera's decoder for the codec of `firstFrame`, or null when
  // that codec is not decoded (its frames are then consumed without output).
  using AudioDecoderMaker = std::function<std::unique_ptr<IAudioDecoder>(const mc::media::AudioFormat& firstFrame)>;

  VideoMaker makeDecoder;
  RecorderMaker makeRecorder;
  VideoMaker makeSnapshot;
  AudioDecoderMaker makeAudioDecoder;
  // The speakers, shared by all cameras; null when the program has none.
  std::shared_ptr<IPcmOutput> soundOutput;
  // Folder of snapshots and recordings, read when the pipeline is built.
  std::function<std::string()> captureFolder;
};

// The program's pipeline: CDecodeDo, the recorder, CPictrueDo and CShowVideo,
// the camera audio decoders and the sound output, files in AppContext's
// capture folder.
PipelineFactory defaultPipelineFactory();
