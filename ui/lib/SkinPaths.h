#pragma once
#include <QString>

// Where the skin lives: the folder "Skin" among the program's resources.
// Windows name a skin folder: "Skin" is the skin itself, any other relative
// name a sub-folder of it ("WinSub" for the pane bars), and an absolute path
// is used as it is (tests bring their own layouts that way).
namespace ui {

QString skinRoot();
QString skinFolderPath(const QString& folder);

// Where derived images (cropped, masked, faded) are written once and reused.
QString skinImageCacheDir();

}  // namespace ui
