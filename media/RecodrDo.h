#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/FAACEncode.h"
#include "media/H264Encoder.h"
#include "media/IVideoDo.h"
#include "media/Mp4Writer.h"

// Second handler of the video chain and the camera's audio handler: while the
// pane's `recording` flag is on, re-encodes the decoded pictures (at most one
// per 40 ms) and the camera's PCM into an MP4 file in the capture folder,
// named <camera id>_<tick count>.mp4. A file ends when recording is switched
// off, when the picture size or the sound format changes (the next picture
// starts a new file) and when the pane closes (Stop) or the handler goes.
//
// Both faces run on the camera's dispatch thread; Stop after that thread has
// been joined. Everything is guarded by the video face's lock.
class RecodrDo : public IVideoDo, public IAduioDo {
 public:
  using Clock = std::function<std::uint32_t()>;  // milliseconds, wrapping

  static constexpr std::uint32_t kEncodeIntervalMs = 40;
  static constexpr int kFrameRate = 25;
  static constexpr std::size_t kFilesKept = 100;

  // `clock` defaults to the tick count.
  RecodrDo(SxtParamPtr cameraRecord, std::weak_ptr<IVideoState> videoState, std::string captureFolder,
           Clock clock = {});
  ~RecodrDo() override;

  // Closes the file (both faces).
  bool Reset() override;
  // Clears `recording` and closes the file (both faces).
  bool Stop() override;
  // Video face: one decoded picture. Always true: recording never stops the chain.
  bool Process(VideoDoContext* context) override;
  // Audio face: one block of interleaved 16-bit PCM. Always true.
  bool Process(const std::uint8_t* pcm, std::uint32_t length, std::uint32_t sampleRate,
               std::int32_t bitsPerSample, std::int32_t channels) override;

  // The file being written, or empty.
  std::string currentFile() const;
  // Files finished by this handler, oldest first (the last kFilesKept).
  std::vector<std::string> finishedFiles() const;

 private:
  std::string newFileName() const;
  bool openFile(int width, int height);
  void closeFile();
  bool recordingWanted() const;

  const std::string captureFolder;
  const Clock clock;

  std::unique_ptr<Mp4Writer> writer;
  std::unique_ptr<CH264Encoder> encoder;
  int recordWidth = 0;
  int recordHeight = 0;
  std::uint32_t lastEncodeTick = 0;
  bool encodedOnce = false;  // lastEncodeTick holds a time
  bool firstVideo = true;
  bool firstAudio = true;
  std::unique_ptr<FAACEncode> audioEncoder;  // one per file, made on the first PCM block
  std::uint32_t refusedRate = 0;             // a sound format the encoder refused, not retried
  std::int32_t refusedChannels = 0;
  bool reportedFailure = false;              // a failure streak was logged once
  mutable std::mutex filesLock;  // the two file name fields below
  std::string current;
  std::deque<std::string> finished;
};
