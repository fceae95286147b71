#include "media/PipelineFactory.h"

#include "core/AppContext.h"
#include "media/AudioDecoders.h"
#include "media/AudioLogic.h"
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
  factory.makeAudioDecoder = createAudioDecoder;
  factory.soundOutput = AudioLogic::instance();
  factory.captureFolder = [] { return AppContext::instance().capturePath; };
  return factory;
}
