#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "media/LibavHandles.h"

// One MP4 file with an H.264 track and an AAC track (libavformat's mp4
// muxer).
//
// Video comes as encoder output in Annex B form, one picture per call: the
// parameter sets become the track's decoder configuration, the slices (and
// SEI) of the call one sample, a sync sample when it holds an IDR slice.
// Sample times come from the clock at each write (90 kHz track clock), so
// the file plays at the pace it was recorded.
//
// Audio comes as ADTS frames: each frame becomes one sample without its
// header, timed by its sample count on a track clock of the audio's own
// rate; the track's decoder configuration comes from the first header.
//
// The file header can only name tracks known before it is written, so the
// writer holds the first samples back until both tracks are known, or until
// the video has run kAudioWaitMs without audio (the file then has no audio
// track), and writes them then. Close finishes the file; a file that never
// got a sample is removed.
//
// Not thread-safe: one owner thread.
class Mp4Writer {
 public:
  using Clock = std::function<std::uint32_t()>;  // milliseconds, wrapping

  static constexpr std::uint32_t kAudioWaitMs = 2000;
  static constexpr int kVideoTimeScale = 90000;

  explicit Mp4Writer(Clock clock = {});
  ~Mp4Writer();
  Mp4Writer(const Mp4Writer&) = delete;
  Mp4Writer& operator=(const Mp4Writer&) = delete;

  // Creates (truncates) the file. `frameRate` only sets the duration given to
  // a last picture whose successor never came. False when the path is empty,
  // the size unusable or the file cannot be created; the reason, with the
  // library's text, goes to `error` (the caller decides what to log).
  bool Create(const std::string& path, int width, int height, int frameRate, std::string* error = nullptr);

  // One encoder output. Returns the bytes consumed; 0 when nothing could be
  // written (no parameter sets before the first IDR slice, a muxer failure),
  // -1 when the file is not open or data is null. `first` marks the first
  // output of an encoder instance, which must begin with a sequence
  // parameter set.
  int WriteVideo(const std::uint8_t* data, std::size_t length, bool first);

  // One or more back-to-back ADTS frames. `samplesBehind` tells how many
  // samples per channel of audio already given to the encoder lie after the
  // end of the last frame (the encoder's delay), which places the first
  // frames of the file on the video's time line. Returns 1 when frames were
  // written or held for writing, 0 when none could be, -1 when the file is
  // not open or data is null.
  int WriteAudio(const std::uint8_t* data, std::size_t length, bool first, std::int64_t samplesBehind = 0);

  // Writes the held samples and the file's index and closes it. True when a
  // playable file was finished; false when nothing was open, the file had no
  // samples (it is removed) or the muxer failed.
  bool Close();

  bool isOpen() const { return output_ != nullptr; }
  // The muxer or the file failed (disk full …): nothing more is written.
  bool failed() const { return failed_; }
  const std::string& path() const { return path_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // Samples written to the current file, or to the last one after Close.
  std::int64_t videoSamples() const { return videoSamples_; }
  std::int64_t audioSamples() const { return audioSamples_; }

 private:
  struct HeldPacket {
    bool audio;
    mc::av::PacketPtr packet;  // times in the track clock (90 kHz or the audio rate)
  };

  std::uint32_t now() const;
  bool addVideoStream();
  bool addAudioStream(const std::vector<std::uint8_t>& config, int sampleRate, int channels);
  bool startFile();
  bool submit(bool audio, mc::av::PacketPtr packet);
  bool writePacket(bool audio, AVPacket* packet);
  void discard();

  Clock clock_;
  mc::av::OutputContextPtr output_;
  std::string path_;
  int width_ = 0;
  int height_ = 0;
  int frameRate_ = 25;
  std::uint32_t startTick_ = 0;        // clock at Create: time 0 of both tracks
  bool headerWritten_ = false;
  bool failed_ = false;                // a muxer error: nothing more is written
  bool warnedNoIdr_ = false;

  std::vector<std::uint8_t> sps_;
  std::vector<std::uint8_t> pps_;
  AVStream* videoStream_ = nullptr;
  std::int64_t lastVideoPts_ = -1;     // 90 kHz
  std::uint32_t firstVideoTick_ = 0;
  std::int64_t videoSamples_ = 0;

  AVStream* audioStream_ = nullptr;
  int audioRate_ = 0;
  int audioConfigBytes_ = 0;           // the first header's format, as one number
  std::int64_t nextAudioPts_ = -1;     // in samples of audioRate_
  std::int64_t audioSamples_ = 0;
  bool audioRefused_ = false;          // audio came after the header was written

  std::vector<HeldPacket> held_;
  std::size_t heldBytes_ = 0;
};
