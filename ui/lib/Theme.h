#pragma once
#include <QString>

// The look of the whole client: the skin's style sheet "style.qss" (where
// "${SKIN}" stands for the skin folder, for image urls) and the CJK font.
namespace ui {

inline constexpr char kSkinFontFamily[] = "WenQuanYi Micro Hei";

// Applies the theme to the application; false when the style sheet cannot be
// read (Qt's own look stays, with the skin font).
bool applySkinTheme();

}  // namespace ui
