#include <gtest/gtest.h>

#include "core/AppContext.h"
#include "core/VersionCheck.h"
#include "tests/support/TempFolder.h"

using mc::test::readFile;
using mc::test::TempFolder;
using mc::test::writeFile;

TEST(VersionCheck, DecidesTheOfferByTextualPieceComparison) {
  struct Case {
    const char* client;
    const char* offered;
    const char* ignored;
    UpdateOffer expected;
  };
  const Case cases[] = {
      {"1.2.9", "1.2.10", "", UpdateOffer::None},       // "10" sorts before "9"
      {"1.9.9", "2.0.0", "", UpdateOffer::Mandatory},
      {"1.2.9", "1.3.0", "1.3.0", UpdateOffer::None},   // declined before
      {"1.2.5", "1.3", "", UpdateOffer::None},          // piece counts differ
      {"2.0.0", "1.5.0", "", UpdateOffer::Optional},    // first not greater, second is
      {"3", "3", "", UpdateOffer::None},
      {"3", "4", "", UpdateOffer::Mandatory},
      {"1.2.3", "1.2.4", "", UpdateOffer::Optional},
      {"1.2.3.4", "1.2.3.9", "", UpdateOffer::None},    // a fourth piece is never looked at
      {"1.2.3", "", "", UpdateOffer::None},
      {"", "", "", UpdateOffer::None},
  };
  for (const auto& c : cases)
    EXPECT_EQ(decideUpdate(c.client, c.offered, c.ignored), c.expected) << c.client << " -> " << c.offered;
}

namespace {

struct Recorder {
  std::vector<std::pair<std::string, bool>> asked;
  std::vector<std::pair<std::string, std::string>> launched;
  int answer = 1;
  int launchResult = 42;

  VersionCheckActions actions() {
    return {[this](const std::string& text, bool twoButtons) {
              asked.emplace_back(text, twoButtons);
              return answer;
            },
            [this](const std::string& program, const std::string& parameters) {
              launched.emplace_back(program, parameters);
              return launchResult;
            }};
  }
};

class VersionCheckRun : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(temp.file("LockSetConfig.ini"), "[Client]\nVersion=1.9.9\n");
    AppContext& context = AppContext::instance();
    context.lockSetIni.clear();
    ASSERT_TRUE(context.lockSetIni.load(temp.file("LockSetConfig.ini")));
    context.appFolder = temp.path();
    context.viewUpdateUrl = "http://updates.example/client";
    context.ignoreVersion.clear();
  }
  TempFolder temp;
  Recorder recorder;
};

}  // namespace

TEST_F(VersionCheckRun, MandatoryUpdateLaunchesTheUpdaterWhateverTheAnswer) {
  AppContext& context = AppContext::instance();
  context.clientVersion = "1.9.9";
  context.newVersion = "2.0.0";
  recorder.answer = 0;  // "取消"
  EXPECT_TRUE(runVersionCheck(recorder.actions()));
  ASSERT_EQ(recorder.asked.size(), 1u);
  EXPECT_EQ(recorder.asked[0], std::make_pair(std::string("发现新版本，系统升级"), false));
  ASSERT_EQ(recorder.launched.size(), 1u);
  EXPECT_TRUE(recorder.launched[0].first.ends_with("/UpdateManage"));
  EXPECT_EQ(recorder.launched[0].second, "http://updates.example/client%2.0.0%LockSetConfig.ini");
}

TEST_F(VersionCheckRun, DecliningAnOptionalUpdateWritesIgnoreVersionAndIsNotAskedAgain) {
  AppContext& context = AppContext::instance();
  context.clientVersion = "2.0.0";
  context.newVersion = "2.1.0";
  recorder.answer = 0;
  EXPECT_FALSE(runVersionCheck(recorder.actions()));
  ASSERT_EQ(recorder.asked.size(), 1u);
  EXPECT_EQ(recorder.asked[0], std::make_pair(std::string("发现新版本，是否升级"), true));
  EXPECT_TRUE(recorder.launched.empty());
  EXPECT_NE(readFile(temp.file("LockSetConfig.ini")).find("IgnoreVersion=2.1.0"), std::string::npos);

  // The next start reads the declined version back and stays silent.
  context.lockSetIni.clear();
  ASSERT_TRUE(context.lockSetIni.load(temp.file("LockSetConfig.ini")));
  context.ignoreVersion = context.lockSetIni.get("Client", "IgnoreVersion");
  EXPECT_FALSE(runVersionCheck(recorder.actions()));
  EXPECT_EQ(recorder.asked.size(), 1u);
}

TEST_F(VersionCheckRun, AcceptingAnOptionalUpdateLaunches) {
  AppContext& context = AppContext::instance();
  context.clientVersion = "2.0.0";
  context.newVersion = "2.0.1";
  recorder.answer = 1;
  EXPECT_TRUE(runVersionCheck(recorder.actions()));
  EXPECT_EQ(recorder.launched.size(), 1u);
}

TEST_F(VersionCheckRun, AFailedLaunchPrintsItsResultAndContinues) {
  AppContext& context = AppContext::instance();
  context.clientVersion = "1.0";
  context.newVersion = "2.0";
  recorder.launchResult = 2;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(runVersionCheck(recorder.actions()));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("return value:2\n"), std::string::npos);
}

TEST(LaunchProgram, ReportsShellStyleResults) {
  TempFolder temp;
  EXPECT_EQ(launchProgram(temp.file("absent"), "x"), 2);
  writeFile(temp.file("not-executable"), "#!/bin/sh\n");
  EXPECT_EQ(launchProgram(temp.file("not-executable"), "x"), 5);

  // A real program receives the parameter text as its one argument.
  writeFile(temp.file("updater"), "#!/bin/sh\necho \"$1\" > \"$(dirname \"$0\")/received\"\n");
  ASSERT_EQ(::chmod(temp.file("updater").c_str(), 0755), 0);
  EXPECT_GT(launchProgram(temp.file("updater"), "u%1.0%LockSetConfig.ini"), 32);
  for (int i = 0; i < 200 && readFile(temp.file("received")).empty(); ++i) ::usleep(10000);
  EXPECT_EQ(readFile(temp.file("received")), "u%1.0%LockSetConfig.ini\n");
}
