#include "ui/trees/DeviceTrees.h"

#include "camera/CCameraPlayBack.h"
#include "core/AppContext.h"
#include "link/CMainLogic.h"

std::shared_ptr<CCameraLogic> CFpRealyTree::PlayingObject(const SxtParamPtr& camera) const {
  auto logic = AppContext::instance().getMainLogic();
  return logic && camera ? logic->getLive(camera) : nullptr;
}

std::shared_ptr<CCameraLogic> CPlayBackRealyTree::PlayingObject(const SxtParamPtr& camera) const {
  auto logic = AppContext::instance().getMainLogic();
  return logic && camera ? logic->getPlayback(camera) : nullptr;
}

namespace ui {

CRealyTree* createDeviceTree(const QString& className, QWidget* parent) {
  if (className == "RealyTree") return new CFpRealyTree(kNodeItemTemplate, kChannelItemTemplate, parent);
  if (className == "PlayBackTree") return new CPlayBackRealyTree(kNodeItemTemplate, kChannelItemTemplate, parent);
  if (className == "StaticTree") return new CStaticTree(kNodeItemTemplate, kChannelItemTemplate, parent);
  return nullptr;
}

}  // namespace ui
