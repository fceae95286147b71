#pragma once
#include <cstdint>

#include "media/FfmpegHandles.h"
#include "media/IVideoDo.h"
#include "media/Yv12Picture.h"

// First handler of the video chain: decodes each H.264 access unit (Annex B,
// one per frame) with libavcodec into a YV12 picture of the size the frame
// header announces. One decoder instance per picture size: a size change
// releases the instance and the next access unit goes to a fresh one.
// Runs on the camera's dispatch thread.
class CDecodeDo : public IVideoDo {
 public:
  CDecodeDo(SxtParamPtr cameraRecord, std::weak_ptr<IVideoState> videoState);
  ~CDecodeDo() override;

  // Forgets any instance (called once, right after creation).
  bool Reset() override;
  // Releases the decoder instance.
  bool Stop() override;
  // Sets the context's picture and returns true when the access unit gave a
  // picture; otherwise clears it and returns false, ending the chain.
  bool Process(VideoDoContext* context) override;

  int decoderWidth() const { return decoderWidth_; }
  int decoderHeight() const { return decoderHeight_; }
  // Decoder instances created so far.
  std::uint64_t instancesCreated() const { return instancesCreated_; }

 private:
  bool EnsureDecoder(int width, int height);
  void ReleaseDecoder();
  bool Decode(const std::uint8_t* data, std::uint32_t length, int width, int height);
  bool CopyPicture(const AVFrame& frame, int width, int height);
  void ReportFailure(const char* what, int error);

  mc::media::CodecContextPtr decoder;
  mc::media::FramePtr frame;
  mc::media::PacketPtr packet;
  int decoderWidth_ = 0;
  int decoderHeight_ = 0;
  Yv12Picture pictureBuffer;
  mc::media::BufferPtr input;  // the access unit handed to libavcodec, reused while libavcodec holds no reference
  std::uint64_t instancesCreated_ = 0;
  bool failureReported = false;  // one log line per run of failures
};
