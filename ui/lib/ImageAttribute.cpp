#include "ui/lib/ImageAttribute.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <array>

namespace ui {
namespace {

// "l,t,r,b": at most four integers, fewer padded with 0.
std::optional<std::array<int, 4>> parseFour(const QString& value) {
  const QStringList parts = value.split(',', Qt::KeepEmptyParts);
  if (parts.size() > 4) return std::nullopt;
  std::array<int, 4> n{0, 0, 0, 0};
  for (int i = 0; i < parts.size(); ++i) {
    bool ok = false;
    n[i] = parts[i].trimmed().toInt(&ok);
    if (!ok) return std::nullopt;
  }
  return n;
}

std::optional<bool> parseBool(const QString& value) {
  if (value.compare("true", Qt::CaseInsensitive) == 0) return true;
  if (value.compare("false", Qt::CaseInsensitive) == 0) return false;
  return std::nullopt;
}

std::optional<QRgb> parseColour(QString value) {
  value = value.trimmed();
  if (value.startsWith('#')) value.remove(0, 1);
  else if (value.startsWith("0x", Qt::CaseInsensitive)) value.remove(0, 2);
  if (value.isEmpty() || value.size() > 8) return std::nullopt;
  bool ok = false;
  const uint argb = value.toUInt(&ok, 16);
  if (!ok) return std::nullopt;
  // Six digits carry no alpha: opaque.
  return value.size() <= 6 ? (argb | 0xFF000000u) : argb;
}

bool applyKey(ImageAttribute& image, const QString& key, const QString& value) {
  if (key == "file") {
    image.file = value;
  } else if (key == "source" || key == "dest") {
    const auto n = parseFour(value);
    if (!n) return false;
    // Right and bottom are exclusive, as in the skin's rectangles.
    (key == "source" ? image.source : image.dest) = QRect(QPoint((*n)[0], (*n)[1]), QPoint((*n)[2] - 1, (*n)[3] - 1));
  } else if (key == "corner") {
    const auto n = parseFour(value);
    if (!n || std::any_of(n->begin(), n->end(), [](int v) { return v < 0; })) return false;
    image.corner = QMargins((*n)[0], (*n)[1], (*n)[2], (*n)[3]);
  } else if (key == "mask") {
    image.mask = parseColour(value);
    if (!image.mask) return false;
  } else if (key == "fade") {
    bool ok = false;
    const int fade = value.trimmed().toInt(&ok);
    if (!ok) return false;
    image.fade = std::clamp(fade, 0, 255);
  } else if (key == "hole" || key == "xtiled" || key == "ytiled") {
    const auto flag = parseBool(value);
    if (!flag) return false;
    (key == "hole" ? image.hole : key == "xtiled" ? image.xtiled : image.ytiled) = *flag;
  }
  return true;  // unknown keys (res, restype, hsl …) are ignored
}

QString quotedUrl(const QString& path) {
  QString escaped = path;
  escaped.replace('\\', "\\\\").replace('"', "\\\"");
  return "url(\"" + escaped + "\")";
}

}  // namespace

std::optional<ImageAttribute> parseImageAttribute(const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return std::nullopt;
  ImageAttribute image;
  if (!trimmed.contains('=')) {
    image.file = trimmed;
  } else {
    int i = 0;
    const int n = static_cast<int>(trimmed.size());
    while (i < n) {
      while (i < n && trimmed[i].isSpace()) ++i;
      if (i >= n) break;
      const int keyStart = i;
      while (i < n && trimmed[i] != '=' && !trimmed[i].isSpace()) ++i;
      const QString key = trimmed.mid(keyStart, i - keyStart).toLower();
      while (i < n && trimmed[i].isSpace()) ++i;
      if (key.isEmpty() || i >= n || trimmed[i] != '=') return std::nullopt;
      ++i;
      while (i < n && trimmed[i].isSpace()) ++i;
      if (i >= n) return std::nullopt;
      const QChar quote = trimmed[i];
      if (quote != '\'' && quote != '"') return std::nullopt;
      const int valueStart = ++i;
      while (i < n && trimmed[i] != quote) ++i;
      if (i >= n) return std::nullopt;  // unterminated value
      if (!applyKey(image, key, trimmed.mid(valueStart, i - valueStart))) return std::nullopt;
      ++i;
    }
  }
  image.file.replace('\\', '/');
  while (image.file.contains("//")) image.file.replace("//", "/");
  if (image.file.trimmed().isEmpty()) return std::nullopt;
  return image;
}

QString resolveImageFile(const QString& file, const QString& skinDir, const QString& fallbackDir) {
  if (QFileInfo(file).isAbsolute()) return QFileInfo::exists(file) ? file : QString();
  for (const QString& dir : {skinDir, fallbackDir}) {
    if (dir.isEmpty()) continue;
    const QString path = QDir(dir).filePath(file);
    if (QFileInfo::exists(path)) return path;
  }
  return {};
}

QString imageStyleDeclarations(const ImageAttribute& image, const QString& imagePath) {
  if (imagePath.isEmpty()) return "border-image: none;";
  if (image.dest) {
    // A placed image keeps its own size at the destination's top-left corner.
    return QString("border-image: none; image: %1; image-position: top left; padding-left: %2px; "
                   "padding-top: %3px;")
        .arg(quotedUrl(imagePath))
        .arg(image.dest->left())
        .arg(image.dest->top());
  }
  const QMargins& c = image.corner;
  const QString fill = QString("%1 %2").arg(image.xtiled ? "repeat" : "stretch",
                                            image.ytiled ? "repeat" : "stretch");
  // Style sheets list slices top, right, bottom, left; corners come as l,t,r,b.
  return QString("border-image: %1 %2 %3 %4 %5 %6; border-width: %2px %3px %4px %5px;")
      .arg(quotedUrl(imagePath))
      .arg(c.top())
      .arg(c.right())
      .arg(c.bottom())
      .arg(c.left())
      .arg(fill);
}

QString derivedImageFile(const ImageAttribute& image, const QString& imagePath, const QString& cacheDir) {
  const bool crop = image.source.has_value();
  const bool hole = image.hole && !image.corner.isNull();
  if (!crop && !image.mask && image.fade >= 255 && !hole) return imagePath;

  const QFileInfo info(imagePath);
  if (!info.exists()) return {};
  QByteArray key = imagePath.toUtf8();
  key += QByteArray::number(info.lastModified().toMSecsSinceEpoch());
  if (crop) key += QString("|s%1,%2,%3,%4").arg(image.source->left()).arg(image.source->top())
                       .arg(image.source->right()).arg(image.source->bottom()).toUtf8();
  if (image.mask) key += "|m" + QByteArray::number(*image.mask, 16);
  key += "|f" + QByteArray::number(image.fade);
  if (hole) key += QString("|h%1,%2,%3,%4").arg(image.corner.left()).arg(image.corner.top())
                       .arg(image.corner.right()).arg(image.corner.bottom()).toUtf8();
  const QString name = QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex() + ".png";
  const QString target = QDir(cacheDir).filePath(name);
  if (QFileInfo::exists(target)) return target;

  QImage picture(imagePath);
  if (picture.isNull()) return {};
  picture = picture.convertToFormat(QImage::Format_ARGB32);
  if (crop) {
    const QRect part = image.source->intersected(picture.rect());
    if (part.isEmpty()) return {};
    picture = picture.copy(part);
  }
  if (image.mask) {
    const QRgb masked = *image.mask & 0x00FFFFFFu;
    for (int y = 0; y < picture.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
      for (int x = 0; x < picture.width(); ++x)
        if ((line[x] & 0x00FFFFFFu) == masked) line[x] = 0;
    }
  }
  if (image.fade < 255 || hole) {
    QImage result(picture.size(), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setOpacity(image.fade / 255.0);
    painter.drawImage(0, 0, picture);
    if (hole) {
      painter.setOpacity(1.0);
      painter.setCompositionMode(QPainter::CompositionMode_Clear);
      painter.fillRect(picture.rect().marginsRemoved(image.corner), Qt::transparent);
    }
    painter.end();
    picture = result;
  }
  // Written whole under a temporary name and renamed, so another process of
  // the client never reads a half-written file.
  if (!QDir().mkpath(cacheDir)) return {};
  QSaveFile file(target);
  if (!file.open(QIODevice::WriteOnly) || !picture.save(&file, "PNG") || !file.commit()) return {};
  return target;
}

}  // namespace ui
