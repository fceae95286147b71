#pragma once
#include <cstdint>
#include <memory>

#include "link/CatalogueParam.h"

class CCameraLogic;
class CCameraPlayBack;

// How the wall, its panes and bars reach the camera views behind them: the
// coordinator's live and playback objects. Tests give their own.
class IPaneCameras {
 public:
  virtual ~IPaneCameras() = default;

  // The camera's live view, or null.
  virtual std::shared_ptr<CCameraLogic> live(const SxtParamPtr& camera) const = 0;
  // The camera's playback view, or null.
  virtual std::shared_ptr<CCameraPlayBack> playback(const SxtParamPtr& camera) const = 0;
  // Whether the camera's live view plays (it exists and is open).
  virtual bool playing(const SxtParamPtr& camera) const;
  // A wheel step over a pane showing `view` (screen coordinates).
  virtual void zoom(const std::shared_ptr<CCameraLogic>& view, int x, int y, std::int16_t delta) const;
};

// The views of AppContext's coordinator (none while there is no coordinator).
std::shared_ptr<IPaneCameras> coordinatorPaneCameras();
