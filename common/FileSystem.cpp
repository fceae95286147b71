#include "common/FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace mc {
namespace {

bool ensureLevel(const std::string& prefix) {
  if (prefix.empty() || ::access(prefix.c_str(), F_OK) == 0) return true;
  return ::mkdir(prefix.c_str(), 0755) == 0 || errno == EEXIST;
}

}  // namespace

bool pathExists(const std::string& path) { return !path.empty() && ::access(path.c_str(), F_OK) == 0; }

bool createFolderTree(const std::string& path) {
  if (path.empty() || path.size() >= 1024) return false;
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (path[i] == '/') {
      if (!ensureLevel(path.substr(0, i))) return false;
    }
  }
  return ensureLevel(path);
}

}  // namespace mc
