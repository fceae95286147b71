#include "ui/wall/PaneCameras.h"

#include "camera/CCameraLogic.h"
#include "camera/CCameraPlayBack.h"
#include "core/AppContext.h"
#include "link/CMainLogic.h"

bool IPaneCameras::playing(const SxtParamPtr& camera) const {
  const std::shared_ptr<CCameraLogic> view = live(camera);
  return view && view->IsOpen();
}

void IPaneCameras::zoom(const std::shared_ptr<CCameraLogic>& view, int x, int y, std::int16_t delta) const {
  if (view) view->Zoom(x, y, delta);
}

namespace {

class CoordinatorPaneCameras : public IPaneCameras {
 public:
  std::shared_ptr<CCameraLogic> live(const SxtParamPtr& camera) const override {
    const auto logic = AppContext::instance().getMainLogic();
    return logic && camera ? logic->getLive(camera) : nullptr;
  }
  std::shared_ptr<CCameraPlayBack> playback(const SxtParamPtr& camera) const override {
    const auto logic = AppContext::instance().getMainLogic();
    return logic && camera ? logic->getPlayback(camera) : nullptr;
  }
};

}  // namespace

std::shared_ptr<IPaneCameras> coordinatorPaneCameras() { return std::make_shared<CoordinatorPaneCameras>(); }
