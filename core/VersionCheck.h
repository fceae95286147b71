#pragma once
#include <functional>
#include <string>

// The update offer made after login when the server knows a newer client.
enum class UpdateOffer {
  None,       // nothing to offer
  Mandatory,  // first piece newer: notice "发现新版本，系统升级", the updater starts whatever the answer
  Optional,   // second or third piece newer: question "发现新版本，是否升级"
};

// Compares the dotted versions piece by piece as text (byte-wise, so "10"
// sorts before "9"), over at most the first three pieces. No offer when
// `newVersion` is empty or equals `ignoreVersion`, or when the piece counts
// differ.
UpdateOffer decideUpdate(const std::string& clientVersion, const std::string& newVersion,
                         const std::string& ignoreVersion);

// The updater's parameter text: url%version%LockSetConfig.ini
std::string updaterParameters(const std::string& viewUpdateUrl, const std::string& newVersion);

// Starts `program` with `parameters` as its one argument, not waiting for it.
// Returns a value above 32 on success, else a shell-style error code
// (2 file not found, 5 access denied, 0 other).
int launchProgram(const std::string& program, const std::string& parameters);

// What the version check needs from the windows and the system.
struct VersionCheckActions {
  // Shows the message box; `twoButtons` selects the question form. Returns 1 for "确定".
  std::function<int(const std::string& text, bool twoButtons)> ask;
  // Launches the updater (launchProgram by default).
  std::function<int(const std::string& program, const std::string& parameters)> launch;
};

// Runs the version check on AppContext. Declining an optional update writes
// IgnoreVersion. Returns true when the updater started, in which case the
// program skips the main window and shuts down. A failed launch prints
// "return value:%d".
bool runVersionCheck(const VersionCheckActions& actions);
