#pragma once
#include <cstdint>

// Window messages posted between the background parts and the windows
// (WM_USER + n, WM_USER being 1024). A heap payload travels in
// WindowMessage::payload and belongs to the receiver.
namespace mc::msg {

inline constexpr std::uint32_t kUser = 1024;

inline constexpr std::uint32_t MSG_WELCOME_PROGRESS = kUser + 1;    // wParam percent
inline constexpr std::uint32_t MSG_WELCOME_FAILED = kUser + 2;
inline constexpr std::uint32_t MSG_WELCOME_DONE = kUser + 3;
inline constexpr std::uint32_t MSG_PLAYBACK_REFRESH = kUser + 101;  // wParam pane index
inline constexpr std::uint32_t MSG_MENU_COMMAND = kUser + 121;      // payload: item name
inline constexpr std::uint32_t MSG_CLOSE_WAIT = kUser + 201;
inline constexpr std::uint32_t MSG_NODE_ACTIVE = kUser + 202;       // payload: node id, state
inline constexpr std::uint32_t MSG_CAMERA_ACTIVE = kUser + 203;     // payload: camera id, state
inline constexpr std::uint32_t MSG_CATALOGUE_CHANGED = kUser + 205;
inline constexpr std::uint32_t MSG_CAMERA_PARAMS = kUser + 208;     // payload: CameraAbility
inline constexpr std::uint32_t MSG_TREES_REBUILD = kUser + 209;
inline constexpr std::uint32_t MSG_PANE_COMMAND = kUser + 210;      // payload: PaneCommand
inline constexpr std::uint32_t MSG_OPEN_PLAYBACK = kUser + 211;     // payload: camera id
inline constexpr std::uint32_t MSG_DEVICE_FOUND = kUser + 215;      // payload: LanDevice
inline constexpr std::uint32_t MSG_PANE_LOADING = kUser + 216;
inline constexpr std::uint32_t MSG_PANE_LOADED = kUser + 217;
inline constexpr std::uint32_t MSG_STATS_START = kUser + 218;
inline constexpr std::uint32_t MSG_STATS_STOP = kUser + 219;
inline constexpr std::uint32_t MSG_HK_DEVICES_FOUND = kUser + 220;

static_assert(MSG_MENU_COMMAND == 1145 && MSG_CLOSE_WAIT == 1225 && MSG_CAMERA_PARAMS == 1232 &&
              MSG_HK_DEVICES_FOUND == 1244);

}  // namespace mc::msg
