#pragma once
#include <QPixmap>
#include <QRect>
#include <QString>
#include <optional>

#include "ui/lib/ImageAttribute.h"

class QPainter;

namespace ui {

// Draws `image` into the control rectangle `control` as the skin means it:
// the source part of `pixmap`, placed at the destination (relative to the
// control) or over the whole control, corners kept unstretched, the middle
// stretched or tiled (or left out for a hole), faded by `fade`.
void drawImageAttribute(QPainter& painter, const QRect& control, const ImageAttribute& image,
                        const QPixmap& pixmap);

// The picture of a skin file with the mask colour cleared; read once per
// process and kept. Null when the file cannot be read.
QPixmap skinPixmap(const QString& path, std::optional<QRgb> mask = std::nullopt);

}  // namespace ui
