#pragma once
#include <cstdint>

// Window styles given to CWindowWnd::Create. Every window draws its own caption
// from its layout (the top "caption" pixels of the layout drag the window),
// so the styles decide how the window behaves, not which frame it gets.
namespace ui {

enum WindowStyle : std::uint32_t {
  kWsVisible = 1u << 0,      // shown at once by Create
  kWsPopup = 1u << 1,        // a pop-up (dialog) window
  kWsCaption = 1u << 2,      // has a caption (drawn by the layout)
  kWsSysMenu = 1u << 3,
  kWsThickFrame = 1u << 4,   // resizable by its edges ("sizebox" of the layout)
  kWsMinimizeBox = 1u << 5,
  kWsMaximizeBox = 1u << 6,  // a caption double click maximises and restores
  kWsBorder = 1u << 7,
  kWsChild = 1u << 8,        // embedded in the owner window instead of floating
  kWsClipSiblings = 1u << 9,  // accepted for compatibility; Qt clips anyway
  kWsClipChildren = 1u << 10,
  kWsOverlappedWindow = kWsCaption | kWsSysMenu | kWsThickFrame | kWsMinimizeBox | kWsMaximizeBox,
};

enum WindowExStyle : std::uint32_t {
  kWsExWindowEdge = 1u << 0,  // accepted; no visible effect
  kWsExToolWindow = 1u << 1,  // no task-bar entry, stays over its owner
  kWsExTopmost = 1u << 2,
};

// A frame window: visible, overlapped, resizable.
inline constexpr std::uint32_t UI_WNDSTYLE_FRAME = kWsVisible | kWsOverlappedWindow;
// A dialog: visible pop-up with caption and system menu.
inline constexpr std::uint32_t UI_WNDSTYLE_DIALOG =
    kWsVisible | kWsPopup | kWsCaption | kWsSysMenu | kWsClipSiblings | kWsClipChildren;
// A pop-up with caption, shown later (by ShowModal or ShowWindow).
inline constexpr std::uint32_t UI_WNDSTYLE_POPUP_CAPTION = kWsPopup | kWsCaption;

inline constexpr int kUseDefault = -0x7FFFFFFF;  // position or size chosen by the library

// Results of the modal windows.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

}  // namespace ui
