#pragma once
#include <string>

// Where the program keeps its writable state (ini files, paramInfo.db, Log/,
// Capture/ ...) and where it finds its read-only resources (Skin/,
// checking.gif, HK/).

// The folder of the running executable, without a trailing "/".
std::string executableFolder();

// The application folder, in this order of preference:
//  1. $MONITOR_CLIENT_HOME (created when missing);
//  2. the executable's folder when it holds Config.ini (portable install);
//  3. $XDG_CONFIG_HOME/monitor-client (~/.config/monitor-client), created and
//     seeded with Config.ini and LockSetConfig.ini from the resource folder.
std::string resolveApplicationFolder();

// The application folder of this process: the one fixed at start-up with
// setApplicationFolder, else resolveApplicationFolder().
std::string applicationFolder();
// Called once by the start-up sequence (and by tests) before other threads run.
void setApplicationFolder(const std::string& folder);

// Read-only resources: beside the executable when it holds "Skin", else the
// installed data folder (share/monitor-client).
std::string resourceFolder();
