#pragma once
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "camera/CCameraLogic.h"
#include "link/CatalogueParam.h"
#include "ui/lib/WindowWnd.h"
#include "ui/wall/CVideoPanelHandle.h"
#include "ui/wall/PaneCameras.h"

namespace mc::test {

// A main window for the wall: no layout, records the messages it gets.
class WallHostWindow : public CWindowWnd {
 public:
  QString GetWindowClassName() const override { return QStringLiteral("WallHost"); }
  std::vector<mc::WindowMessage> messages;
  // The ids of the messages received so far, in order.
  std::vector<std::uint32_t> ids() const;
  std::size_t count(std::uint32_t id) const;

 protected:
  bool HandleMessage(const mc::WindowMessage& message) override;
};

// Camera views for the wall without a coordinator: live views made on demand
// (never opened) and a set of cameras that count as playing.
class FakePaneCameras : public IPaneCameras {
 public:
  std::shared_ptr<CCameraLogic> live(const SxtParamPtr& camera) const override;
  std::shared_ptr<CCameraPlayBack> playback(const SxtParamPtr&) const override { return nullptr; }
  bool playing(const SxtParamPtr& camera) const override { return camera && playingIds.count(camera->id); }
  void zoom(const std::shared_ptr<CCameraLogic>& view, int x, int y, std::int16_t delta) const override;

  // Forgets the camera's live view (and with it the view's hold on the record).
  void dropView(const std::string& id) { views_.erase(id); }

  std::set<std::string> playingIds;
  std::set<std::string> withoutLiveView;  // cameras that have no live view
  struct Zoom {
    std::string cameraId;
    int x, y, delta;
  };
  mutable std::vector<Zoom> zooms;

 private:
  mutable std::map<std::string, std::shared_ptr<CCameraLogic>> views_;
};

// A camera record with a name.
SxtParamPtr makeCamera(const std::string& id, const std::string& name = {});

class WallOwner : public VideoHandleNotify {
 public:
  void OnPaneSelected(int index) override { selections.push_back(index); }
  std::vector<int> selections;
};

// A 1200 x 900 main window with an attached wall in the area of the main
// window's live page; AppContext.mainHwnd points at the window.
struct WallFixture {
  explicit WallFixture(int kind = CVideoPanelHandle::kLive);
  ~WallFixture();

  WallHostWindow host;
  std::shared_ptr<FakePaneCameras> cameras = std::make_shared<FakePaneCameras>();
  WallOwner owner;
  std::unique_ptr<CVideoPanelHandle> wall;
  std::vector<SxtParamPtr> records;  // the panes hold theirs weakly

  // Puts a camera into slot `slot` that plays.
  SxtParamPtr playIn(int slot, const std::string& id);
  // The rectangle of the pane in slot `slot`.
  wall::PaneRect rectOf(int slot) const;
};

}  // namespace mc::test
