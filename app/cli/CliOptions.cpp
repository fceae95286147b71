#include "app/cli/CliOptions.h"

#include <algorithm>
#include <stdexcept>

bool CliOptions::has(const std::string& flag) const {
  return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

std::optional<std::string> CliOptions::value(const std::string& name) const {
  const auto found = values.find(name);
  if (found == values.end()) return std::nullopt;
  return found->second;
}

CliOptions parseCliOptions(int argc, char** argv, const std::vector<std::string>& valueOptions) {
  CliOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.rfind("--", 0) == 0) {
      const std::string name = argument.substr(2);
      const bool takesValue = std::find(valueOptions.begin(), valueOptions.end(), name) != valueOptions.end();
      if (!takesValue) {
        options.flags.push_back(name);
        continue;
      }
      if (i + 1 >= argc) throw std::invalid_argument("option --" + name + " needs a value");
      options.values[name] = argv[++i];
    } else if (options.command.empty()) {
      options.command = argument;
    } else {
      options.positional.push_back(argument);
    }
  }
  return options;
}
