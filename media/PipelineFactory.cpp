#include "media/PipelineFactory.h"

#include "core/AppContext.h"
#include "media/AudioDecoders.h"
#include "media/AudioLogic.h"
#include "media/CDecodeDo.h"
#include "media/CPictrueDo.h"

PipelineFactory defaultPipelineFactory() {
  PipelineFactory factory;
  factory.makeDecoder = [](const HandlerContext& context) {
    return std::make_shared<CDecodeDo>(context.cameraRecord, context.videoState);
  };
  // The recorder (RecodrDo, both chains) is made here once it exists.
  factory.makeRecorder = {};
  factory.makeSnapshot = [](const HandlerContext& context) {
    return std::make_shared<CPictrueDo>(context.cameraRecord, context.videoState, context.captureFolder);
  };
  factory.makeAudioDecoder = createAudioDecoder;
  factory.soundOutput = AudioLogic::instance();
  factory.captureFolder = [] { return AppContext::instance().capturePath; };
  return factory;
}
