#pragma once
#include <cstdint>
#include <string>

// What a camera can do, posted to the main window with MSG_CAMERA_PARAMS
// (the message's payload; the window takes ownership). The window stores the
// flags in the camera record and shows or hides the pane's buttons.
struct CameraAbility {
  std::string cameraId;
  bool EnableQP = false;     // the quality level can be changed
  std::int32_t ViedoQP = 0;  // current quality level 1 to 5; 0 when the device sent none in that range
  bool PTZ = false;
  bool Audio = false;        // the camera has sound
  bool Speak = false;        // talk-back
  bool SetTime = false;      // the device clock can be set
};
