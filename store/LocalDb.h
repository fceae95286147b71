#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "store/DbRows.h"
#include "store/SqlStatement.h"
#include "store/SqliteDb.h"

// The file name of the local store inside the application folder.
inline constexpr const char* kLocalDbFileName = "paramInfo.db";

// The local SQLite cache of remembered accounts, nodes and cameras
// (paramInfo.db). One object, held by AppContext as localDb, used from the UI
// thread (login and settings windows) and from the coordinator's worker thread
// (catalogue load). Every operation holds the lock for its whole run, so
// operations never interleave, and none calls another while holding it.
// Every statement runs on its own (no transactions); each returns true on
// success. A statement that would not fit 512 bytes fails the operation
// before anything is written.
class CLocalDb {
 public:
  // Opens (or creates) the database file and creates the missing tables.
  // False when the file cannot be opened or a table cannot be created; the
  // store is then closed and every operation fails.
  bool Open(const std::string& utf8Path);
  void Close();

  // Accounts, most recent login first. False when the table cannot be read
  // (the list is then empty).
  bool LoadUsers(std::vector<UserRow>& list);
  // True, with `version` = the stored catalogue stamp, when the account has a row.
  bool GetUserNodeVersion(const std::string& userId, std::string& version);
  // Fails on the UNIQUE constraint when the name is stored under another id.
  bool InsertUser(const UserRow& row);
  // Rewrites password, stamp, marks and login time of the row with row.userId.
  bool UpdateUser(const UserRow& row);
  bool DeleteUser(const std::string& userName);
  bool SetAutoLogin(const std::string& userId, bool flag);

  // The account's nodes in store order.
  bool LoadNodes(const std::string& userId, std::vector<NodeRow>& list);
  bool InsertNode(const NodeRow& row);
  // Rewrites name and camera version stamp of every row with row.nodeId.
  bool UpdateNode(const NodeRow& row);
  // Deletes the account's row of the node; its cameras go with it unless
  // another account on this computer still lists the node. When the node row
  // cannot be deleted the cameras stay.
  bool DeleteNode(const NodeRow& row);

  // The node's cameras in store order.
  bool LoadCameras(const std::string& nodeId, std::vector<CameraRow>& list);
  bool InsertCamera(const CameraRow& row);
  // Rewrites name, relay address and port, position and expiry of the camera;
  // its index and RTMP port keep their first stored values.
  bool UpdateCamera(const CameraRow& row);
  // Deletes the camera from row.nodeId only.
  bool DeleteCamera(const CameraRow& row);

 private:
  bool createMissingTables();
  bool executeFormatted(const char* pattern, std::initializer_list<mc::SqlValue> values);

  std::mutex lock_;
  SqliteDb db_;
};
