#include <gtest/gtest.h>

#include "common/FileSystem.h"
#include "core/AppContext.h"
#include "tests/support/TempFolder.h"

using mc::test::readFile;
using mc::test::TempFolder;
using mc::test::writeFile;

namespace {

class Configuration : public ::testing::Test {
 protected:
  void SetUp() override {
    AppContext& context = AppContext::instance();
    context.configIni.clear();
    context.lockSetIni.clear();
    context.servers.clear();
  }
  bool load(const std::string& config, const std::string& lockSet) {
    writeFile(temp.file("Config.ini"), config);
    writeFile(temp.file("LockSetConfig.ini"), lockSet);
    return AppContext::instance().readConfiguration(temp.path());
  }
  TempFolder temp;
};

}  // namespace

TEST_F(Configuration, PairsAddressesAndPortsByPosition) {
  struct Case {
    const char* ip;
    const char* port;
    std::vector<std::pair<std::string, std::string>> expected;
  };
  const Case cases[] = {
      {"10.0.0.1;10.0.0.2", "7000;7001", {{"10.0.0.1", "7000"}, {"10.0.0.2", "7001"}}},
      {"10.0.0.1;10.0.0.2", "7000", {}},
      {"10.0.0.1;", "7000", {{"10.0.0.1", "7000"}}},
  };
  for (const auto& c : cases) {
    SetUp();
    ASSERT_TRUE(load(std::string("[Server]\nIP=") + c.ip + "\nPORT=" + c.port +
                         "\n[RtspServer]\nIP=rtsp.host\nPORT=554\n",
                     "[Client]\nVersion=1.0.0\n"));
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& server : AppContext::instance().servers) got.emplace_back(server.ip, server.port);
    EXPECT_EQ(got, c.expected) << c.ip << " / " << c.port;
  }
  EXPECT_EQ(AppContext::instance().rtspServerIp, "rtsp.host");
  EXPECT_EQ(AppContext::instance().rtspServerPort, "554");
}

TEST_F(Configuration, WithoutClientSectionAppliesAndWritesBackTheFolderDefaults) {
  ASSERT_TRUE(load("[Server]\nIP=127.0.0.1\nPORT=9000\n", "[Other]\nx=1\n"));
  AppContext& context = AppContext::instance();
  EXPECT_EQ(context.capturePath, temp.path() + "/Capture");
  EXPECT_EQ(context.savePath, temp.path() + "/Save");
  EXPECT_EQ(context.alarmPath, temp.path() + "/Alarm");
  EXPECT_EQ(context.qrCodePath, temp.path() + "/ErWeiMa");
  EXPECT_EQ(context.clientVersion, "");
  EXPECT_EQ(context.ignoreVersion, "");
  for (const char* folder : {"Capture", "Save", "Alarm", "ErWeiMa"})
    EXPECT_TRUE(mc::pathExists(temp.file(folder))) << folder;
  const std::string p = temp.path();
  EXPECT_EQ(readFile(temp.file("LockSetConfig.ini")),
            "[Client]\nAlarmPath=" + p + "/Alarm\nErWeiMaFile=" + p + "/ErWeiMa\nPath=" + p +
                "/Capture\nSavePath=" + p + "/Save\n[Other]\nx=1\n");
}

TEST_F(Configuration, ConfiguredFoldersAreCreatedLevelByLevel) {
  const std::string deep = temp.path() + "/media/cam/shots";
  ASSERT_TRUE(load("[Server]\nIP=a\nPORT=1\n", "[Client]\nPath=" + deep + "\nVersion=2.0.0\n"));
  EXPECT_EQ(AppContext::instance().capturePath, deep);
  EXPECT_EQ(AppContext::instance().clientVersion, "2.0.0");
  EXPECT_TRUE(mc::pathExists(deep));
}

TEST_F(Configuration, FailsOnAMissingOrMalformedFile) {
  writeFile(temp.file("Config.ini"), "[Server]\nIP=a\nPORT=1\n");
  EXPECT_FALSE(AppContext::instance().readConfiguration(temp.path())) << "no LockSetConfig.ini";
  EXPECT_FALSE(load("[Server]\nIP=a\nIP=b\n", "[Client]\n")) << "duplicate key in Config.ini";
  EXPECT_FALSE(load("[Server]\nIP=a\n", "[Client\n")) << "malformed LockSetConfig.ini";
}
