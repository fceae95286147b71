#include "sim/CameraDevice.h"

#include <algorithm>

namespace sim {

bool applyPtzCode(int code, PtzView& ptz) {
  switch (code) {
    case 1: ptz.tilt = (ptz.tilt + 15) % 16; break;
    case 2: ptz.tilt = (ptz.tilt + 1) % 16; break;
    case 3: ptz.pan = (ptz.pan + 15) % 16; break;
    case 4: ptz.pan = (ptz.pan + 1) % 16; break;
    case 5: ptz.zoom = std::min(10, ptz.zoom + 1); break;
    case 6: ptz.zoom = std::max(0, ptz.zoom - 1); break;
    case 7: ptz.focus = std::min(4, ptz.focus + 1); break;
    case 8: ptz.focus = std::max(-4, ptz.focus - 1); break;
    case 9: ptz.iris = std::min(4, ptz.iris + 1); break;
    case 10: ptz.iris = std::max(-4, ptz.iris - 1); break;
    default: return false;
  }
  return true;
}

}  // namespace sim
