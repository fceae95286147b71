#include "app/cli/CliSession.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "core/AppContext.h"
#include "core/AppFolder.h"
#include "core/OThread.h"
#include "link/CMainLogic.h"

namespace {

std::string fromOptionOrEnvironment(const CliOptions& options, const char* option, const char* variable) {
  if (auto value = options.value(option)) return *value;
  const char* text = std::getenv(variable);
  return text ? text : "";
}

int exitCodeOf(StartupResult result) {
  switch (result) {
    case StartupResult::Done: return kExitOk;
    case StartupResult::ConnectFailed: return kExitConnect;
    case StartupResult::LoginFailed: return kExitLogin;
    case StartupResult::CatalogueFailed: return kExitCatalogue;
  }
  return kExitUsage;
}

}  // namespace

CliSession::CliSession(const CliOptions& options) : options_(options), jsonFd_(::dup(STDOUT_FILENO)) {
  std::fflush(stdout);
  ::dup2(STDERR_FILENO, STDOUT_FILENO);
  mc::setPostMessageHook(
      [this](mc::WindowHandle window, mc::WindowMessage message) { return deliver(window, std::move(message)); });
}

CliSession::~CliSession() {
  if (logic_) {
    logic_->closeServer();
    logic_->shutdown();
  }
  AppContext::instance().mainWindow = nullptr;
  AppContext::instance().mainHwnd = mc::kNoWindow;
  mc::setPostMessageHook({});
  std::fflush(stdout);
  if (jsonFd_ >= 0) {
    ::dup2(jsonFd_, STDOUT_FILENO);
    ::close(jsonFd_);
  }
}

bool CliSession::deliver(mc::WindowHandle window, mc::WindowMessage message) {
  if (window != kMainWindow) return window == kPaneWindow;
  {
    std::lock_guard lock(messagesLock_);
    messages_.push_back(std::move(message));
  }
  messageArrived_.notify_all();
  return true;
}

std::optional<mc::WindowMessage> CliSession::waitForMessage(std::uint32_t id, std::uint32_t milliseconds) {
  std::unique_lock lock(messagesLock_);
  std::optional<mc::WindowMessage> found;
  messageArrived_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] {
    for (auto it = messages_.begin(); it != messages_.end(); ++it) {
      if (it->id == id) {
        found = std::move(*it);
        messages_.erase(it);
        return true;
      }
    }
    return false;
  });
  return found;
}

void CliSession::fail(const std::string& text) { std::cerr << text << std::endl; }

void CliSession::printJson(const std::string& json) const {
  const std::string line = json + "\n";
  std::size_t written = 0;
  while (written < line.size()) {
    const ssize_t n = ::write(jsonFd_, line.data() + written, line.size() - written);
    if (n <= 0) return;
    written += static_cast<std::size_t>(n);
  }
}

int CliSession::logIn() {
  AppContext& context = AppContext::instance();
  const std::string folder = resolveApplicationFolder();
  setApplicationFolder(folder);
  if (!context.loadConfiguration(folder)) {
    fail("配置文件异常，请检查配置");
    return kExitUsage;
  }
  logic_ = context.getMainLogic();
  context.userName = fromOptionOrEnvironment(options_, "user", "MONITOR_USER");
  context.password = fromOptionOrEnvironment(options_, "password", "MONITOR_PASSWORD");
  // What the login window's two check boxes would say: the account is kept
  // in paramInfo.db with these marks (automatic login needs the password).
  context.autoLogin = options_.has("auto-login");
  context.rememberPassword = context.autoLogin || options_.has("remember");
  if (context.userName.empty() || context.password.empty()) {
    fail("账号或密码不能为空");
    return kExitUsage;
  }

  // The start-up sequence runs on a worker of its own, as the start-up window's does.
  std::string stepText;
  StartupResult result = StartupResult::ConnectFailed;
  auto worker = OThread::create();
  worker->start("DoLogic", [&] {
    StartupReporter reporter;
    reporter.setText = [&](const std::string& text) { stepText = text; };
    result = runStartupSequence(*logic_, reporter);
  });
  worker->stop();
  if (result != StartupResult::Done) {
    fail(stepText);
    return exitCodeOf(result);
  }
  // Stand in for the main window, so camera settings and notices reach this run.
  context.mainWindow = this;
  context.mainHwnd = kMainWindow;
  return kExitOk;
}
