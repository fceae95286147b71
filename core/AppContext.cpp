#include "core/AppContext.h"

#include "common/FileSystem.h"
#include "common/Split.h"

AppContext& AppContext::instance() {
  static AppContext context;
  return context;
}

void AppContext::addReceivedBytes(std::int32_t count) {
  std::lock_guard lock(receivedBytesLock);
  // Wraps like the 32-bit counter it is rather than overflowing.
  receivedBytes = static_cast<std::int32_t>(static_cast<std::uint32_t>(receivedBytes) +
                                            static_cast<std::uint32_t>(count));
}

std::int32_t AppContext::takeReceivedBytes() {
  std::lock_guard lock(receivedBytesLock);
  const std::int32_t count = receivedBytes;
  receivedBytes = 0;
  return count;
}

bool AppContext::readConfiguration(const std::string& folder) {
  appFolder = folder;
  if (!configIni.load(folder + "/Config.ini")) return false;
  if (!lockSetIni.load(folder + "/LockSetConfig.ini")) return false;

  const std::string ipText = configIni.get("Server", "IP");
  const std::string portText = configIni.get("Server", "PORT");
  rtspServerIp = configIni.get("RtspServer", "IP");
  rtspServerPort = configIni.get("RtspServer", "PORT");

  const auto ips = mc::splitText(ipText, ';', true);
  const auto ports = mc::splitText(portText, ';', true);
  if (ips.size() == ports.size()) {
    servers.clear();
    for (std::size_t i = 0; i < ips.size(); ++i) servers.push_back({ips[i], ports[i]});
  }

  clientVersion = lockSetIni.get("Client", "Version");
  ignoreVersion = lockSetIni.get("Client", "IgnoreVersion");
  capturePath = lockSetIni.get("Client", "Path");
  savePath = lockSetIni.get("Client", "SavePath");
  alarmPath = lockSetIni.get("Client", "AlarmPath");
  qrCodePath = lockSetIni.get("Client", "ErWeiMaFile");

  struct FolderKey {
    const char* key;
    const char* defaultName;
    std::string* value;
  };
  const FolderKey folders[] = {
      {"ErWeiMaFile", "ErWeiMa", &qrCodePath},
      {"Path", "Capture", &capturePath},
      {"SavePath", "Save", &savePath},
      {"AlarmPath", "Alarm", &alarmPath},
  };
  for (const auto& entry : folders) {
    if (entry.value->empty()) {
      *entry.value = folder + "/" + entry.defaultName;
      lockSetIni.set("Client", entry.key, *entry.value);
    }
  }
  for (const auto& entry : folders) {
    if (!mc::pathExists(*entry.value)) mc::createFolderTree(*entry.value);
  }
  return true;
}
