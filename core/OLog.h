#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// Per-thread text log. Every thread started through OThread owns one OLog,
// reachable through a thread-local pointer, that appends to
// <application folder>/Log/<thread name>.txt. On other threads (the UI thread,
// threads of libraries) there is no logger and the LOG_* macros do nothing.
class OLog {
 public:
  enum Level : int { Error = 1, Warning = 2, Prompt = 3 };

  static constexpr std::size_t kBufferSize = 512001;           // message text + terminator
  static constexpr long long kRotateAbove = 9'999'999;         // bytes

  // Creates the Log folder below `folder` (the application folder when empty).
  explicit OLog(const std::string& fileName, const std::string& folder = {});
  OLog(const OLog&) = delete;
  OLog& operator=(const OLog&) = delete;

  // The calling thread's logger, or null.
  static OLog* current();
  // Makes `log` the calling thread's logger; it is deleted when the thread ends.
  static void install(std::unique_ptr<OLog> log);

  // Set by the caller before each write (the macros below do it).
  void setSource(const char* file, unsigned line);

  // Formats one line, prints it to stdout and appends it to the file with the
  // day header before the first line of the logger and of each new day.
  void write(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

  const std::string& path() const { return path_; }

 private:
  std::unique_ptr<char[]> message_;
  std::unique_ptr<char[]> sourceFile_;
  std::uint32_t sourceLine_ = 0;
  std::string path_;
  int lastDay_ = 0;
};

#define OLOG_WRITE(level, ...)                        \
  do {                                                \
    if (OLog* olog_ = OLog::current()) {              \
      olog_->setSource(__FILE_NAME__, __LINE__);      \
      olog_->write((level), __VA_ARGS__);             \
    }                                                 \
  } while (0)

#define LOG_ERROR(...) OLOG_WRITE(OLog::Error, __VA_ARGS__)
#define LOG_WARNING(...) OLOG_WRITE(OLog::Warning, __VA_ARGS__)
#define LOG_PROMPT(...) OLOG_WRITE(OLog::Prompt, __VA_ARGS__)
