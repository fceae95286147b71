// monitor-cli: the client's core on the command line, for operators and tests.
// It uses the application folder exactly as the desktop client does and runs
// the same start-up sequence (dispatcher, logic server, login, catalogue).

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <stdexcept>

#include "app/cli/CatalogueJson.h"
#include "app/cli/CliOptions.h"
#include "core/AppContext.h"
#include "core/AppFolder.h"
#include "core/CrashHandler.h"
#include "core/OThread.h"
#include "link/CMainLogic.h"
#include "link/StartupSequence.h"

namespace {

enum ExitCode { kOk = 0, kUsage = 1, kConnect = 2, kLogin = 3, kCatalogue = 4 };

constexpr const char* kUsageText = R"(usage: monitor-cli COMMAND [ARGUMENTS] [OPTIONS]

Commands:
  login        log in and print the catalogue as one JSON object

Account options (every command logs in first):
  --user NAME        account name (or the environment variable MONITOR_USER)
  --password PASS    password (or MONITOR_PASSWORD)

The application folder (Config.ini, LockSetConfig.ini, paramInfo.db, Log/) is
$MONITOR_CLIENT_HOME, else the program's folder when it holds Config.ini, else
~/.config/monitor-client. Standard output carries only the JSON result; log
lines go to standard error.

Exit codes: 0 success, 1 usage or configuration error, 2 no connection to the
server ("连接服务器失败"), 3 login refused ("账号密码错误！"), 4 catalogue not
loaded ("获取节点信息错误！").
)";

// Log lines are echoed to standard output by the logger; the JSON result must
// stand alone there, so the program's own stdout is moved to stderr while it
// runs and the result is written to the saved original.
class JsonOutput {
 public:
  JsonOutput() : fd_(::dup(STDOUT_FILENO)) {
    std::fflush(stdout);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
  }
  ~JsonOutput() {
    std::fflush(stdout);
    if (fd_ >= 0) {
      ::dup2(fd_, STDOUT_FILENO);
      ::close(fd_);
    }
  }
  void print(const std::string& json) const {
    const std::string line = json + "\n";
    std::size_t written = 0;
    while (written < line.size()) {
      const ssize_t n = ::write(fd_, line.data() + written, line.size() - written);
      if (n <= 0) return;
      written += static_cast<std::size_t>(n);
    }
  }

 private:
  int fd_;
};

std::string fromOptionOrEnvironment(const CliOptions& options, const char* option, const char* variable) {
  if (auto value = options.value(option)) return *value;
  const char* text = std::getenv(variable);
  return text ? text : "";
}

// Runs the start-up sequence on a worker thread of its own, as the start-up
// window does, and returns the error text of a failed step.
StartupResult logIn(CMainLogic& logic, std::string& failureText) {
  StartupResult result = StartupResult::ConnectFailed;
  auto worker = OThread::create();
  worker->start("DoLogic", [&] {
    StartupReporter reporter;
    reporter.setText = [&](const std::string& text) { failureText = text; };
    result = runStartupSequence(logic, reporter);
  });
  worker->stop();
  return result;
}

int exitCodeOf(StartupResult result) {
  switch (result) {
    case StartupResult::Done: return kOk;
    case StartupResult::ConnectFailed: return kConnect;
    case StartupResult::LoginFailed: return kLogin;
    case StartupResult::CatalogueFailed: return kCatalogue;
  }
  return kUsage;
}

int run(const CliOptions& options, const JsonOutput& output) {
  AppContext& context = AppContext::instance();
  const std::string folder = resolveApplicationFolder();
  setApplicationFolder(folder);
  if (!context.loadConfiguration(folder)) {
    std::cerr << "配置文件异常，请检查配置" << std::endl;
    return kUsage;
  }
  context.userName = fromOptionOrEnvironment(options, "user", "MONITOR_USER");
  context.password = fromOptionOrEnvironment(options, "password", "MONITOR_PASSWORD");
  if (context.userName.empty() || context.password.empty()) {
    std::cerr << "账号或密码不能为空" << std::endl;
    return kUsage;
  }

  auto logic = context.getMainLogic();
  std::string failureText;
  const StartupResult result = logIn(*logic, failureText);
  int code = exitCodeOf(result);
  if (result != StartupResult::Done) {
    std::cerr << failureText << std::endl;
  } else if (options.command == "login") {
    output.print(compactJson(catalogueJson(*logic)));
  }
  logic->closeServer();
  logic->shutdown();
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  installCrashHandler();
  CliOptions options;
  try {
    options = parseCliOptions(argc, argv, {"user", "password"});
  } catch (const std::invalid_argument& error) {
    std::cerr << error.what() << "\n\n" << kUsageText;
    return kUsage;
  }
  if (options.has("help") || options.command == "help") {
    std::cout << kUsageText;
    return kOk;
  }
  if (options.command != "login") {
    std::cerr << (options.command.empty() ? "no command given" : "unknown command: " + options.command) << "\n\n"
              << kUsageText;
    return kUsage;
  }
  JsonOutput output;
  return run(options, output);
}
