#pragma once
#include <cstdint>
#include <memory>
#include <mutex>

#include "link/CatalogueParam.h"
#include "media/IVideoState.h"
#include "media/StreamFrame.h"
#include "media/Yv12Picture.h"

// What one video frame carries along the handler chain. One context per
// dispatch thread, cleared when the thread starts and reused for every frame;
// the dispatch loop sets `frame` and clears `picture`, the decoder fills the
// rest. Everything it points to belongs to the dispatch loop or the decoder
// and is valid only during the chain's run for this frame.
struct VideoDoContext {
  StreamVideoFrame* frame = nullptr;
  const std::uint8_t* payload = nullptr;  // start of the frame's payload
  std::uint32_t payloadLength = 0;        // header word 2, bits 0-24
  const std::uint8_t* picture = nullptr;  // decoded YV12 picture (owned by the decoder), or null
  std::uint32_t pictureSize = 0;          // width * height * 3 / 2, or 0
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool decoded = false;  // set once a picture has been produced

  Yv12View pictureView() const {
    return picture ? Yv12View{picture, static_cast<int>(width), static_cast<int>(height)} : Yv12View{};
  }
};

// Handler type codes.
enum VideoDoKind : std::int32_t {
  kDecodeDo = 0,   // CDecodeDo
  kShowVideo = 1,  // CShowVideo
  kPictrueDo = 2,  // CPictrueDo
  kRecodrDo = 3,   // RecodrDo
};

// A handler of the video chain (decode, record, snapshot, display). Process
// and Stop run on the camera's dispatch thread; Stop comes after that thread
// has been joined and no Process follows it.
class IVideoDo {
 public:
  IVideoDo(std::int32_t kind, SxtParamPtr cameraRecord, std::weak_ptr<IVideoState> videoState)
      : kind(kind), cameraRecord(std::move(cameraRecord)), videoState(std::move(videoState)) {}
  virtual ~IVideoDo() = default;
  IVideoDo(const IVideoDo&) = delete;
  IVideoDo& operator=(const IVideoDo&) = delete;

  virtual bool Reset() { return true; }
  virtual bool Stop() { return true; }
  // Handles one frame; false ends the chain for this frame.
  virtual bool Process(VideoDoContext* context) = 0;

  const std::int32_t kind;

 protected:
  std::mutex lock;                          // the handler's own lock
  const SxtParamPtr cameraRecord;           // its id names snapshot and recording files
  const std::weak_ptr<IVideoState> videoState;  // locked per frame; a gone camera reads all flags false
};

// A handler of decoded camera sound (the recorder's audio side). Runs on the
// camera's dispatch thread under the camera's audio handler list lock.
class IAduioDo {
 public:
  explicit IAduioDo(SxtParamPtr cameraRecord) : cameraRecord(std::move(cameraRecord)) {}
  virtual ~IAduioDo() = default;
  IAduioDo(const IAduioDo&) = delete;
  IAduioDo& operator=(const IAduioDo&) = delete;

  virtual bool Reset() { return true; }
  virtual bool Stop() { return true; }
  // `pcm` holds interleaved signed 16-bit samples, `length` bytes of them;
  // rate, bits and channels are those of the frame's audio format word.
  virtual bool Process(const std::uint8_t* pcm, std::uint32_t length, std::uint32_t sampleRate,
                       std::int32_t bitsPerSample, std::int32_t channels) = 0;

 protected:
  std::mutex lock;
  const SxtParamPtr cameraRecord;
};
