#include "ui/lib/Theme.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>

#include "ui/lib/SkinPaths.h"

namespace ui {

bool applySkinTheme() {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!app) return false;
  QFont font(kSkinFontFamily);
  font.setPixelSize(13);
  font.setStyleStrategy(QFont::PreferAntialias);
  QApplication::setFont(font);
  QFile sheet(QDir(skinRoot()).filePath("style.qss"));
  if (!sheet.open(QIODevice::ReadOnly)) return false;
  QString style = QString::fromUtf8(sheet.readAll());
  style.replace("${SKIN}", skinRoot());
  app->setStyleSheet(style);
  return true;
}

}  // namespace ui
