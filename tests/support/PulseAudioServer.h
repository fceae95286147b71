#pragma once
#include <sys/types.h>

#include <atomic>
#include <string>
#include <thread>

namespace mc::test {

// A private PulseAudio daemon with one null sink ("null", recorded back
// through "null.monitor"), for tests that play or capture real sound. The
// daemon gets a runtime folder of its own; this process's XDG_RUNTIME_DIR and
// PULSE_SERVER point at it, so every PulseAudio client of the test (our code,
// pactl, parec) talks to it and to nothing else. Stopped by its PID when the
// object goes away.
class PulseAudioServer {
 public:
  // Starts the daemon and waits (at most `readyMs`) until `pactl info`
  // answers. ready() says whether that happened; error() says why not.
  //
  // The null sink holds back about 2 s of every stream that wakes it from
  // idle before it starts consuming. With `keepSinkRunning` the server is
  // ready only once a silent stream of its own has got the sink consuming;
  // that stream plays on, so streams the test opens later play at once.
  explicit PulseAudioServer(bool keepSinkRunning = true, int readyMs = 10000);
  ~PulseAudioServer();
  PulseAudioServer(const PulseAudioServer&) = delete;
  PulseAudioServer& operator=(const PulseAudioServer&) = delete;

  // Ends the daemon (SIGTERM, SIGKILL after 3 s) and waits for it; the
  // destructor does the same. Clients see the server go away.
  void stop();

  bool ready() const { return ready_; }
  const std::string& error() const { return error_; }
  const std::string& runtimeFolder() const { return runtimeFolder_; }
  // The daemon's own log (its stderr), for failure messages.
  std::string log() const;

  static constexpr const char* kSink = "null";
  static constexpr const char* kMonitor = "null.monitor";

 private:
  bool answers() const;
  bool startSilence(int timeoutMs);

  std::thread silence_;
  std::atomic<bool> silenceStop_{false};
  std::atomic<long> silenceBytes_{0};

  std::string runtimeFolder_;
  pid_t pid_ = -1;
  bool ready_ = false;
  std::string error_;
};

// Runs a program with arguments and waits for it; its exit status, or -1.
int runProgram(const std::string& program, const std::string& arguments, const std::string& outputFile = {});

}  // namespace mc::test
