#pragma once
#include <ctime>
#include <string>
#include <vector>

class AppContext;
struct SavedAccount;
class CLocalDb;

namespace mc {

// What a successful login stores about the account.
struct LoginUser {
  std::string userName;
  std::string userId;
  std::string password;  // as typed; stored only when rememberPassword is set
  bool rememberPassword = false;
  bool autoLogin = false;
};

// The account of the current login, as the login window left it in `context`.
LoginUser loginUserOf(const AppContext& context);

// "YYYYMMDD-HH:MM:SS" of a local time, so that text order is time order.
std::string formatLoginTime(const std::tm& localTime);

// Inserts or updates the account's row with `nodeVersion` and the login time.
// The password is kept only when the operator asked to remember it; otherwise
// an empty password is stored. When the name is still stored under an older
// account id, that stale row is replaced by this login's.
bool saveLoginUser(CLocalDb& db, const LoginUser& user, const std::string& nodeVersion, const std::tm& localTime);
// The same at the current local time.
bool saveLoginUser(CLocalDb& db, const LoginUser& user, const std::string& nodeVersion);

// The remembered accounts for the login window, most recent login first.
// False when the store cannot be read (the list is then empty).
bool loadSavedAccounts(CLocalDb& db, std::vector<SavedAccount>& accounts);

}  // namespace mc
