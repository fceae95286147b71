#pragma once
#include <optional>
#include <string>

// What the client hands the updater as its one argument:
// "<download address>%<new version>%<settings file>".
struct UpdateRequest {
  std::string url;
  std::string version;
  std::string settingsFile;
};

// The three fields, or nothing when the text has another shape, a field is
// empty, or the address is not an http or https address (the updater only
// ever opens a download page).
std::optional<UpdateRequest> parseUpdateRequest(const std::string& argument);
