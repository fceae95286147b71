// monitor-cli: the client's core on the command line, for operators and tests.
// It uses the application folder exactly as the desktop client does and runs
// the same start-up sequence (dispatcher, logic server, login, catalogue).

#include <functional>
#include <iostream>
#include <map>
#include <stdexcept>

#include "app/cli/CliSession.h"
#include "core/CrashHandler.h"

namespace {

constexpr const char* kUsageText = R"(usage: monitor-cli COMMAND [ARGUMENTS] [OPTIONS]

Commands (each logs in first and prints one JSON object on standard output):
  login                       the catalogue: nodes with their cameras, and the totals
  live CAMERA_ID              watch the live stream for --seconds N (default 5) and report
                              frames received, decoded and dropped, pictures per second,
                              picture size, data rate and the time to the first picture
      --ptz CODE              send a PTZ command (1 up ... 10 iris close)
      --quality LEVEL         set the quality level 1..5 and report the camera's answer
      --presets               ask for the preset list
      --sound                 play the camera's sound
  snapshot CAMERA_ID          save one JPEG picture into the capture folder
  record CAMERA_ID            record --seconds N (default 5) into an MP4 file in the capture folder
  playback CAMERA_ID --from TIME --to TIME
                              search recordings ("YYYY-MM-DD HH:MM:SS") and play them for
                              --seconds N (default 3), reporting the days and stretches found,
                              the play times, speed and state
      --seek POS              seek to "YYYY-MM-DD HH:MM:SS" first
      --faster N, --slower N  change the speed N steps
      --pause                 pause
      --type 0|1              all recordings (0, default) or alarm recordings only (1)

Account options:
  --user NAME        account name (or the environment variable MONITOR_USER)
  --password PASS    password (or MONITOR_PASSWORD)
  --remember         keep the password with the account in paramInfo.db, as the login
                     window's "记住密码" does
  --auto-login       also mark the account for automatic login by the desktop client
                     ("自动登录"; implies --remember)

The application folder (Config.ini, LockSetConfig.ini, paramInfo.db, Log/, the capture
folder) is $MONITOR_CLIENT_HOME, else the program's folder when it holds Config.ini, else
~/.config/monitor-client. Log lines go to standard error.

Exit codes: 0 success; 1 usage or configuration error; 2 no connection to the server
("连接服务器失败"); 3 login refused ("账号密码错误！"); 4 catalogue not loaded
("获取节点信息错误！"); 5 the camera could not be opened ("连接异常" or the server's
refusal); 6 nothing was decoded; 7 no such camera, or no recordings found.
)";

const std::map<std::string, std::function<int(CliSession&)>> kCommands = {
    {"login", runLogin}, {"live", runLive}, {"snapshot", runSnapshot}, {"record", runRecord},
    {"playback", runPlayback},
};

}  // namespace

int main(int argc, char** argv) {
  installCrashHandler();
  CliOptions options;
  try {
    options = parseCliOptions(argc, argv,
                              {"user", "password", "seconds", "ptz", "quality", "from", "to", "seek", "faster",
                               "slower", "type"});
  } catch (const std::invalid_argument& error) {
    std::cerr << error.what() << "\n\n" << kUsageText;
    return kExitUsage;
  }
  if (options.has("help") || options.command == "help") {
    std::cout << kUsageText;
    return kExitOk;
  }
  const auto command = kCommands.find(options.command);
  if (command == kCommands.end()) {
    std::cerr << (options.command.empty() ? "no command given" : "unknown command: " + options.command) << "\n\n"
              << kUsageText;
    return kExitUsage;
  }
  CliSession session(options);
  if (const int code = session.logIn(); code != kExitOk) return code;
  return command->second(session);
}
