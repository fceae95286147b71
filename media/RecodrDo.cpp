#include "media/RecodrDo.h"

#include "common/FileSystem.h"
#include "common/TickCount.h"
#include "core/OLog.h"
#include "media/Yv12Picture.h"

RecodrDo::RecodrDo(SxtParamPtr cameraRecord, std::weak_ptr<IVideoState> videoState, std::string captureFolder,
                   Clock clock)
    : IVideoDo(kRecodrDo, cameraRecord, std::move(videoState)),
      IAduioDo(cameraRecord),
      captureFolder(std::move(captureFolder)),
      clock(clock ? std::move(clock) : Clock(mc::tickCount)) {}

RecodrDo::~RecodrDo() {
  std::lock_guard guard(IVideoDo::lock);
  closeFile();
}

bool RecodrDo::recordingWanted() const {
  const std::shared_ptr<IVideoState> state = videoState.lock();
  return state && state->recording;
}

bool RecodrDo::Reset() {
  std::lock_guard guard(IVideoDo::lock);
  closeFile();
  return true;
}

bool RecodrDo::Stop() {
  std::lock_guard guard(IVideoDo::lock);
  if (const std::shared_ptr<IVideoState> state = videoState.lock()) state->recording = false;
  closeFile();
  return true;
}

bool RecodrDo::Process(VideoDoContext* context) {
  std::lock_guard guard(IVideoDo::lock);
  if (!recordingWanted()) {
    closeFile();
    return true;
  }
  const Yv12View picture = context ? context->pictureView() : Yv12View{};
  if (picture.empty()) return true;  // the encoder checks the picture's size

  const std::uint32_t now = clock();
  if (encodedOnce && std::uint32_t(now - lastEncodeTick) < kEncodeIntervalMs) return true;
  lastEncodeTick = now;
  encodedOnce = true;

  if (picture.width != recordWidth || picture.height != recordHeight) {
    closeFile();
    recordWidth = picture.width;
    recordHeight = picture.height;
    lastEncodeTick = now;
    encodedOnce = true;
  }
  if (!writer && !openFile(picture.width, picture.height)) return true;
  if (!encoder) {
    std::string error;
    encoder = CH264Encoder::create(picture.width, picture.height, &error);
    if (!encoder) {
      if (!reportedFailure) LOG_ERROR("recording: no H.264 encoder: %s", error.c_str());
      reportedFailure = true;
      return true;
    }
  }
  const std::uint8_t* out = nullptr;
  std::size_t length = 0;
  if (encoder->encode(picture.data, context->pictureSize, out, length) && length > 0) {
    if (writer->WriteVideo(out, length, firstVideo) > 0) reportedFailure = false;
    firstVideo = false;
  }
  if (writer->failed()) {
    // The file cannot take more (disk full …): end it; the next picture
    // tries a new one.
    if (!reportedFailure) LOG_ERROR("recording: %s stopped taking samples", writer->path().c_str());
    reportedFailure = true;
    closeFile();
  }
  return true;
}

bool RecodrDo::Process(const std::uint8_t* pcm, std::uint32_t length, std::uint32_t sampleRate,
                       std::int32_t bitsPerSample, std::int32_t channels) {
  (void)bitsPerSample;  // the audio chain always hands on 16-bit samples
  std::lock_guard guard(IVideoDo::lock);
  if (!recordingWanted()) {
    closeFile();
    return true;
  }
  if (pcm == nullptr || length == 0 || sampleRate == 0 || sampleRate > 96000 || channels < 1) return true;

  if (audioEncoder &&
      (audioEncoder->sampleRate() != int(sampleRate) || audioEncoder->channels() != channels)) {
    // The audio track has one format: a new format starts a new file.
    if (!firstAudio) closeFile();
    audioEncoder.reset();
  }
  if (!audioEncoder) {
    if (refusedRate == sampleRate && refusedChannels == channels) return true;
    auto created = std::make_unique<FAACEncode>();
    if (!created->Init(int(sampleRate), 16, channels)) {
      refusedRate = sampleRate;
      refusedChannels = channels;
      return true;
    }
    refusedRate = 0;
    refusedChannels = 0;
    audioEncoder = std::move(created);
  }
  const std::uint8_t* out = nullptr;
  std::size_t outLength = 0;
  if (audioEncoder->Encode(pcm, length, out, outLength) && writer) {
    if (writer->WriteAudio(out, outLength, firstAudio, audioEncoder->samplesBehind()) == 1) firstAudio = false;
  }
  return true;
}

std::string RecodrDo::newFileName() const {
  const std::string id = IVideoDo::cameraRecord ? IVideoDo::cameraRecord->id : std::string();
  // The tick count names the file; a name already taken (the tick count
  // starts again at every boot) moves on to the next free number.
  for (std::uint32_t tick = clock();; ++tick) {
    std::string path = captureFolder + "/" + id + "_" + std::to_string(tick) + ".mp4";
    if (!mc::pathExists(path)) return path;
  }
}

bool RecodrDo::openFile(int width, int height) {
  std::string error;
  if (captureFolder.empty()) {
    error = "no capture folder";
  } else if (!mc::pathExists(captureFolder) && !mc::createFolderTree(captureFolder)) {
    error = "cannot create the capture folder " + captureFolder;
  } else {
    auto created = std::make_unique<Mp4Writer>(clock);
    const std::string path = newFileName();
    if (created->Create(path, width, height, kFrameRate, &error)) {
      writer = std::move(created);
      firstVideo = firstAudio = true;
      std::lock_guard files(filesLock);
      current = path;
      return true;
    }
  }
  // Tried again with the next picture; logged once per streak of failures.
  if (!reportedFailure) LOG_ERROR("recording: %s", error.c_str());
  reportedFailure = true;
  closeFile();
  return false;
}

void RecodrDo::closeFile() {
  encoder.reset();
  if (writer && audioEncoder && !firstAudio) {
    // The sound the encoder still holds belongs to this file.
    const std::uint8_t* out = nullptr;
    std::size_t length = 0;
    if (audioEncoder->Flush(out, length)) writer->WriteAudio(out, length, false, 0);
  }
  // A new file starts with a fresh AAC stream, never with sound held back
  // from the previous one.
  audioEncoder.reset();
  if (writer) {
    const std::string path = writer->path();
    if (writer->Close()) {
      LOG_PROMPT("recording %s finished: %lld pictures, %lld sound frames", path.c_str(),
                 static_cast<long long>(writer->videoSamples()), static_cast<long long>(writer->audioSamples()));
      std::lock_guard files(filesLock);
      finished.push_back(path);
      if (finished.size() > kFilesKept) finished.pop_front();
    }
    writer.reset();
  }
  {
    std::lock_guard files(filesLock);
    current.clear();
  }
  recordWidth = recordHeight = 0;
  lastEncodeTick = 0;
  encodedOnce = false;
  firstVideo = firstAudio = true;
}

std::string RecodrDo::currentFile() const {
  std::lock_guard files(filesLock);
  return current;
}

std::vector<std::string> RecodrDo::finishedFiles() const {
  std::lock_guard files(filesLock);
  return {finished.begin(), finished.end()};
}
