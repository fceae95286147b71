#include "core/OLog.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <boost/thread/tss.hpp>
#include <cstdarg>
#include <cstring>
#include <ctime>

#include "common/FileSystem.h"
#include "core/AppFolder.h"

namespace {

boost::thread_specific_ptr<OLog>& threadLogger() {
  static boost::thread_specific_ptr<OLog> slot;
  return slot;
}

const char* levelText(int level) {
  switch (level) {
    case OLog::Error: return "Error:";
    case OLog::Warning: return "Warning:";
    case OLog::Prompt: return "Prompt:";
    default: return "";
  }
}

// Renames only when the target does not exist yet: a second rotation while the
// ".bak" file is still there leaves the log where it is.
void rotateIfLarge(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || info.st_size <= OLog::kRotateAbove) return;
  const std::string backup = path + ".bak";
  ::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, backup.c_str(), RENAME_NOREPLACE);
}

}  // namespace

OLog::OLog(const std::string& fileName, const std::string& folder)
    : message_(new char[kBufferSize]()), sourceFile_(new char[kBufferSize]()) {
  const std::string base = folder.empty() ? applicationFolder() : folder;
  const std::string logFolder = base + "/Log";
  mc::createFolderTree(logFolder);
  path_ = logFolder + "/" + fileName;
}

OLog* OLog::current() { return threadLogger().get(); }

void OLog::install(std::unique_ptr<OLog> log) { threadLogger().reset(log.release()); }

void OLog::setSource(const char* file, unsigned line) {
  std::strncpy(sourceFile_.get(), file ? file : "", kBufferSize - 1);
  sourceLine_ = line;
}

void OLog::write(int level, const char* format, ...) {
  std::memset(message_.get(), 0, kBufferSize);
  va_list args;
  va_start(args, format);
  std::vsnprintf(message_.get(), kBufferSize, format, args);
  va_end(args);

  std::fprintf(stdout, "%s\n", message_.get());

  std::FILE* file = std::fopen(path_.c_str(), "a");
  if (!file) {
    std::fputs("Error : fopen false./n\n", stderr);
    return;
  }
  const std::time_t now = std::time(nullptr);
  std::tm local {};
  ::localtime_r(&now, &local);
  if (local.tm_mday != lastDay_) {
    std::fprintf(file, "\n####################[%d-%02d-%02d]######################\n",
                 local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    lastDay_ = local.tm_mday;
  }
  std::fprintf(file, "[%02d:%02d:%02d][%s] %s \"%s:%u\" \n", local.tm_hour, local.tm_min,
               local.tm_sec, levelText(level), message_.get(), sourceFile_.get(), sourceLine_);
  std::fclose(file);
  rotateIfLarge(path_);
}
