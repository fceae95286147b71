#pragma once
#include <cstdint>
#include <string>

// A pane bar's request to the main window, posted with MSG_PANE_COMMAND as
// the message's payload (a std::shared_ptr<PaneCommand>). The main window acts
// on the camera of the selected live pane.
struct PaneCommand {
  enum Kind : std::int32_t {
    kStop = 0,      // top bar "stopBtn": close the camera
    kSnapshot = 1,  // "picBtn"
    kSound = 3,     // "soundBtn": sound on or off
    kPtz = 4,       // "yuntaiBtn": the PTZ window
    kQuality = 5,   // a row of "videoQP"; value = the row (the level is value + 1)
    kTalk = 6,      // "speakBtn": the talk window
  };

  std::string cameraId;
  std::int32_t kind = kStop;
  std::int32_t value = 0;
};
