#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "store/LocalDb.h"
#include "tests/support/TempFolder.h"

using mc::test::TempFolder;
using mc::test::writeFile;

namespace {

// The tables as the store must create them, word for word.
const char* const kUserTable =
    "CREATE TABLE [UserTable] ([colId] INTEGER PRIMARY KEY AUTOINCREMENT , [userName] NVARCHAR(64) UNIQUE "
    ",[userId] NVARCHAR(64),[userPwd] NVARCHAR(64),[nodeVersion] NVARCHAR(64),[remember] INTEGER,[autoLogin] "
    "INTEGER,[LoginTime] NVARCHAR(64))";
const char* const kNodeTable =
    "CREATE TABLE [NodeTable] ([colId] INTEGER PRIMARY KEY AUTOINCREMENT , [nodeName] NVARCHAR(64),[nodeId] "
    "NVARCHAR(64),[CameraVersion] NVARCHAR(64),[userId] NVARCHAR(64),[nodeType] INTEGER,[cameraCount] INTEGER)";
const char* const kCameraTable =
    "CREATE TABLE [CameraTable] ([colId] INTEGER PRIMARY KEY AUTOINCREMENT , [cameraName] NVARCHAR(64),[cameraId] "
    "NVARCHAR(64),[transIp] NVARCHAR(64),[transPort] NVARCHAR(64),[nodeId] NVARCHAR(64) ,[cameraLongitude] "
    "double, [cameraLatitude] double,[ExpiredTime] NVARCHAR(64),[SxtIndex] NVARCHAR(64),[RtmpPort] NVARCHAR(64))";

UserRow user(const std::string& name, const std::string& id, const std::string& time) {
  UserRow row;
  row.userName = name;
  row.userId = id;
  row.userPwd = "pw-" + name;
  row.nodeVersion = "v1";
  row.remember = 1;
  row.autoLogin = 0;
  row.LoginTime = time;
  return row;
}

NodeRow node(const std::string& userId, const std::string& id, const std::string& name) {
  NodeRow row;
  row.userId = userId;
  row.nodeId = id;
  row.nodeName = name;
  row.CameraVersion = "c1";
  row.nodeType = 4;
  row.cameraCount = 2;
  return row;
}

CameraRow camera(const std::string& nodeId, const std::string& id, const std::string& name) {
  CameraRow row;
  row.nodeId = nodeId;
  row.cameraId = id;
  row.cameraName = name;
  row.transIp = "127.0.0.1";
  row.transPort = "9000";
  row.cameraLongitude = 116.404;
  row.cameraLatitude = 39.915;
  row.ExpiredTime = "2030-01-01";
  row.SxtIndex = "1";
  row.RtmpPort = "1935";
  return row;
}

// A store on a fresh file, with a second raw connection for looking inside.
class LocalDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = temp.file("paramInfo.db");
    ASSERT_TRUE(store.Open(path));
    ASSERT_TRUE(raw.Open(path.c_str()));
  }

  int count(const std::string& statement) {
    SqliteQuery query = raw.Prepare(statement);
    return query.Step() ? query.Int(0) : -1;
  }

  std::vector<CameraRow> cameras(const std::string& nodeId) {
    std::vector<CameraRow> list;
    EXPECT_TRUE(store.LoadCameras(nodeId, list));
    return list;
  }

  std::vector<NodeRow> nodes(const std::string& userId) {
    std::vector<NodeRow> list;
    EXPECT_TRUE(store.LoadNodes(userId, list));
    return list;
  }

  TempFolder temp;
  std::string path;
  CLocalDb store;
  SqliteDb raw;
};

}  // namespace

TEST_F(LocalDbTest, ANewFileGetsTheThreeTablesWordForWord) {
  struct Case {
    const char* table;
    const char* create;
  };
  const Case cases[] = {{"UserTable", kUserTable}, {"NodeTable", kNodeTable}, {"CameraTable", kCameraTable}};
  for (const auto& c : cases) {
    SqliteQuery query = raw.Prepare(std::string("select sql from sqlite_master where type='table' and name='") +
                                    c.table + "'");
    ASSERT_TRUE(query.Step()) << c.table;
    EXPECT_EQ(query.Text(0), c.create);
  }
}

TEST_F(LocalDbTest, CommitsGoToAWriteAheadLog) {
  // Without it every single-statement commit waits for the disk several times.
  SqliteQuery mode = raw.Prepare("PRAGMA journal_mode");
  ASSERT_TRUE(mode.Step());
  EXPECT_EQ(mode.Text(0), "wal");
}

TEST_F(LocalDbTest, OpeningAgainKeepsTablesAndRows) {
  ASSERT_TRUE(store.InsertUser(user("ann", "1", "20240101-10:00:00")));
  ASSERT_TRUE(store.InsertNode(node("1", "n1", "Site")));
  const int objects = count("select count(*) from sqlite_master");

  CLocalDb second;
  ASSERT_TRUE(second.Open(path));
  EXPECT_EQ(count("select count(*) from sqlite_master"), objects);
  std::vector<UserRow> users;
  ASSERT_TRUE(second.LoadUsers(users));
  ASSERT_EQ(users.size(), 1u);
  EXPECT_EQ(users[0].userName, "ann");
  EXPECT_EQ(nodes("1").size(), 1u);
}

TEST(LocalDbOpen, FailsWhenTheFileOrATableCannotBeHad) {
  TempFolder temp;
  writeFile(temp.file("junk.db"), std::string(4096, 'x'));
  {
    // A file that already names an index NodeTable: the table cannot be created.
    SqliteDb raw;
    ASSERT_TRUE(raw.Open(temp.file("clash.db").c_str()));
    ASSERT_TRUE(raw.Execute("create table other(a)"));
    ASSERT_TRUE(raw.Execute("create index NodeTable on other(a)"));
  }
  struct Case {
    const char* what;
    std::string path;
  };
  const Case cases[] = {
      {"empty path", ""},
      {"missing folder", temp.file("no/such/folder/paramInfo.db")},
      {"a folder", temp.path()},
      {"not a database", temp.file("junk.db")},
      {"table name taken", temp.file("clash.db")},
  };
  for (const auto& c : cases) {
    CLocalDb store;
    EXPECT_FALSE(store.Open(c.path)) << c.what;
    std::vector<UserRow> users{UserRow{}};
    EXPECT_FALSE(store.LoadUsers(users)) << c.what;
    EXPECT_TRUE(users.empty()) << c.what;
  }
  // The first two tables were created before the clash stopped the rest.
  SqliteDb raw;
  ASSERT_TRUE(raw.Open(temp.file("clash.db").c_str()));
  EXPECT_TRUE(raw.TableExists("UserTable"));
  EXPECT_FALSE(raw.TableExists("CameraTable"));
}

TEST_F(LocalDbTest, UsersListMostRecentFirstAndUpdateByUserId) {
  ASSERT_TRUE(store.InsertUser(user("old", "1", "20131231-23:59:59")));
  ASSERT_TRUE(store.InsertUser(user("new", "2", "20140705-09:03:07")));
  ASSERT_TRUE(store.InsertUser(user("mid", "3", "20140705-09:03:06")));

  UserRow again = user("old", "1", "20150101-00:00:00");
  again.userPwd = "changed";
  again.nodeVersion = "v9";
  again.remember = 0;
  again.autoLogin = 1;
  ASSERT_TRUE(store.UpdateUser(again));

  std::vector<UserRow> users;
  ASSERT_TRUE(store.LoadUsers(users));
  ASSERT_EQ(users.size(), 3u);
  EXPECT_EQ(users[0].userName, "old");
  EXPECT_EQ(users[1].userName, "new");
  EXPECT_EQ(users[2].userName, "mid");
  EXPECT_EQ(users[0].userId, "1");
  EXPECT_EQ(users[0].userPwd, "changed");
  EXPECT_EQ(users[0].nodeVersion, "v9");
  EXPECT_EQ(users[0].remember, 0);
  EXPECT_EQ(users[0].autoLogin, 1);
  EXPECT_EQ(users[0].LoginTime, "20150101-00:00:00");
  EXPECT_GT(users[0].colId, 0);

  std::string version;
  EXPECT_TRUE(store.GetUserNodeVersion("1", version));
  EXPECT_EQ(version, "v9");
  version = "untouched";
  EXPECT_FALSE(store.GetUserNodeVersion("404", version));
  EXPECT_EQ(version, "untouched");
}

TEST_F(LocalDbTest, AccountOperationsChangeOnlyTheirRow) {
  ASSERT_TRUE(store.InsertUser(user("ann", "1", "20240101-10:00:00")));
  ASSERT_TRUE(store.InsertUser(user("bob", "2", "20240101-11:00:00")));
  // The name is unique: the same name under another id is refused.
  EXPECT_FALSE(store.InsertUser(user("ann", "7", "20240102-10:00:00")));

  ASSERT_TRUE(store.SetAutoLogin("2", true));
  std::vector<UserRow> users;
  ASSERT_TRUE(store.LoadUsers(users));
  ASSERT_EQ(users.size(), 2u);
  EXPECT_EQ(users[0].autoLogin, 1);  // bob
  EXPECT_EQ(users[1].autoLogin, 0);
  ASSERT_TRUE(store.SetAutoLogin("2", false));

  ASSERT_TRUE(store.DeleteUser("ann"));
  ASSERT_TRUE(store.LoadUsers(users));
  ASSERT_EQ(users.size(), 1u);
  EXPECT_EQ(users[0].userName, "bob");
  EXPECT_EQ(users[0].autoLogin, 0);
}

TEST_F(LocalDbTest, NodeUpdateRewritesOnlyNameAndCameraVersion) {
  ASSERT_TRUE(store.InsertNode(node("1", "n1", "Site")));
  ASSERT_TRUE(store.InsertNode(node("1", "n2", "Other")));
  ASSERT_TRUE(store.InsertNode(node("2", "n3", "Not mine")));

  NodeRow changed = node("1", "n1", "Renamed");
  changed.CameraVersion = "c2";
  changed.nodeType = 9;
  changed.cameraCount = 30;
  ASSERT_TRUE(store.UpdateNode(changed));

  const auto list = nodes("1");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].nodeId, "n1");
  EXPECT_EQ(list[0].nodeName, "Renamed");
  EXPECT_EQ(list[0].CameraVersion, "c2");
  EXPECT_EQ(list[0].userId, "1");
  EXPECT_EQ(list[0].nodeType, 4);
  EXPECT_EQ(list[0].cameraCount, 2);
  EXPECT_EQ(list[1].nodeName, "Other");
  EXPECT_EQ(nodes("2").size(), 1u);
  EXPECT_TRUE(nodes("nobody").empty());
}

TEST_F(LocalDbTest, CameraUpdateKeepsIndexAndRtmpPort) {
  ASSERT_TRUE(store.InsertCamera(camera("n1", "c1", "Gate")));
  CameraRow changed = camera("n1", "c1", "Gate 2");
  changed.transIp = "127.0.0.2";
  changed.transPort = "9001";
  changed.cameraLongitude = 1.5;
  changed.cameraLatitude = -2.25;
  changed.ExpiredTime = "2031-01-01";
  changed.SxtIndex = "5";
  changed.RtmpPort = "2000";
  ASSERT_TRUE(store.UpdateCamera(changed));

  const auto list = cameras("n1");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].cameraName, "Gate 2");
  EXPECT_EQ(list[0].cameraId, "c1");
  EXPECT_EQ(list[0].transIp, "127.0.0.2");
  EXPECT_EQ(list[0].transPort, "9001");
  EXPECT_EQ(list[0].nodeId, "n1");
  EXPECT_DOUBLE_EQ(list[0].cameraLongitude, 1.5);
  EXPECT_DOUBLE_EQ(list[0].cameraLatitude, -2.25);
  EXPECT_EQ(list[0].ExpiredTime, "2031-01-01");
  EXPECT_EQ(list[0].SxtIndex, "1");
  EXPECT_EQ(list[0].RtmpPort, "1935");
}

TEST_F(LocalDbTest, PositionsAreStoredWithSixDecimals) {
  CameraRow row = camera("n1", "c1", "Gate");
  row.cameraLongitude = 116.40412345;
  row.cameraLatitude = -39.9;
  ASSERT_TRUE(store.InsertCamera(row));
  const auto list = cameras("n1");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_DOUBLE_EQ(list[0].cameraLongitude, 116.404123);
  EXPECT_DOUBLE_EQ(list[0].cameraLatitude, -39.9);
}

TEST_F(LocalDbTest, DeletingACameraLeavesOtherNodesAlone) {
  ASSERT_TRUE(store.InsertCamera(camera("n1", "c1", "Gate")));
  ASSERT_TRUE(store.InsertCamera(camera("n1", "c2", "Yard")));
  // The same camera, moved to another node.
  ASSERT_TRUE(store.InsertCamera(camera("n2", "c1", "Gate")));
  ASSERT_TRUE(store.DeleteCamera(camera("n1", "c1", "Gate")));
  const auto first = cameras("n1");
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].cameraId, "c2");
  EXPECT_EQ(cameras("n2").size(), 1u);
}

TEST_F(LocalDbTest, DeletingANodeRemovesItsCameras) {
  ASSERT_TRUE(store.InsertNode(node("1", "n1", "Site")));
  ASSERT_TRUE(store.InsertNode(node("1", "n2", "Other")));
  ASSERT_TRUE(store.InsertCamera(camera("n1", "c1", "Gate")));
  ASSERT_TRUE(store.InsertCamera(camera("n1", "c2", "Yard")));
  ASSERT_TRUE(store.InsertCamera(camera("n2", "c3", "Door")));

  ASSERT_TRUE(store.DeleteNode(node("1", "n1", "Site")));
  const auto left = nodes("1");
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].nodeId, "n2");
  EXPECT_TRUE(cameras("n1").empty());
  EXPECT_EQ(cameras("n2").size(), 1u);
}

TEST_F(LocalDbTest, ANodeThatCannotBeDeletedKeepsItsCameras) {
  ASSERT_TRUE(store.InsertNode(node("1", "n1", "Site")));
  ASSERT_TRUE(store.InsertCamera(camera("n1", "c1", "Gate")));
  ASSERT_TRUE(raw.Execute("create trigger keep before delete on NodeTable begin select raise(abort, 'kept'); end"));

  EXPECT_FALSE(store.DeleteNode(node("1", "n1", "Site")));
  EXPECT_EQ(nodes("1").size(), 1u);
  EXPECT_EQ(cameras("n1").size(), 1u);
}

TEST_F(LocalDbTest, ANodeSharedByTwoAccountsKeepsItsCamerasUntilBothDropIt) {
  ASSERT_TRUE(store.InsertNode(node("ann", "n1", "Shared")));
  ASSERT_TRUE(store.InsertNode(node("bob", "n1", "Shared")));
  ASSERT_TRUE(store.InsertCamera(camera("n1", "c1", "Gate")));

  ASSERT_TRUE(store.DeleteNode(node("ann", "n1", "Shared")));
  EXPECT_TRUE(nodes("ann").empty());
  EXPECT_EQ(nodes("bob").size(), 1u);
  EXPECT_EQ(cameras("n1").size(), 1u);

  ASSERT_TRUE(store.DeleteNode(node("bob", "n1", "Shared")));
  EXPECT_TRUE(nodes("bob").empty());
  EXPECT_TRUE(cameras("n1").empty());
}

TEST_F(LocalDbTest, QuotesInEveryTextRoundTripAndChangeNothingElse) {
  const std::string texts[] = {"O'Brien", "'", "''", "it's a 'test'", "x'); drop table NodeTable; --",
                               "a' or '1'='1", "门口'摄像机"};
  int index = 0;
  for (const auto& text : texts) {
    SCOPED_TRACE(text);
    const std::string id = text + std::to_string(index++);
    UserRow account = user(text, id, "20240101-10:00:00");
    account.userPwd = text;
    account.nodeVersion = text;
    ASSERT_TRUE(store.InsertUser(account));
    std::string version;
    ASSERT_TRUE(store.GetUserNodeVersion(id, version));
    EXPECT_EQ(version, text);
    ASSERT_TRUE(store.UpdateUser(account));
    ASSERT_TRUE(store.SetAutoLogin(id, true));

    NodeRow site = node(id, id, text);
    site.CameraVersion = text;
    ASSERT_TRUE(store.InsertNode(site));
    ASSERT_TRUE(store.UpdateNode(site));
    const auto siteRows = nodes(id);
    ASSERT_EQ(siteRows.size(), 1u);
    EXPECT_EQ(siteRows[0].nodeName, text);
    EXPECT_EQ(siteRows[0].nodeId, id);
    EXPECT_EQ(siteRows[0].CameraVersion, text);

    CameraRow cam = camera(id, id, text);
    cam.transIp = cam.transPort = cam.ExpiredTime = cam.SxtIndex = cam.RtmpPort = text;
    ASSERT_TRUE(store.InsertCamera(cam));
    ASSERT_TRUE(store.UpdateCamera(cam));
    const auto camRows = cameras(id);
    ASSERT_EQ(camRows.size(), 1u);
    for (const auto* field : {&camRows[0].cameraName, &camRows[0].cameraId, &camRows[0].transIp,
                              &camRows[0].transPort, &camRows[0].nodeId, &camRows[0].ExpiredTime,
                              &camRows[0].SxtIndex, &camRows[0].RtmpPort}) {
      EXPECT_EQ(*field, field == &camRows[0].cameraId || field == &camRows[0].nodeId ? id : text);
    }
  }
  std::vector<UserRow> users;
  ASSERT_TRUE(store.LoadUsers(users));
  ASSERT_EQ(users.size(), std::size(texts));
  for (const auto& row : users) {
    EXPECT_EQ(row.userPwd, row.userName);
    EXPECT_EQ(row.autoLogin, 1);
  }
  EXPECT_EQ(count("select count(*) from NodeTable"), static_cast<int>(std::size(texts)));
  EXPECT_EQ(count("select count(*) from CameraTable"), static_cast<int>(std::size(texts)));

  // Deletions by a quoted key remove exactly their row.
  ASSERT_TRUE(store.DeleteUser("O'Brien"));
  ASSERT_TRUE(store.DeleteNode(node("O'Brien0", "O'Brien0", "")));
  EXPECT_EQ(count("select count(*) from UserTable"), static_cast<int>(std::size(texts)) - 1);
  EXPECT_EQ(count("select count(*) from NodeTable"), static_cast<int>(std::size(texts)) - 1);
  EXPECT_EQ(count("select count(*) from CameraTable"), static_cast<int>(std::size(texts)) - 1);
}

TEST_F(LocalDbTest, AStatementOver512BytesFailsWithoutTouchingTheStore) {
  // "delete from UserTable where userName = ''" is 41 bytes: a name of 470
  // bytes fills the 511 bytes that fit beside the terminator.
  const std::string fits(470, 'a');
  const std::string tooLong(471, 'b');
  const std::string quotedTooLong(469, 'c');  // plus one quote, doubled: 471

  ASSERT_TRUE(raw.Execute("insert into UserTable(userName,userId) values('" + fits + "','1')"));
  ASSERT_TRUE(raw.Execute("insert into UserTable(userName,userId) values('" + tooLong + "','2')"));
  ASSERT_TRUE(raw.Execute("insert into UserTable(userName,userId) values('" + quotedTooLong + "''','3')"));

  EXPECT_FALSE(store.DeleteUser(tooLong));
  EXPECT_FALSE(store.DeleteUser(quotedTooLong + "'"));
  EXPECT_EQ(count("select count(*) from UserTable"), 3);
  EXPECT_TRUE(store.DeleteUser(fits));
  EXPECT_EQ(count("select count(*) from UserTable"), 2);

  // Inserts and updates are refused whole.
  EXPECT_FALSE(store.InsertNode(node("1", "n1", std::string(600, 'n'))));
  EXPECT_FALSE(store.InsertCamera(camera("n1", "c1", std::string(600, 'n'))));
  ASSERT_TRUE(store.InsertCamera(camera("n1", "c1", "Gate")));
  EXPECT_FALSE(store.UpdateCamera(camera("n1", "c1", std::string(600, 'n'))));
  EXPECT_EQ(count("select count(*) from NodeTable"), 0);
  const auto list = cameras("n1");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].cameraName, "Gate");

  // The camera statement alone would fit, the node's does not: neither runs.
  const std::string longId(460, 'i');
  ASSERT_TRUE(raw.Execute("insert into NodeTable(nodeId,userId) values('" + longId + "','1')"));
  ASSERT_TRUE(raw.Execute("insert into CameraTable(cameraId,nodeId) values('c9','" + longId + "')"));
  EXPECT_FALSE(store.DeleteNode(node("1", longId, "")));
  EXPECT_EQ(count("select count(*) from NodeTable"), 1);
  EXPECT_EQ(count("select count(*) from CameraTable"), 2);
}

TEST_F(LocalDbTest, PasswordsOfAccountsNotRememberedAreEmptiedOnOpen) {
  // As an older build left them: the typed password stored in every case.
  ASSERT_TRUE(raw.Execute("insert into UserTable(userName,userId,userPwd,remember) values('ann','1','secret',0)"));
  ASSERT_TRUE(raw.Execute("insert into UserTable(userName,userId,userPwd,remember) values('bob','2','kept',1)"));
  ASSERT_TRUE(raw.Execute("insert into UserTable(userName,userId,userPwd) values('cid','3','orphan')"));
  CLocalDb reopened;
  ASSERT_TRUE(reopened.Open(path));
  SqliteQuery query = raw.Prepare("select userName, userPwd from UserTable order by userName");
  const char* expected[][2] = {{"ann", ""}, {"bob", "kept"}, {"cid", ""}};
  for (const auto& row : expected) {
    ASSERT_TRUE(query.Step());
    EXPECT_EQ(query.Text(0), row[0]);
    EXPECT_EQ(query.Text(1), row[1]);
  }
}

TEST_F(LocalDbTest, OperationsOnAClosedStoreFail) {
  store.Close();
  std::vector<NodeRow> list{NodeRow{}};
  std::string version;
  EXPECT_FALSE(store.LoadNodes("1", list));
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(store.GetUserNodeVersion("1", version));
  EXPECT_FALSE(store.InsertUser(user("ann", "1", "")));
  EXPECT_FALSE(store.InsertCamera(camera("n1", "c1", "Gate")));
  EXPECT_FALSE(store.DeleteNode(node("1", "n1", "")));
}

TEST_F(LocalDbTest, AWriteWaitsForAnotherConnectionsLock) {
  // Another client holds the file's write lock for a moment.
  ASSERT_TRUE(raw.Execute("begin immediate"));
  auto insert = std::async(std::launch::async, [this] { return store.InsertUser(user("ann", "1", "")); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_TRUE(raw.Execute("commit"));
  EXPECT_TRUE(insert.get());
  EXPECT_EQ(count("select count(*) from UserTable"), 1);
}

// Reals must be written with a decimal point even when the process runs in a
// locale whose decimal separator is a comma (Qt sets the user's locale).
TEST_F(LocalDbTest, RealsAreWrittenTheSameInACommaLocale) {
  TempFolder locales;
  const std::string command = "localedef -i de_DE -f UTF-8 " + locales.file("de_DE.UTF-8") + " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "localedef with de_DE unavailable";
  ::setenv("LOCPATH", locales.path().c_str(), 1);
  ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
  char probe[32];
  std::snprintf(probe, sizeof probe, "%f", 1.5);
  EXPECT_STREQ(probe, "1,500000");  // the locale is really in force

  CameraRow row = camera("n1", "c1", "Gate");
  row.cameraLongitude = 116.5;
  row.cameraLatitude = 39.25;
  const bool inserted = store.InsertCamera(row);
  row.cameraLongitude = 117.75;
  const bool updated = store.UpdateCamera(row);
  std::setlocale(LC_NUMERIC, "C");
  ::unsetenv("LOCPATH");

  ASSERT_TRUE(inserted);
  ASSERT_TRUE(updated);
  const auto list = cameras("n1");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_DOUBLE_EQ(list[0].cameraLongitude, 117.75);
  EXPECT_DOUBLE_EQ(list[0].cameraLatitude, 39.25);
}
