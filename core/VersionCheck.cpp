#include "core/VersionCheck.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "common/Split.h"
#include "core/AppContext.h"
#include "core/AppFolder.h"

extern char** environ;

UpdateOffer decideUpdate(const std::string& clientVersion, const std::string& newVersion,
                         const std::string& ignoreVersion) {
  if (newVersion.empty() || newVersion == ignoreVersion) return UpdateOffer::None;
  const auto current = mc::splitText(clientVersion, '.', true);
  const auto offered = mc::splitText(newVersion, '.', true);
  if (current.size() != offered.size()) return UpdateOffer::None;
  const std::size_t pieces = std::min<std::size_t>(3, offered.size());
  for (std::size_t i = 0; i < pieces; ++i) {
    if (offered[i] > current[i]) return i == 0 ? UpdateOffer::Mandatory : UpdateOffer::Optional;
  }
  return UpdateOffer::None;
}

std::string updaterParameters(const std::string& viewUpdateUrl, const std::string& newVersion) {
  return viewUpdateUrl + "%" + newVersion + "%LockSetConfig.ini";
}

int launchProgram(const std::string& program, const std::string& parameters) {
  if (::access(program.c_str(), F_OK) != 0) return 2;
  if (::access(program.c_str(), X_OK) != 0) return 5;
  std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(parameters.c_str()),
                          nullptr};
  pid_t child = 0;
  const int error = ::posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (error == ENOENT) return 2;
  if (error == EACCES) return 5;
  if (error != 0) return 0;
  return 42;
}

bool runVersionCheck(const VersionCheckActions& actions) {
  AppContext& context = AppContext::instance();
  const UpdateOffer offer = decideUpdate(context.clientVersion, context.newVersion, context.ignoreVersion);
  if (offer == UpdateOffer::None) return false;

  if (offer == UpdateOffer::Mandatory) {
    actions.ask("发现新版本，系统升级", false);
  } else if (actions.ask("发现新版本，是否升级", true) != 1) {
    context.lockSetIni.set("Client", "IgnoreVersion", context.newVersion);
    context.ignoreVersion = context.newVersion;
    return false;
  }

  const std::string updater = executableFolder() + "/UpdateManage";
  const std::string parameters = updaterParameters(context.viewUpdateUrl, context.newVersion);
  const int result = actions.launch ? actions.launch(updater, parameters) : launchProgram(updater, parameters);
  if (result > 32) return true;
  std::printf("return value:%d\n", result);
  return false;
}
