#pragma once
#include <string>

#include "link/CatalogueParam.h"

// The playback page, told by a playback object what its relay reports. Both
// operations run on the playback's link callback strand: an implementation
// hands the work to its window (a posted message) and never waits.
class IPlayBackNotify {
 public:
  virtual ~IPlayBackNotify() = default;
  // Once a second: the recording time now shown, "YYYY-MM-DD hh:mm".
  virtual void OnPlayTime(const SxtParamPtr& camera, const std::string& text) = 0;
  // The pause state or the speed changed.
  virtual void OnPlayStateChanged() = 0;
};
