#pragma once
#include <cstdint>
#include <string>

#include "sim/TestPicture.h"

namespace sim {

// The state a simulated camera keeps whatever happens to the relay links:
// its pan-tilt-zoom position, clock, cruise and who talks to it.
struct CameraDevice {
  PtzView ptz;
  std::string clock;   // last "Time" set, "%Y-%m-%d %H:%M:%S"
  std::string cruise;  // id of the running cruise, empty when none
  int ptzCommands = 0;
  int refusedCommands = 0;
  std::uint64_t talkHolder = 0;  // relay link id holding the talk, 0 when free
  int talkIndex = 0;
  std::uint64_t talkFrames = 0;
  std::uint64_t talkBytes = 0;
  std::uint32_t talkFormat = 0;
  std::uint64_t talkRejected = 0;
};

// Moves the camera for one PTZ code ("1" up ... "10" iris close); false for
// an unknown code. Up and down tilt, left and right pan, 5/6 zoom in/out,
// 7/8 focus far/near, 9/10 iris open/close.
bool applyPtzCode(int code, PtzView& ptz);

// The playback speeds, slowest first; faster and slower step along them.
inline constexpr double kSpeeds[] = {0.0625, 0.125, 0.25, 0.5, 1, 2, 4, 8, 16};
inline constexpr int kNormalSpeed = 4;  // index of 1

}  // namespace sim
