#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/WindowMessage.h"
#include "core/IniFile.h"

class CMainLogic;
class CLocalDb;

struct ServerEntry {
  std::string ip;
  std::string port;
};

// An account offered by the login window, filled from the local store.
struct SavedAccount {
  std::string name;
  std::string password;
  bool autoLogin = false;
  bool rememberPassword = false;
  bool deleted = false;
};

// The process-wide state: configuration, login results, the main window, the
// local store and the coordinator. Plain fields, written at start-up and by the
// start-up worker, read everywhere; only receivedBytes has a lock of its own.
class AppContext {
 public:
  static AppContext& instance();

  // The configuration loader run once at start-up: readConfiguration, then
  // creates the coordinator and starts it (worker pool, buffer pools, the
  // local store in `appFolder`). False when a file is missing or malformed or
  // the local store cannot be opened. Defined with the coordinator.
  bool loadConfiguration(const std::string& appFolder);

  // Reads Config.ini and LockSetConfig.ini of `appFolder` into the members,
  // applies the folder defaults (written back at once) and creates the
  // folders. False when either file is missing or malformed.
  bool readConfiguration(const std::string& appFolder);

  // A copy of the coordinator pointer, held by the caller for one operation.
  std::shared_ptr<CMainLogic> getMainLogic() const { return mainLogic; }

  // Stream connections add what they received; the bandwidth display reads
  // and resets it once a second.
  void addReceivedBytes(std::int32_t count);
  std::int32_t takeReceivedBytes();

  std::string appFolder;

  std::string oemId = "qvb";
  std::string logicServerIp;
  std::string logicServerPort;
  std::string rtspServerIp;
  std::string rtspServerPort;
  std::string loginName;
  std::string userId;
  std::string viewUpdateUrl;
  std::string uploadUrl;
  std::string showMsg;
  std::string nodeVersion;
  std::string permission;
  std::string permissionName;
  std::string clientVersion;
  std::string ignoreVersion;
  std::string newVersion;
  std::string sysTime;
  std::string latitude;
  std::string longitude;
  std::vector<ServerEntry> servers;
  std::atomic<mc::WindowHandle> mainHwnd{mc::kNoWindow};
  std::string userName;
  std::string password;
  bool autoLogin = false;
  bool rememberPassword = false;
  std::vector<SavedAccount> savedAccounts;
  std::shared_ptr<CLocalDb> localDb;
  std::atomic<void*> mainWindow{nullptr};  // the CMainWnd while it exists (ui/ owns the type)
  std::string capturePath;
  std::string savePath;
  std::string alarmPath;
  std::string qrCodePath;
  IniFile configIni;
  IniFile lockSetIni;
  bool autoLoginPending = true;
  std::mutex receivedBytesLock;
  std::int32_t receivedBytes = 0;
  std::shared_ptr<CMainLogic> mainLogic;

 private:
  AppContext() = default;
};
