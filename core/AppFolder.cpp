#include "core/AppFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "common/FileSystem.h"

#ifndef MC_DATA_DIR
#define MC_DATA_DIR "/usr/local/share/monitor-client"
#endif

namespace {

std::mutex folderMutex;
std::string fixedFolder;

std::string userConfigHome() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return xdg;
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.config";
  return "/tmp";
}

void seedFile(const std::string& folder, const char* name) {
  namespace fs = std::filesystem;
  const fs::path target = fs::path(folder) / name;
  if (fs::exists(target)) return;
  const fs::path example = fs::path(resourceFolder()) / name;
  std::error_code ignored;
  fs::copy_file(example, target, ignored);
}

}  // namespace

std::string executableFolder() {
  char buffer[4096];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return ".";
  std::string path(buffer, static_cast<std::size_t>(length));
  const auto slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string resolveApplicationFolder() {
  if (const char* home = std::getenv("MONITOR_CLIENT_HOME"); home && *home) {
    mc::createFolderTree(home);
    return home;
  }
  const std::string exeFolder = executableFolder();
  if (mc::pathExists(exeFolder + "/Config.ini")) return exeFolder;
  const std::string folder = userConfigHome() + "/monitor-client";
  mc::createFolderTree(folder);
  seedFile(folder, "Config.ini");
  seedFile(folder, "LockSetConfig.ini");
  return folder;
}

std::string applicationFolder() {
  {
    std::lock_guard lock(folderMutex);
    if (!fixedFolder.empty()) return fixedFolder;
  }
  std::string resolved = resolveApplicationFolder();
  std::lock_guard lock(folderMutex);
  if (fixedFolder.empty()) fixedFolder = resolved;
  return fixedFolder;
}

void setApplicationFolder(const std::string& folder) {
  std::lock_guard lock(folderMutex);
  fixedFolder = folder;
}

std::string resourceFolder() {
  const std::string exeFolder = executableFolder();
  if (mc::pathExists(exeFolder + "/Skin")) return exeFolder;
  return MC_DATA_DIR;
}
