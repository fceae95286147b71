#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <regex>

#include "common/FileSystem.h"
#include "core/AppFolder.h"
#include "core/OLog.h"
#include "core/OThread.h"
#include "tests/support/TempFolder.h"

using mc::test::readFile;
using mc::test::TempFolder;
using mc::test::writeFile;

namespace {

// Runs `work` on an OThread called `name` and waits for it to finish.
void runOnThread(const std::string& name, std::function<void()> work) {
  auto thread = OThread::create();
  ASSERT_TRUE(thread->start(name, std::move(work)));
  thread->stop();
}

int count(const std::string& text, const std::string& what) {
  int found = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++found;
  return found;
}

}  // namespace

TEST(OLog, EachLoggerStartsWithTheDayHeaderThenFormattedLines) {
  TempFolder temp;
  setApplicationFolder(temp.path());
  runOnThread("worker", [] {
    LOG_ERROR("first %d", 1);
    LOG_WARNING("second");
  });
  runOnThread("worker", [] { LOG_PROMPT("third %s", "x"); });
  runOnThread("worker", [] { OLOG_WRITE(9, "levelless"); });

  const std::string text = readFile(temp.file("Log/worker.txt"));
  EXPECT_EQ(count(text, "######################\n"), 3) << "one header per logger, even on the same day";
  const std::regex header(R"(^\n#{20}\[\d{4}-\d{2}-\d{2}\]#{22}\n)");
  EXPECT_TRUE(std::regex_search(text, header)) << text;
  const std::regex line(R"(\[\d{2}:\d{2}:\d{2}\]\[Error:\] first 1 "LogTest\.cpp:\d+" \n)");
  EXPECT_TRUE(std::regex_search(text, line)) << text;
  EXPECT_NE(text.find("[Warning:] second \"LogTest.cpp:"), std::string::npos);
  EXPECT_NE(text.find("[Prompt:] third x \"LogTest.cpp:"), std::string::npos);
  EXPECT_NE(text.find("[] levelless \"LogTest.cpp:"), std::string::npos);
}

TEST(OLog, ThreadsNotStartedThroughOThreadWriteNothing) {
  TempFolder temp;
  setApplicationFolder(temp.path());
  EXPECT_EQ(OLog::current(), nullptr);
  LOG_ERROR("from the test's own thread");
  EXPECT_FALSE(mc::pathExists(temp.file("Log")));
}

TEST(OLog, UnnamedThreadLogsUnderItsNumericId) {
  TempFolder temp;
  setApplicationFolder(temp.path());
  long id = 0;
  runOnThread("", [&] {
    id = ::syscall(SYS_gettid);
    LOG_PROMPT("hello");
  });
  EXPECT_TRUE(mc::pathExists(temp.file("Log/" + std::to_string(id) + ".txt")));
}

TEST(OLog, RotatesAboveTheLimitUnlessABackupExists) {
  TempFolder temp;
  setApplicationFolder(temp.path());
  mc::createFolderTree(temp.file("Log"));
  const std::string log = temp.file("Log/big.txt");
  writeFile(log, std::string(10'000'000, 'x'));
  runOnThread("big", [] { LOG_PROMPT("one more line"); });
  EXPECT_FALSE(mc::pathExists(log));
  ASSERT_TRUE(mc::pathExists(log + ".bak"));
  EXPECT_NE(readFile(log + ".bak").find("one more line"), std::string::npos);

  writeFile(log, std::string(10'000'000, 'y'));
  runOnThread("big", [] { LOG_PROMPT("second rotation"); });
  EXPECT_TRUE(mc::pathExists(log)) << "the existing backup blocks the rename";
  EXPECT_NE(readFile(log).find("second rotation"), std::string::npos);
  EXPECT_EQ(readFile(log + ".bak").find("second rotation"), std::string::npos);
}

TEST(OLog, AnUnopenableFileLeavesOnlyStandardOutput) {
  TempFolder temp;
  mc::createFolderTree(temp.file("Log/locked.txt"));  // a folder where the file should be
  testing::internal::CaptureStderr();
  runOnThread("", [&] {
    OLog log("locked.txt", temp.path());
    log.setSource("x", 1);
    log.write(OLog::Error, "lost");
  });
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Error : fopen false."), std::string::npos);
}
