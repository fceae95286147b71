// monitor-cli against platform-sim, as an operator runs it.
#include <gtest/gtest.h>
#include <json/json.h>

#include "core/AppContext.h"
#include "store/Accounts.h"
#include "store/LocalDb.h"
#include "tests/coordinator/CliRunner.h"
#include "tests/coordinator/CoordinatorFixture.h"

using coordtest::CliRun;
using coordtest::CoordinatorTest;
using coordtest::runCli;

namespace {

class MonitorCli : public CoordinatorTest {
 protected:
  void SetUp() override {
    CoordinatorTest::SetUp();
    writeConfig();
  }
};

}  // namespace

TEST_F(MonitorCli, LoginPrintsTheConfiguredCatalogue) {
  const CliRun run = runCli(home.path(), "login --user alice --password secret");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  Json::Value catalogue;
  ASSERT_TRUE(Json::Reader().parse(run.out, catalogue)) << "stdout holds only the JSON: " << run.out;
  EXPECT_EQ(catalogue["userId"].asString(), "u1");
  EXPECT_EQ(catalogue["nodeTotal"].asInt(), 2);
  EXPECT_EQ(catalogue["cameraTotal"].asInt(), 4);
  EXPECT_EQ(catalogue["onlineCameraTotal"].asInt(), 2);
  const Json::Value& yard = catalogue["nodes"][0];
  EXPECT_EQ(yard["id"].asString(), "n1");
  EXPECT_EQ(yard["name"].asString(), "O'Brien's yard");
  EXPECT_EQ(yard["type"].asInt(), 9);
  EXPECT_TRUE(yard["online"].asBool());
  EXPECT_EQ(yard["onlineCameraCount"].asInt(), 2);
  const Json::Value& gate = yard["cameras"][0];
  EXPECT_EQ(gate["id"].asString(), "cam-gate");
  EXPECT_EQ(gate["cameraIndex"].asString(), "1");
  EXPECT_EQ(gate["transpondPort"].asString(), sim->relay().portText());
  EXPECT_DOUBLE_EQ(gate["longitude"].asDouble(), 121.5);
  EXPECT_TRUE(yard["cameras"][1]["expired"].asBool()) << "cam-old, on line but expired";
  const Json::Value& depot = catalogue["nodes"][1];
  EXPECT_FALSE(depot["online"].asBool());
  EXPECT_EQ(depot["cameras"][0]["name"].asString(), "Door");
}

TEST_F(MonitorCli, FailuresPrintTheClientsTextAndExitCode) {
  struct Case {
    std::string arguments;
    int exitCode;
    std::string text;
  };
  const Case cases[] = {
      {"login --user alice --password nope", 3, "账号密码错误！"},
      {"login --user nobody --password x", 2, "连接服务器失败"},
      {"login --user alice", 1, "账号或密码不能为空"},
      {"frobnicate --user alice --password secret", 1, "unknown command: frobnicate"},
  };
  for (const auto& c : cases) {
    const CliRun run = runCli(home.path(), c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.err;
    EXPECT_NE(run.err.find(c.text), std::string::npos) << c.arguments << "\n" << run.err;
    EXPECT_EQ(run.out, "") << c.arguments;
  }
}

TEST_F(MonitorCli, AWithheldNodeListLeavesTheStoreAndTheLoadGoesOn) {
  ASSERT_EQ(runCli(home.path(), "login --user alice --password secret").exitCode, 0);
  sim->controlOk("withhold logic 3");
  // A new stamp makes the next login synchronise; the node list never comes.
  sim->controlOk("camera-online cam-hall 1");
  auto other = runCli(home.path(), "login --user alice --password secret");
  EXPECT_EQ(other.exitCode, 0) << other.err;
  Json::Value catalogue;
  ASSERT_TRUE(Json::Reader().parse(other.out, catalogue));
  EXPECT_EQ(catalogue["cameraTotal"].asInt(), 4) << "the stored catalogue is used";
  EXPECT_EQ(catalogue["onlineCameraTotal"].asInt(), 3) << "the on-line states are fresh";
}

TEST_F(MonitorCli, HelpDocumentsTheCommands) {
  const CliRun run = runCli(home.path(), "--help");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("login"), std::string::npos);
  EXPECT_NE(run.out.find("MONITOR_USER"), std::string::npos);
}

TEST_F(MonitorCli, AccountMarksAreKeptOnlyWhenAsked) {
  struct Case {
    std::string flags;
    std::string storedPassword;
    bool remember;
    bool autoLogin;
  };
  const Case cases[] = {
      {"", "", false, false},
      {" --remember", "secret", true, false},
      {" --auto-login", "secret", true, true},
  };
  for (const auto& c : cases) {
    const CliRun run = runCli(home.path(), "login --user alice --password secret" + c.flags);
    ASSERT_EQ(run.exitCode, 0) << c.flags << "\n" << run.err;
    CLocalDb db;
    ASSERT_TRUE(db.Open(home.path() + "/paramInfo.db"));
    std::vector<SavedAccount> accounts;
    ASSERT_TRUE(mc::loadSavedAccounts(db, accounts));
    ASSERT_EQ(accounts.size(), 1u) << c.flags;
    EXPECT_EQ(accounts[0].name, "alice");
    EXPECT_EQ(accounts[0].password, c.storedPassword) << c.flags;
    EXPECT_EQ(accounts[0].rememberPassword, c.remember) << c.flags;
    EXPECT_EQ(accounts[0].autoLogin, c.autoLogin) << c.flags;
  }
}
