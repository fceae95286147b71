#include "store/LocalDb.h"

#include <optional>

#include "core/OLog.h"

namespace {

struct TableSchema {
  const char* name;
  const char* create;
};

// Created in this order when missing.
const TableSchema kTables[] = {
    {"UserTable",
     "CREATE TABLE [UserTable] ([colId] INTEGER PRIMARY KEY AUTOINCREMENT , [userName] NVARCHAR(64) UNIQUE "
     ",[userId] NVARCHAR(64),[userPwd] NVARCHAR(64),[nodeVersion] NVARCHAR(64),[remember] INTEGER,[autoLogin] "
     "INTEGER,[LoginTime] NVARCHAR(64))"},
    {"NodeTable",
     "CREATE TABLE [NodeTable] ([colId] INTEGER PRIMARY KEY AUTOINCREMENT , [nodeName] NVARCHAR(64),[nodeId] "
     "NVARCHAR(64),[CameraVersion] NVARCHAR(64),[userId] NVARCHAR(64),[nodeType] INTEGER,[cameraCount] INTEGER)"},
    {"CameraTable",
     "CREATE TABLE [CameraTable] ([colId] INTEGER PRIMARY KEY AUTOINCREMENT , [cameraName] NVARCHAR(64),[cameraId] "
     "NVARCHAR(64),[transIp] NVARCHAR(64),[transPort] NVARCHAR(64),[nodeId] NVARCHAR(64) ,[cameraLongitude] "
     "double, [cameraLatitude] double,[ExpiredTime] NVARCHAR(64),[SxtIndex] NVARCHAR(64),[RtmpPort] NVARCHAR(64))"},
};

// Every statement commits on its own. With the default rollback journal each
// commit waits for the disk several times, which makes a first catalogue of a
// thousand cameras take tens of seconds on a slow disk. A write-ahead log
// synchronised at checkpoints keeps each statement atomic and the commits in
// order (a power loss can drop only the latest ones, which the next login
// writes again).
const char* const kJournalSettings[] = {
    "PRAGMA journal_mode=WAL",
    "PRAGMA synchronous=NORMAL",
};

// Lookups by owner: every catalogue load reads each node's cameras, which
// without an index scans the whole camera table once per node.
const char* const kIndexes[] = {
    "CREATE INDEX IF NOT EXISTS [NodeTableUserId] ON [NodeTable] ([userId])",
    "CREATE INDEX IF NOT EXISTS [CameraTableNodeId] ON [CameraTable] ([nodeId])",
};

// Files written before passwords were kept only for remembered accounts may
// still hold the others in clear; nothing reads those, so they are emptied.
constexpr const char* kForgetUnrememberedPasswords =
    "update UserTable set userPwd = '' where coalesce(remember, 0) <> 1 and userPwd <> ''";

constexpr const char* kLoadUsers = "select * from UserTable order by LoginTime desc";
constexpr const char* kGetUser = "select * from UserTable where userId = '%s'";
constexpr const char* kInsertUser =
    "insert into UserTable(userName,userId,userPwd,nodeVersion,remember,autoLogin,LoginTime) "
    "values('%s','%s','%s','%s',%d,%d,'%s')";
constexpr const char* kUpdateUser =
    "update UserTable set  userPwd = '%s' , nodeVersion = '%s' ,remember= %d , autoLogin = %d , LoginTime = '%s'  "
    "where userId='%s'";
constexpr const char* kDeleteUser = "delete from UserTable where userName = '%s'";
constexpr const char* kSetAutoLogin = "update UserTable set autoLogin = %d  where userId='%s'";

constexpr const char* kLoadNodes = "select * from NodeTable where userId = '%s'";
constexpr const char* kInsertNode =
    "insert into NodeTable(nodeName,nodeId,CameraVersion,userId,nodeType,cameraCount) "
    "values('%s','%s','%s','%s',%d,%d)";
constexpr const char* kUpdateNode = "update NodeTable set nodeName='%s' , CameraVersion = '%s' where nodeId='%s'";
// Node rows are per account, camera rows per node: two accounts of this
// computer may list the same node, so one account's deletion removes only its
// own row, and the cameras only when no account lists the node any more.
constexpr const char* kDeleteNode = "delete from NodeTable where nodeId = '%s' and userId = '%s'";
constexpr const char* kCountNodeRows = "select count(*) from NodeTable where nodeId = '%s'";
constexpr const char* kDeleteNodeCameras = "delete from CameraTable where nodeId = '%s'";

constexpr const char* kLoadCameras = "select * from CameraTable where nodeId = '%s'";
constexpr const char* kInsertCamera =
    "insert into CameraTable(cameraName,cameraId,transIp,transPort,nodeId,cameraLongitude,cameraLatitude,"
    "ExpiredTime,SxtIndex,RtmpPort) values('%s','%s','%s','%s','%s',%f,%f,'%s','%s','%s')";
constexpr const char* kUpdateCamera =
    "update CameraTable set cameraName='%s' , transIp = '%s' , transPort = '%s' ,cameraLongitude = "
    "%f,cameraLatitude = %f,ExpiredTime = '%s' where cameraId='%s'";
// Scoped to the node whose list is being brought up to date, so a camera that
// moved to another node keeps its new row.
constexpr const char* kDeleteCamera = "delete from CameraTable where cameraId = '%s' and nodeId = '%s'";

std::optional<std::string> format(const char* pattern, std::initializer_list<mc::SqlValue> values) {
  auto statement = mc::formatStatement(pattern, values);
  if (!statement) {
    const std::string text(pattern);
    LOG_WARNING("statement does not fit %zu bytes or holds a NUL byte, nothing written: %s",
                mc::kStatementBufferSize, text.substr(0, text.find('\'')).c_str());
  }
  return statement;
}

UserRow readUser(const SqliteQuery& query) {
  UserRow row;
  row.colId = query.Int(0);
  row.userName = query.Text(1);
  row.userId = query.Text(2);
  row.userPwd = query.Text(3);
  row.nodeVersion = query.Text(4);
  row.remember = query.Int(5);
  row.autoLogin = query.Int(6);
  row.LoginTime = query.Text(7);
  return row;
}

NodeRow readNode(const SqliteQuery& query) {
  NodeRow row;
  row.colId = query.Int(0);
  row.nodeName = query.Text(1);
  row.nodeId = query.Text(2);
  row.CameraVersion = query.Text(3);
  row.userId = query.Text(4);
  row.nodeType = query.Int(5);
  row.cameraCount = query.Int(6);
  return row;
}

CameraRow readCamera(const SqliteQuery& query) {
  CameraRow row;
  row.colId = query.Int(0);
  row.cameraName = query.Text(1);
  row.cameraId = query.Text(2);
  row.transIp = query.Text(3);
  row.transPort = query.Text(4);
  row.nodeId = query.Text(5);
  row.cameraLongitude = query.Real(6);
  row.cameraLatitude = query.Real(7);
  row.ExpiredTime = query.Text(8);
  row.SxtIndex = query.Text(9);
  row.RtmpPort = query.Text(10);
  return row;
}

// Runs a select and reads every row; a step that fails part-way makes the
// whole read fail rather than hand back a partial list.
template <typename Row, typename Reader>
bool selectRows(SqliteDb& db, const std::optional<std::string>& statement, std::vector<Row>& list, Reader read) {
  list.clear();
  if (!statement) return false;
  SqliteQuery query = db.Prepare(*statement);
  if (!query.IsValid()) return false;
  while (query.Step()) list.push_back(read(query));
  if (query.Finalize() != SQLITE_OK) {
    LOG_ERROR("reading the local store failed: %s", db.ErrorText().c_str());
    list.clear();
    return false;
  }
  return true;
}

}  // namespace

bool CLocalDb::Open(const std::string& utf8Path) {
  std::lock_guard guard(lock_);
  if (!db_.Open(utf8Path.c_str())) return false;
  for (const char* setting : kJournalSettings) {
    if (!db_.Execute(setting)) LOG_WARNING("%s refused: %s", setting, db_.ErrorText().c_str());
  }
  if (!createMissingTables()) {
    db_.Close();
    return false;
  }
  for (const char* index : kIndexes) {
    if (!db_.Execute(index)) LOG_WARNING("cannot create an index: %s", db_.ErrorText().c_str());
  }
  if (!db_.Execute(kForgetUnrememberedPasswords)) {
    LOG_WARNING("cannot empty the passwords of accounts not remembered: %s", db_.ErrorText().c_str());
  }
  return true;
}

void CLocalDb::Close() {
  std::lock_guard guard(lock_);
  db_.Close();
}

bool CLocalDb::createMissingTables() {
  for (const auto& table : kTables) {
    if (db_.TableExists(table.name)) continue;
    if (!db_.Execute(table.create)) {
      LOG_ERROR("cannot create the table %s: %s", table.name, db_.ErrorText().c_str());
      return false;
    }
  }
  return true;
}

bool CLocalDb::executeFormatted(const char* pattern, std::initializer_list<mc::SqlValue> values) {
  const auto statement = format(pattern, values);
  return statement && db_.Execute(*statement);
}

bool CLocalDb::LoadUsers(std::vector<UserRow>& list) {
  std::lock_guard guard(lock_);
  return selectRows(db_, std::optional<std::string>(kLoadUsers), list, readUser);
}

bool CLocalDb::GetUserNodeVersion(const std::string& userId, std::string& version) {
  std::lock_guard guard(lock_);
  const auto statement = format(kGetUser, {userId});
  if (!statement) return false;
  SqliteQuery query = db_.Prepare(*statement);
  if (!query.Step()) return false;
  version = query.Text(4);
  return true;
}

bool CLocalDb::InsertUser(const UserRow& row) {
  std::lock_guard guard(lock_);
  return executeFormatted(kInsertUser, {row.userName, row.userId, row.userPwd, row.nodeVersion, row.remember,
                                        row.autoLogin, row.LoginTime});
}

bool CLocalDb::UpdateUser(const UserRow& row) {
  std::lock_guard guard(lock_);
  return executeFormatted(kUpdateUser,
                          {row.userPwd, row.nodeVersion, row.remember, row.autoLogin, row.LoginTime, row.userId});
}

bool CLocalDb::DeleteUser(const std::string& userName) {
  std::lock_guard guard(lock_);
  return executeFormatted(kDeleteUser, {userName});
}

bool CLocalDb::SetAutoLogin(const std::string& userId, bool flag) {
  std::lock_guard guard(lock_);
  return executeFormatted(kSetAutoLogin, {std::int32_t{flag ? 1 : 0}, userId});
}

bool CLocalDb::LoadNodes(const std::string& userId, std::vector<NodeRow>& list) {
  std::lock_guard guard(lock_);
  return selectRows(db_, format(kLoadNodes, {userId}), list, readNode);
}

bool CLocalDb::InsertNode(const NodeRow& row) {
  std::lock_guard guard(lock_);
  return executeFormatted(kInsertNode,
                          {row.nodeName, row.nodeId, row.CameraVersion, row.userId, row.nodeType, row.cameraCount});
}

bool CLocalDb::UpdateNode(const NodeRow& row) {
  std::lock_guard guard(lock_);
  return executeFormatted(kUpdateNode, {row.nodeName, row.CameraVersion, row.nodeId});
}

bool CLocalDb::DeleteNode(const NodeRow& row) {
  std::lock_guard guard(lock_);
  // All three statements are formatted first: if one does not fit, nothing is touched.
  const auto deleteNode = format(kDeleteNode, {row.nodeId, row.userId});
  const auto countRows = format(kCountNodeRows, {row.nodeId});
  const auto deleteCameras = format(kDeleteNodeCameras, {row.nodeId});
  if (!deleteNode || !countRows || !deleteCameras) return false;
  if (!db_.Execute(*deleteNode)) return false;
  SqliteQuery count = db_.Prepare(*countRows);
  if (!count.Step()) return false;
  if (count.Int(0) != 0) return true;
  count.Finalize();
  return db_.Execute(*deleteCameras);
}

bool CLocalDb::LoadCameras(const std::string& nodeId, std::vector<CameraRow>& list) {
  std::lock_guard guard(lock_);
  return selectRows(db_, format(kLoadCameras, {nodeId}), list, readCamera);
}

bool CLocalDb::InsertCamera(const CameraRow& row) {
  std::lock_guard guard(lock_);
  return executeFormatted(kInsertCamera, {row.cameraName, row.cameraId, row.transIp, row.transPort, row.nodeId,
                                          row.cameraLongitude, row.cameraLatitude, row.ExpiredTime, row.SxtIndex,
                                          row.RtmpPort});
}

bool CLocalDb::UpdateCamera(const CameraRow& row) {
  std::lock_guard guard(lock_);
  return executeFormatted(kUpdateCamera, {row.cameraName, row.transIp, row.transPort, row.cameraLongitude,
                                          row.cameraLatitude, row.ExpiredTime, row.cameraId});
}

bool CLocalDb::DeleteCamera(const CameraRow& row) {
  std::lock_guard guard(lock_);
  return executeFormatted(kDeleteCamera, {row.cameraId, row.nodeId});
}
