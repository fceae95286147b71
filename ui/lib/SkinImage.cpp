#include "ui/lib/SkinImage.h"

#include <QCoreApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPointer>

namespace ui {
namespace {

// Draws one of the nine parts: stretched, or tiled at the source's size.
void drawPart(QPainter& p, const QRect& dst, const QPixmap& pixmap, const QRect& src, bool xtiled, bool ytiled) {
  if (dst.isEmpty() || src.isEmpty()) return;
  if (!xtiled && !ytiled) {
    p.drawPixmap(dst, pixmap, src);
    return;
  }
  const int stepX = xtiled ? src.width() : dst.width();
  const int stepY = ytiled ? src.height() : dst.height();
  p.save();
  p.setClipRect(dst, Qt::IntersectClip);
  for (int y = dst.top(); y <= dst.bottom(); y += stepY)
    for (int x = dst.left(); x <= dst.right(); x += stepX)
      p.drawPixmap(QRect(x, y, stepX, stepY), pixmap, src);
  p.restore();
}

}  // namespace

void drawImageAttribute(QPainter& p, const QRect& control, const ImageAttribute& image, const QPixmap& pixmap) {
  if (pixmap.isNull() || control.isEmpty()) return;
  const QRect src = image.source ? image.source->intersected(pixmap.rect()) : pixmap.rect();
  const QRect dst = image.dest ? image.dest->translated(control.topLeft()) : control;
  if (src.isEmpty() || dst.isEmpty()) return;
  p.save();
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.setOpacity(p.opacity() * image.fade / 255.0);
  const QMargins& c = image.corner;
  if (c.isNull()) {
    drawPart(p, dst, pixmap, src, image.xtiled, image.ytiled);
    p.restore();
    return;
  }
  // Column and row edges of the nine parts, in the source and in the control;
  // corners larger than the room they get are cut down to it.
  const int sl = std::min(c.left(), src.width()), sr = std::min(c.right(), src.width() - sl);
  const int st = std::min(c.top(), src.height()), sb = std::min(c.bottom(), src.height() - st);
  const int dl = std::min(c.left(), dst.width()), dr = std::min(c.right(), dst.width() - dl);
  const int dt = std::min(c.top(), dst.height()), db = std::min(c.bottom(), dst.height() - dt);
  const int sx[4] = {src.left(), src.left() + sl, src.left() + src.width() - sr, src.left() + src.width()};
  const int sy[4] = {src.top(), src.top() + st, src.top() + src.height() - sb, src.top() + src.height()};
  const int dx[4] = {dst.left(), dst.left() + dl, dst.left() + dst.width() - dr, dst.left() + dst.width()};
  const int dy[4] = {dst.top(), dst.top() + dt, dst.top() + dst.height() - db, dst.top() + dst.height()};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      const bool middle = row == 1 && col == 1;
      if (middle && image.hole) continue;
      const QRect from(QPoint(sx[col], sy[row]), QPoint(sx[col + 1] - 1, sy[row + 1] - 1));
      const QRect to(QPoint(dx[col], dy[row]), QPoint(dx[col + 1] - 1, dy[row + 1] - 1));
      drawPart(p, to, pixmap, from, image.xtiled && col == 1, image.ytiled && row == 1);
    }
  }
  p.restore();
}

namespace {

// The loaded pictures live as long as the application object (pixmaps must
// go before it does); the skin has few images, so they all stay.
class PixmapStore : public QObject {
 public:
  using QObject::QObject;
  QHash<QString, QPixmap> loaded;
};

QHash<QString, QPixmap>* store() {
  static QPointer<PixmapStore> instance;
  if (!instance) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return nullptr;
    instance = new PixmapStore(app);
  }
  return &instance->loaded;
}

}  // namespace

QPixmap skinPixmap(const QString& path, std::optional<QRgb> mask) {
  QHash<QString, QPixmap>* loadedStore = store();
  if (!loadedStore || path.isEmpty()) return {};
  QHash<QString, QPixmap>& loaded = *loadedStore;
  const QString key = mask ? path + '|' + QString::number(*mask, 16) : path;
  if (const auto it = loaded.constFind(key); it != loaded.constEnd()) return *it;
  QImage picture(path);
  if (picture.isNull()) return {};
  if (mask) {
    picture = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb masked = *mask & 0x00FFFFFFu;
    for (int y = 0; y < picture.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
      for (int x = 0; x < picture.width(); ++x)
        if ((line[x] & 0x00FFFFFFu) == masked) line[x] = 0;
    }
  }
  const QPixmap pixmap = QPixmap::fromImage(picture);
  loaded.insert(key, pixmap);
  return pixmap;
}

}  // namespace ui
