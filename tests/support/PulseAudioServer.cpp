#include "tests/support/PulseAudioServer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

#include <pulse/error.h>
#include <pulse/simple.h>

#include "tests/support/TempFolder.h"

extern char** environ;

namespace mc::test {
namespace {

// Starts `argv[0]` with stdout and stderr into `outputFile` (or /dev/null).
pid_t spawn(const std::vector<std::string>& args, const std::string& outputFile) {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string target = outputFile.empty() ? "/dev/null" : outputFile;
  posix_spawn_file_actions_addopen(&actions, 1, target.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  const int result = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return result == 0 ? pid : -1;
}

std::vector<std::string> splitArguments(const std::string& program, const std::string& arguments) {
  std::vector<std::string> args{program};
  std::istringstream in(arguments);
  for (std::string word; in >> word;) args.push_back(word);
  return args;
}

}  // namespace

int runProgram(const std::string& program, const std::string& arguments, const std::string& outputFile) {
  const pid_t pid = spawn(splitArguments(program, arguments), outputFile);
  if (pid < 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

PulseAudioServer::PulseAudioServer(bool keepSinkRunning, int readyMs) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/mc-pulse-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    error_ = "mkdtemp failed";
    return;
  }
  runtimeFolder_ = pattern;
  ::chmod(runtimeFolder_.c_str(), 0700);
  ::setenv("XDG_RUNTIME_DIR", runtimeFolder_.c_str(), 1);
  const std::string server = "unix:" + runtimeFolder_ + "/pulse/native";
  ::setenv("PULSE_SERVER", server.c_str(), 1);  // also keeps clients from autospawning a daemon

  pid_ = spawn({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--log-target=stderr",
                "--load=module-null-sink", "--load=module-native-protocol-unix auth-anonymous=1"},
               runtimeFolder_ + "/daemon.log");
  if (pid_ < 0) {
    error_ = "pulseaudio cannot be started";
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(readyMs);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      error_ = "pulseaudio ended at start: " + log();
      return;
    }
    if (answers()) {
      ready_ = !keepSinkRunning || startSilence(readyMs);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  error_ = "pulseaudio did not answer within " + std::to_string(readyMs) + " ms: " + log();
}

PulseAudioServer::~PulseAudioServer() {
  stop();
  if (!runtimeFolder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(runtimeFolder_, ignored);
  }
}

bool PulseAudioServer::startSilence(int timeoutMs) {
  constexpr std::uint32_t kRate = 8000;
  pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, 1};
  pa_buffer_attr attr;
  attr.maxlength = attr.prebuf = attr.minreq = attr.fragsize = static_cast<std::uint32_t>(-1);
  attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(100000, &spec));
  int code = 0;
  pa_simple* stream =
      pa_simple_new(nullptr, "test sink clock", PA_STREAM_PLAYBACK, kSink, "silence", &spec, nullptr, &attr, &code);
  if (!stream) {
    error_ = std::string("silent stream: ") + pa_strerror(code);
    return false;
  }
  silence_ = std::thread([this, stream] {
    std::unique_ptr<pa_simple, decltype(&pa_simple_free)> owned(stream, pa_simple_free);
    const std::vector<std::uint8_t> zeros(kRate / 50 * 2);  // 20 ms
    while (!silenceStop_) {
      int error = 0;
      if (pa_simple_write(owned.get(), zeros.data(), zeros.size(), &error) < 0) return;
      silenceBytes_ += static_cast<long>(zeros.size());
    }
  });
  // More than the stream's buffer has gone in only once the sink consumes.
  const long consuming = static_cast<long>(pa_usec_to_bytes(400000, &spec));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (silenceBytes_ < consuming) {
    if (std::chrono::steady_clock::now() > deadline) {
      error_ = "the null sink did not start consuming";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

void PulseAudioServer::stop() {
  ready_ = false;
  silenceStop_ = true;
  if (silence_.joinable()) silence_.join();
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int status = 0;
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
      ended = ::waitpid(pid_, &status, WNOHANG) == pid_;
      if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!ended) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
}

std::string PulseAudioServer::log() const { return readFile(runtimeFolder_ + "/daemon.log"); }

bool PulseAudioServer::answers() const { return runProgram("pactl", "info") == 0; }

}  // namespace mc::test
