#include "store/Accounts.h"

#include <cstdio>

#include "core/AppContext.h"
#include "core/OLog.h"
#include "store/LocalDb.h"

namespace mc {

LoginUser loginUserOf(const AppContext& context) {
  LoginUser user;
  user.userName = context.userName;
  user.userId = context.userId;
  user.password = context.password;
  user.rememberPassword = context.rememberPassword;
  user.autoLogin = context.autoLogin;
  return user;
}

std::string formatLoginTime(const std::tm& localTime) {
  char text[80];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d:%02d:%02d", localTime.tm_year + 1900, localTime.tm_mon + 1,
                localTime.tm_mday, localTime.tm_hour, localTime.tm_min, localTime.tm_sec);
  return text;
}

bool saveLoginUser(CLocalDb& db, const LoginUser& user, const std::string& nodeVersion, const std::tm& localTime) {
  UserRow row;
  row.userName = user.userName;
  row.userId = user.userId;
  if (user.rememberPassword) row.userPwd = user.password;
  row.nodeVersion = nodeVersion;
  row.remember = user.rememberPassword ? 1 : 0;
  row.autoLogin = user.autoLogin ? 1 : 0;
  row.LoginTime = formatLoginTime(localTime);

  std::string storedVersion;
  if (db.GetUserNodeVersion(user.userId, storedVersion)) return db.UpdateUser(row);
  if (db.InsertUser(row)) return true;

  // The name may still be stored under the id of an account the server has
  // since replaced; that row would otherwise block this account for good.
  std::vector<UserRow> users;
  if (!db.LoadUsers(users)) return false;
  bool staleName = false;
  for (const auto& stored : users) staleName |= stored.userName == user.userName && stored.userId != user.userId;
  if (!staleName) return false;
  LOG_WARNING("account %s is stored under another id; replacing that row", user.userName.c_str());
  return db.DeleteUser(user.userName) && db.InsertUser(row);
}

bool saveLoginUser(CLocalDb& db, const LoginUser& user, const std::string& nodeVersion) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return saveLoginUser(db, user, nodeVersion, local);
}

bool loadSavedAccounts(CLocalDb& db, std::vector<SavedAccount>& accounts) {
  accounts.clear();
  std::vector<UserRow> users;
  if (!db.LoadUsers(users)) return false;
  for (const auto& row : users) {
    SavedAccount account;
    account.name = row.userName;
    account.rememberPassword = row.remember == 1;
    if (account.rememberPassword) account.password = row.userPwd;
    account.autoLogin = row.autoLogin == 1;
    accounts.push_back(std::move(account));
  }
  return true;
}

}  // namespace mc
