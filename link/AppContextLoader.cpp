#include "core/AppContext.h"
#include "link/CMainLogic.h"

// The configuration loader lives with the coordinator it creates.
bool AppContext::loadConfiguration(const std::string& folder) {
  if (!readConfiguration(folder)) return false;
  mainLogic = CMainLogic::create();
  return mainLogic->start();
}
