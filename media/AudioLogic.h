#pragma once
#include <atomic>
#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "media/AudioBlockRing.h"
#include "media/AudioDecoding.h"
#include "media/SoundDevice.h"
#include "media/StreamAudioData.h"

class OThread;

// The speakers of the whole process. Camera dispatch threads hand PCM to
// EnqueuePcm, which copies it into a recycled record and returns at once;
// the "audio play thread!" takes the records in order, (re)opens the sound
// device whenever the PCM format changes and writes the PCM into the block
// ring. Which camera is heard is decided by the caller: only the camera whose
// sound is on calls EnqueuePcm.
class AudioLogic final : public IPcmOutput {
 public:
  // PCM records waiting for the play thread; more are dropped, so the
  // speakers lag at most this many decoded frames behind.
  static constexpr std::size_t kPendingLimit = 10;

  // Counters per stage, for tests and benchmarks.
  struct Stats {
    std::uint64_t queued = 0;            // records accepted by EnqueuePcm
    std::uint64_t droppedQueueFull = 0;  // records refused: pending was full
    std::uint64_t played = 0;            // records written into the ring
    std::uint64_t droppedNoDevice = 0;   // records discarded: no device would open
    std::uint64_t bytesWritten = 0;      // PCM bytes taken by the ring
    std::uint64_t bytesDroppedRingFull = 0;
    std::uint64_t opens = 0;             // successful device opens
    std::uint64_t openFailures = 0;
  };

  // The process-wide instance over createSoundOutput(), built with its play
  // thread on first use and stopped at exit.
  static std::shared_ptr<AudioLogic> instance();
  // An instance of its own over `device`; its play thread starts at once.
  static std::shared_ptr<AudioLogic> create(std::unique_ptr<ISoundOutput> device);

  ~AudioLogic() override;
  AudioLogic(const AudioLogic&) = delete;
  AudioLogic& operator=(const AudioLogic&) = delete;

  // Queues a copy of `length` bytes of interleaved PCM. Called on any
  // camera's dispatch thread; never waits for the device. Empty or null PCM
  // is ignored.
  void EnqueuePcm(const std::uint8_t* pcm, std::uint32_t length, std::uint32_t sampleRate,
                  std::int32_t bitsPerSample, std::int32_t channels) override;

  // Interrupts and joins the play thread, then closes the device. Records
  // queued later are kept but not played.
  void stop();

  Stats stats() const;

 private:
  explicit AudioLogic(std::unique_ptr<ISoundOutput> device);
  void start();
  void playLoop();
  void play(const StreamAudioData& record);
  StreamAudioDataPtr takeSpare();
  void putSpare(StreamAudioDataPtr record);

  // Play thread only (and stop, after the join).
  AudioBlockRing ring_;
  PcmFormat openFormat_{};  // format of the last successful open; all 0 while closed

  boost::mutex pendingMutex_;
  boost::condition_variable pendingReady_;  // waited on by the play thread (an interruption point)
  std::deque<StreamAudioDataPtr> pending_;

  std::mutex spareMutex_;
  std::vector<StreamAudioDataPtr> spare_;

  std::shared_ptr<OThread> playThread_;

  std::atomic<std::uint64_t> queued_{0}, droppedQueueFull_{0}, played_{0}, droppedNoDevice_{0};
  std::atomic<std::uint64_t> bytesWritten_{0}, bytesDroppedRingFull_{0}, opens_{0}, openFailures_{0};
};
