#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

// The command line of monitor-cli: COMMAND [POSITIONAL ...] [--name VALUE | --flag ...].
struct CliOptions {
  std::string command;
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;  // --name VALUE
  std::vector<std::string> flags;             // --name without a value

  bool has(const std::string& flag) const;
  std::optional<std::string> value(const std::string& name) const;
};

// `valueOptions` names the options that take a value; anything else starting
// with "--" is a flag. Throws std::invalid_argument with a readable text.
CliOptions parseCliOptions(int argc, char** argv, const std::vector<std::string>& valueOptions);
