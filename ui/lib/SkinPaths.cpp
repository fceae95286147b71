#include "ui/lib/SkinPaths.h"

#include <QDir>
#include <QFileInfo>
#include <unistd.h>

#include "core/AppFolder.h"

namespace ui {

QString skinRoot() { return QDir(QString::fromStdString(resourceFolder())).filePath("Skin"); }

QString skinFolderPath(const QString& folder) {
  if (folder.isEmpty() || folder == "Skin") return skinRoot();
  if (QFileInfo(folder).isAbsolute()) return QDir::cleanPath(folder);
  return QDir(skinRoot()).filePath(folder);
}

QString skinImageCacheDir() {
  return QDir(QDir::tempPath()).filePath(QString("monitor-client-skin-%1").arg(::getuid()));
}

}  // namespace ui
