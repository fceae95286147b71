#pragma once
#include <json/json.h>

#include <string>

namespace coordtest {

struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs monitor-cli with MONITOR_CLIENT_HOME = `home`.
CliRun runCli(const std::string& home, const std::string& arguments);

// ffprobe's JSON description (streams and format) of a media file.
Json::Value ffprobe(const std::string& file);

}  // namespace coordtest
