#include "tests/coordinator/CliRunner.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "tests/support/TempFolder.h"

namespace coordtest {

namespace {

std::string capture(const std::string& command, int& exitCode) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  std::array<char, 4096> buffer;
  while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) out.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

}  // namespace

CliRun runCli(const std::string& home, const std::string& arguments) {
  const std::string errPath = home + "/cli-stderr.txt";
  CliRun run;
  run.out = capture("MONITOR_CLIENT_HOME='" + home + "' '" MC_MONITOR_CLI_PATH "' " + arguments + " 2>'" +
                        errPath + "'",
                    run.exitCode);
  run.err = mc::test::readFile(errPath);
  return run;
}

Json::Value ffprobe(const std::string& file) {
  int exitCode = -1;
  const std::string out = capture("ffprobe -v error -show_streams -show_format -of json '" + file + "'", exitCode);
  Json::Value value;
  Json::Reader().parse(out, value);
  return value;
}

}  // namespace coordtest
