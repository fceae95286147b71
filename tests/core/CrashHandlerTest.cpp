#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "core/CrashHandler.h"
#include "tests/support/TempFolder.h"

using mc::test::readFile;
using mc::test::TempFolder;

// A child process installs the handler and writes to a forbidden page; it must
// leave exactly one dump named v1.0-YYYYMMDD-HHMMSS-<pid>-<tid>.dmp.
TEST(CrashHandler, ACrashLeavesExactlyOneDumpFile) {
  TempFolder temp;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::setenv("TMPDIR", temp.path().c_str(), 1);
    installCrashHandler();
    // A real invalid access: a page that may not be touched.
    void* page = ::mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    *static_cast<volatile int*>(page) = 1;
    std::_Exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status)) << "the crash still ends the process";

  std::vector<std::string> dumps;
  for (const auto& entry : std::filesystem::directory_iterator(temp.path() + "/dump"))
    dumps.push_back(entry.path().filename().string());
  ASSERT_EQ(dumps.size(), 1u);
  const std::regex name("v1\\.0-\\d{8}-\\d{6}-" + std::to_string(child) + "-" + std::to_string(child) + "\\.dmp");
  EXPECT_TRUE(std::regex_match(dumps[0], name)) << dumps[0];
  const std::string content = readFile(temp.path() + "/dump/" + dumps[0]);
  EXPECT_NE(content.find("signal 11 (SEGV)"), std::string::npos) << content;
  EXPECT_NE(content.find("backtrace:"), std::string::npos);
}
