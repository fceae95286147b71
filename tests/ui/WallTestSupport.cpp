#include "tests/ui/WallTestSupport.h"

#include <QTest>
#include <QWidget>
#include <algorithm>

#include "core/AppContext.h"
#include "ui/wall/MyVideoPanel.h"

namespace mc::test {

bool WallHostWindow::HandleMessage(const mc::WindowMessage& message) {
  if (message.id >= 1024) messages.push_back(message);
  return false;
}

std::vector<std::uint32_t> WallHostWindow::ids() const {
  std::vector<std::uint32_t> out;
  for (const auto& m : messages) out.push_back(m.id);
  return out;
}

std::size_t WallHostWindow::count(std::uint32_t id) const {
  return static_cast<std::size_t>(
      std::count_if(messages.begin(), messages.end(), [id](const mc::WindowMessage& m) { return m.id == id; }));
}

std::shared_ptr<CCameraLogic> FakePaneCameras::live(const SxtParamPtr& camera) const {
  if (!camera || withoutLiveView.count(camera->id)) return nullptr;
  auto& view = views_[camera->id];
  if (!view) view = std::make_shared<CCameraLogic>(camera, nullptr, nullptr);
  return view;
}

void FakePaneCameras::zoom(const std::shared_ptr<CCameraLogic>& view, int x, int y, std::int16_t delta) const {
  zooms.push_back({view ? view->GetCameraRecord()->id : std::string(), x, y, delta});
}

SxtParamPtr makeCamera(const std::string& id, const std::string& name) {
  auto camera = SxtParam::create(id);
  camera->name = name.empty() ? "camera " + id : name;
  camera->online = true;
  return camera;
}

WallFixture::WallFixture(int kind) {
  host.Create(mc::kNoWindow, QStringLiteral("wall"), ui::UI_WNDSTYLE_FRAME, 0, 0, 0, 1200, 900);
  AppContext::instance().mainHwnd = host.GetHWND();
  wall = std::make_unique<CVideoPanelHandle>(kind, &owner, cameras);
  wall->attach(host.GetHWND());
  wall->setPosition(250, 86);
  wall->setSize(900, 600);
  (void)QTest::qWaitForWindowExposed(host.GetWidget());
}

WallFixture::~WallFixture() {
  wall.reset();
  AppContext::instance().mainHwnd = mc::kNoWindow;
}

SxtParamPtr WallFixture::playIn(int slot, const std::string& id) {
  SxtParamPtr camera = makeCamera(id);
  cameras->playingIds.insert(id);
  records.push_back(camera);
  wall->assignCamera(slot, camera);
  return camera;
}

wall::PaneRect WallFixture::rectOf(int slot) const {
  const QRect r = wall->pane(slot)->geometry();
  return wall::PaneRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

}  // namespace mc::test
