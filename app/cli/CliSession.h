#pragma once
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/CliOptions.h"
#include "common/WindowMessage.h"
#include "link/StartupSequence.h"

class CMainLogic;

enum CliExit {
  kExitOk = 0,
  kExitUsage = 1,
  kExitConnect = 2,
  kExitLogin = 3,
  kExitCatalogue = 4,
  kExitNotOpened = 5,
  kExitNothingDecoded = 6,
  kExitNotFound = 7,
};

// One run of monitor-cli: the application folder and configuration, the
// login through the start-up sequence, a stand-in for the main window that
// collects the messages the core posts to it, and the JSON result on the
// real standard output (log lines, which the logger echoes to standard
// output, are moved to standard error for the run).
class CliSession {
 public:
  static constexpr mc::WindowHandle kMainWindow = 1;
  static constexpr mc::WindowHandle kPaneWindow = 2;

  explicit CliSession(const CliOptions& options);
  ~CliSession();
  CliSession(const CliSession&) = delete;
  CliSession& operator=(const CliSession&) = delete;

  // Loads the configuration and logs in; kExitOk or the failing step's code
  // (its text already printed to standard error).
  int logIn();
  CMainLogic& logic() const { return *logic_; }
  const CliOptions& options() const { return options_; }

  // Waits up to `milliseconds` for a message with `id` to the main window
  // that was not taken before; returns it.
  std::optional<mc::WindowMessage> waitForMessage(std::uint32_t id, std::uint32_t milliseconds);

  void printJson(const std::string& json) const;
  static void fail(const std::string& text);

 private:
  bool deliver(mc::WindowHandle window, mc::WindowMessage message);

  const CliOptions& options_;
  std::shared_ptr<CMainLogic> logic_;
  int jsonFd_ = -1;
  std::mutex messagesLock_;
  std::condition_variable messageArrived_;
  std::vector<mc::WindowMessage> messages_;
};

// Commands that need a logged-in session.
int runLogin(CliSession& session);
int runLive(CliSession& session);
int runSnapshot(CliSession& session);
int runRecord(CliSession& session);
int runPlayback(CliSession& session);
