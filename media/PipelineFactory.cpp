#include "media/PipelineFactory.h"

#include "core/AppContext.h"
#include "media/CDecodeDo.h"
#include "media/CPictrueDo.h"
#include "media/RecodrDo.h"

PipelineFactory defaultPipelineFactory() {
  PipelineFactory factory;
  factory.makeDecoder = [](const HandlerContext& context) {
    return std::make_shared<CDecodeDo>(context.cameraRecord, context.videoState);
  };
  factory.makeRecorder = [](const HandlerContext& context) {
    auto recorder = std::make_shared<RecodrDo>(context.cameraRecord, context.videoState, context.captureFolder);
    return RecorderHandlers{recorder, recorder};
  };
  factory.makeSnapshot = [](const HandlerContext& context) {
    return std::make_shared<CPictrueDo>(context.cameraRecord, context.videoState, context.captureFolder);
  };
  // The AAC and G.711 decoders and the process-wide sound output are made
  // here once they exist; until then camera sound is consumed unheard.
  factory.makeAudioDecoder = {};
  factory.soundOutput = nullptr;
  factory.captureFolder = [] { return AppContext::instance().capturePath; };
  return factory;
}
