#pragma once
#include <string>

namespace mc {

// True when `path` exists as anything (file, folder, link target).
bool pathExists(const std::string& path);

// Creates every missing level of `path`, one "/"-separated level at a time.
// True when the last level exists afterwards. Paths of 1024 bytes or more are
// refused.
bool createFolderTree(const std::string& path);

}  // namespace mc
