// Draws the images of the skin into a folder, and the panes' waiting
// animation "checking.gif" beside it: mc_skin_images <skin folder> <resource folder>.
// Every image is plain vector drawing in the skin's dark palette, so the skin
// needs no binary files in the repository.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "GifWriter.h"

namespace {

namespace palette {
const QColor window(0x1E, 0x22, 0x28);
const QColor panel(0x23, 0x28, 0x30);
const QColor title(0x15, 0x18, 0x1D);
const QColor border(0x3A, 0x41, 0x4C);
const QColor button(0x34, 0x3B, 0x45);
const QColor buttonHot(0x3E, 0x46, 0x52);
const QColor buttonPushed(0x2A, 0x30, 0x38);
const QColor buttonBorder(0x4A, 0x53, 0x60);
const QColor disabled(0x2A, 0x2E, 0x34);
const QColor accent(0x2D, 0x7F, 0xD3);
const QColor accentHot(0x3B, 0x8F, 0xE6);
const QColor accentPushed(0x24, 0x69, 0xB0);
const QColor text(0xD8, 0xDE, 0xE6);
const QColor dim(0x8A, 0x94, 0xA3);
const QColor danger(0xD9, 0x53, 0x4F);
const QColor ok(0x3C, 0xB3, 0x71);
const QColor warn(0xE8, 0xA3, 0x3D);
}  // namespace palette

using Draw = std::function<void(QPainter&, const QRectF&)>;

struct Image {
  QString name;
  QSize size;
  Draw draw;
};

QRectF inner(const QRectF& r, qreal d) { return r.adjusted(d, d, -d, -d); }

Draw roundedBox(QColor fill, QColor edge, qreal radius) {
  return [=](QPainter& p, const QRectF& r) {
    p.setPen(QPen(edge, 1));
    p.setBrush(fill);
    p.drawRoundedRect(inner(r, 0.5), radius, radius);
  };
}

// A dialog background: caption band on top, body below, thin border.
Draw dialogBackground(int captionHeight) {
  return [=](QPainter& p, const QRectF& r) {
    p.fillRect(r, palette::panel);
    p.fillRect(QRectF(r.left(), r.top(), r.width(), captionHeight), palette::title);
    p.setPen(QPen(palette::border, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(inner(r, 0.5));
  };
}

Draw glyphButton(QColor background, QColor stroke, std::function<void(QPainter&, const QRectF&)> glyph) {
  return [=](QPainter& p, const QRectF& r) {
    if (background.alpha()) {
      p.setPen(Qt::NoPen);
      p.setBrush(background);
      p.drawRoundedRect(inner(r, 1), 3, 3);
    }
    p.setPen(QPen(stroke, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    glyph(p, inner(r, r.width() * 0.34));
  };
}

void crossGlyph(QPainter& p, const QRectF& g) {
  p.drawLine(g.topLeft(), g.bottomRight());
  p.drawLine(g.topRight(), g.bottomLeft());
}
void minGlyph(QPainter& p, const QRectF& g) { p.drawLine(QPointF(g.left(), g.center().y()), QPointF(g.right(), g.center().y())); }
void maxGlyph(QPainter& p, const QRectF& g) { p.drawRect(g); }
void restoreGlyph(QPainter& p, const QRectF& g) {
  const qreal d = g.width() * 0.3;
  p.drawRect(g.adjusted(0, d, -d, 0));
  p.drawPolyline(QPolygonF({QPointF(g.left() + d, g.top() + d), QPointF(g.left() + d, g.top()),
                            QPointF(g.right(), g.top()), QPointF(g.right(), g.bottom() - d),
                            QPointF(g.right() - d, g.bottom() - d)}));
}

// A round badge with a symbol drawn in the skin font.
Draw badge(QColor colour, QString symbol) {
  return [=](QPainter& p, const QRectF& r) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(inner(r, 1));
    QFont font("WenQuanYi Micro Hei");
    font.setPixelSize(static_cast<int>(r.height() * 0.62));
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, symbol);
  };
}

Draw checkMark() {
  return [](QPainter& p, const QRectF& r) {
    p.setPen(Qt::NoPen);
    p.setBrush(palette::ok);
    p.drawEllipse(inner(r, 1));
    p.setPen(QPen(Qt::white, r.width() * 0.09, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal w = r.width();
    p.drawPolyline(QPolygonF({QPointF(w * 0.28, w * 0.52), QPointF(w * 0.44, w * 0.67), QPointF(w * 0.73, w * 0.36)}));
  };
}

Draw checkBox(bool selected, bool hot) {
  return [=](QPainter& p, const QRectF& r) {
    p.setPen(QPen(hot || selected ? palette::accent : palette::buttonBorder, 1));
    p.setBrush(selected ? palette::accent : QColor(0x1A, 0x1E, 0x24));
    p.drawRoundedRect(inner(r, 0.5), 2.5, 2.5);
    if (!selected) return;
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal w = r.width();
    p.drawPolyline(QPolygonF({QPointF(w * 0.24, w * 0.52), QPointF(w * 0.42, w * 0.70), QPointF(w * 0.76, w * 0.32)}));
  };
}

// The program's icon: a camera lens on the accent colour.
Draw appIcon() {
  return [](QPainter& p, const QRectF& r) {
    p.setPen(Qt::NoPen);
    p.setBrush(palette::accent);
    p.drawRoundedRect(inner(r, 2), r.width() * 0.2, r.width() * 0.2);
    const QPointF c = r.center();
    p.setBrush(palette::title);
    p.drawEllipse(c, r.width() * 0.30, r.width() * 0.30);
    p.setBrush(QColor(0x4F, 0xA3, 0xF7));
    p.drawEllipse(c, r.width() * 0.17, r.width() * 0.17);
    p.setBrush(Qt::white);
    p.drawEllipse(c + QPointF(-r.width() * 0.06, -r.width() * 0.06), r.width() * 0.05, r.width() * 0.05);
  };
}

// ---- device-tree icons (18×18): a glyph per kind of node, bright when on-line ----

using Glyph = std::function<void(QPainter&, const QRectF&)>;

Draw icon(Glyph glyph, QColor colour) {
  return [=](QPainter& p, const QRectF& r) {
    p.setPen(QPen(colour, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    glyph(p, inner(r, 1.5));
  };
}

void cameraGlyph(QPainter& p, const QRectF& g) {  // a bullet camera on a stand
  const qreal w = g.width(), h = g.height();
  QPainterPath body;
  body.addRoundedRect(QRectF(g.left(), g.top() + h * 0.18, w * 0.72, h * 0.40), 2, 2);
  p.drawPath(body);
  p.drawPolygon(QPolygonF({QPointF(g.left() + w * 0.72, g.top() + h * 0.28), QPointF(g.right(), g.top() + h * 0.16),
                           QPointF(g.right(), g.top() + h * 0.60), QPointF(g.left() + w * 0.72, g.top() + h * 0.48)}));
  p.drawLine(QPointF(g.left() + w * 0.30, g.top() + h * 0.58), QPointF(g.left() + w * 0.30, g.bottom()));
  p.drawLine(QPointF(g.left() + w * 0.12, g.bottom()), QPointF(g.left() + w * 0.50, g.bottom()));
}

void domeGlyph(QPainter& p, const QRectF& g) {  // a dome network camera
  const qreal w = g.width(), h = g.height();
  p.drawLine(QPointF(g.left(), g.top() + h * 0.25), QPointF(g.right(), g.top() + h * 0.25));
  p.drawArc(QRectF(g.left() + w * 0.1, g.top() - h * 0.15, w * 0.8, h * 0.95), 180 * 16, 180 * 16);
  p.drawEllipse(QPointF(g.center().x(), g.top() + h * 0.55), w * 0.14, w * 0.14);
}

void recorderGlyph(QPainter& p, const QRectF& g) {  // a recorder box with drive lights
  const qreal w = g.width(), h = g.height();
  p.drawRoundedRect(QRectF(g.left(), g.top() + h * 0.25, w, h * 0.5), 2, 2);
  for (int i = 0; i < 3; ++i) p.drawPoint(QPointF(g.left() + w * (0.2 + 0.15 * i), g.center().y()));
  p.drawLine(QPointF(g.left() + w * 0.62, g.center().y()), QPointF(g.right() - w * 0.12, g.center().y()));
}

void cardGlyph(QPainter& p, const QRectF& g) {  // a capture card: a chip with pins
  const QRectF chip = inner(g, g.width() * 0.22);
  p.drawRect(chip);
  for (int i = 0; i < 3; ++i) {
    const qreal t = chip.left() + chip.width() * (0.2 + 0.3 * i);
    p.drawLine(QPointF(t, g.top()), QPointF(t, chip.top()));
    p.drawLine(QPointF(t, chip.bottom()), QPointF(t, g.bottom()));
  }
}

void virtualGlyph(QPainter& p, const QRectF& g) {  // a group of devices: a folder
  const qreal w = g.width(), h = g.height();
  p.drawPolygon(QPolygonF({QPointF(g.left(), g.top() + h * 0.2), QPointF(g.left() + w * 0.4, g.top() + h * 0.2),
                           QPointF(g.left() + w * 0.5, g.top() + h * 0.32), QPointF(g.right(), g.top() + h * 0.32),
                           QPointF(g.right(), g.bottom() - h * 0.1), QPointF(g.left(), g.bottom() - h * 0.1)}));
}

void phoneGlyph(QPainter& p, const QRectF& g) {  // a mobile device
  const qreal w = g.width();
  const QRectF body(g.center().x() - w * 0.28, g.top(), w * 0.56, g.height());
  p.drawRoundedRect(body, 2, 2);
  p.drawPoint(QPointF(g.center().x(), g.bottom() - 2));
}

void ipcIntegratedGlyph(QPainter& p, const QRectF& g) {  // a camera with its own recorder
  cameraGlyph(p, QRectF(g.left(), g.top(), g.width(), g.height() * 0.7));
  p.drawRect(QRectF(g.left() + g.width() * 0.55, g.bottom() - g.height() * 0.28, g.width() * 0.45, g.height() * 0.28));
}

void recorderNodeGlyph(QPainter& p, const QRectF& g) {  // a recorder registered as a node
  recorderGlyph(p, g);
  p.drawLine(QPointF(g.left() + g.width() * 0.2, g.bottom()), QPointF(g.right() - g.width() * 0.2, g.bottom()));
}

// The camera rows: on-line, off-line, playing, expired.
Draw cameraRow(QColor colour, bool playing) {
  return [=](QPainter& p, const QRectF& r) {
    icon(cameraGlyph, colour)(p, r);
    if (!playing) return;
    p.setPen(Qt::NoPen);
    p.setBrush(palette::ok);
    const qreal s = r.width() * 0.42;
    p.drawPolygon(QPolygonF({QPointF(r.right() - s, r.bottom() - s), QPointF(r.right(), r.bottom() - s / 2),
                             QPointF(r.right() - s, r.bottom())}));
  };
}

Draw expiredBadge() {
  return [](QPainter& p, const QRectF& r) {
    p.setPen(Qt::NoPen);
    p.setBrush(palette::danger);
    p.drawEllipse(inner(r, 1));
    p.setPen(QPen(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap));
    const QPointF c = r.center();
    p.drawLine(c, c + QPointF(0, -r.height() * 0.28));
    p.drawLine(c, c + QPointF(r.width() * 0.22, 0));
  };
}

// ---- device-tree row controls: expand arrows, playback and add buttons, hover mark ----

Draw treeArrow(bool expanded) {
  return [=](QPainter& p, const QRectF& r) {
    p.setPen(Qt::NoPen);
    p.setBrush(palette::dim);
    const QRectF g = inner(r, r.width() * 0.15);
    if (expanded)
      p.drawPolygon(QPolygonF({g.topLeft() + QPointF(0, g.height() * 0.2), g.topRight() + QPointF(0, g.height() * 0.2),
                               QPointF(g.center().x(), g.bottom() - g.height() * 0.1)}));
    else
      p.drawPolygon(QPolygonF({g.topLeft() + QPointF(g.width() * 0.2, 0), g.bottomLeft() + QPointF(g.width() * 0.2, 0),
                               QPointF(g.right() - g.width() * 0.1, g.center().y())}));
  };
}

void playbackGlyph(QPainter& p, const QRectF& g) {  // a clock face with a turning-back arrow
  p.drawArc(g, 100 * 16, 300 * 16);
  const QPointF c = g.center();
  p.drawLine(c, c + QPointF(0, -g.height() * 0.28));
  p.drawLine(c, c + QPointF(g.width() * 0.22, 0));
  const QPointF tip(g.center().x() - g.width() * 0.1, g.top());
  p.drawLine(tip, tip + QPointF(-g.width() * 0.2, -g.height() * 0.02));
  p.drawLine(tip, tip + QPointF(-g.width() * 0.08, g.height() * 0.18));
}

void addGlyph(QPainter& p, const QRectF& g) {
  const QPointF c = g.center();
  const qreal d = g.width() * 0.4;
  p.drawLine(c - QPointF(d, 0), c + QPointF(d, 0));
  p.drawLine(c - QPointF(0, d), c + QPointF(0, d));
}

void enableGlyph(QPainter& p, const QRectF& g) {  // "double click plays": a play mark
  p.save();
  p.setBrush(p.pen().color());
  const QRectF t = inner(g, g.width() * 0.18);
  p.drawPolygon(QPolygonF({t.topLeft(), QPointF(t.right(), t.center().y()), t.bottomLeft()}));
  p.restore();
}

std::vector<Image> treeImages() {
  const QColor idle(0xAA, 0xB3, 0xBF);
  const QColor hot(0x8C, 0xC4, 0xFF);
  return {
      {"tree/arrow-expanded.png", {10, 10}, treeArrow(true)},
      {"tree/arrow-collapsed.png", {10, 10}, treeArrow(false)},
      {"tree/playback.png", {18, 18}, icon(playbackGlyph, idle)},
      {"tree/playback-hot.png", {18, 18}, icon(playbackGlyph, hot)},
      {"tree/add.png", {18, 18}, icon(addGlyph, idle)},
      {"tree/add-hot.png", {18, 18}, icon(addGlyph, hot)},
      {"tree/enable.png", {18, 18}, icon(enableGlyph, palette::ok)},
  };
}

// ---- pane tool bar glyphs (22×22): "…1.png" is the lit variant ----

Draw barButton(Glyph glyph, bool lit) {
  return [=](QPainter& p, const QRectF& r) {
    if (lit) {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x2D, 0x7F, 0xD3, 0x60));
      p.drawRoundedRect(inner(r, 1), 3, 3);
    }
    icon(glyph, lit ? QColor(0x8C, 0xC4, 0xFF) : palette::text)(p, inner(r, 2.5));
  };
}

void zoomGlyph(QPainter& p, const QRectF& g) {
  const qreal d = g.width() * 0.62;
  p.drawEllipse(QRectF(g.left(), g.top(), d, d));
  p.drawLine(QPointF(g.left() + d * 0.85, g.top() + d * 0.85), g.bottomRight());
  p.drawLine(QPointF(g.left() + d * 0.3, g.top() + d / 2), QPointF(g.left() + d * 0.7, g.top() + d / 2));
  p.drawLine(QPointF(g.left() + d / 2, g.top() + d * 0.3), QPointF(g.left() + d / 2, g.top() + d * 0.7));
}

void recordGlyph(QPainter& p, const QRectF& g) {
  p.drawEllipse(inner(g, 0.5));
  p.save();
  p.setBrush(palette::danger);
  p.setPen(Qt::NoPen);
  p.drawEllipse(g.center(), g.width() * 0.24, g.width() * 0.24);
  p.restore();
}

void speakGlyph(QPainter& p, const QRectF& g) {  // a microphone
  const qreal w = g.width(), h = g.height();
  p.drawRoundedRect(QRectF(g.center().x() - w * 0.17, g.top(), w * 0.34, h * 0.58), w * 0.17, w * 0.17);
  p.drawArc(QRectF(g.left() + w * 0.18, g.top() + h * 0.2, w * 0.64, h * 0.55), 180 * 16, 180 * 16);
  p.drawLine(QPointF(g.center().x(), g.top() + h * 0.75), QPointF(g.center().x(), g.bottom()));
}

void speakerGlyph(QPainter& p, const QRectF& g, bool on) {
  const qreal w = g.width(), h = g.height();
  p.drawPolygon(QPolygonF({QPointF(g.left(), g.top() + h * 0.35), QPointF(g.left() + w * 0.25, g.top() + h * 0.35),
                           QPointF(g.left() + w * 0.5, g.top() + h * 0.1), QPointF(g.left() + w * 0.5, g.bottom() - h * 0.1),
                           QPointF(g.left() + w * 0.25, g.top() + h * 0.65), QPointF(g.left(), g.top() + h * 0.65)}));
  if (on) {
    p.drawArc(QRectF(g.left() + w * 0.35, g.top() + h * 0.25, w * 0.4, h * 0.5), -60 * 16, 120 * 16);
    p.drawArc(QRectF(g.left() + w * 0.3, g.top() + h * 0.05, w * 0.7, h * 0.9), -60 * 16, 120 * 16);
  } else {
    p.drawLine(QPointF(g.left() + w * 0.65, g.top() + h * 0.35), QPointF(g.right(), g.top() + h * 0.65));
    p.drawLine(QPointF(g.left() + w * 0.65, g.top() + h * 0.65), QPointF(g.right(), g.top() + h * 0.35));
  }
}

void snapshotGlyph(QPainter& p, const QRectF& g) {  // a still camera
  const qreal w = g.width(), h = g.height();
  p.drawRoundedRect(QRectF(g.left(), g.top() + h * 0.22, w, h * 0.68), 2, 2);
  p.drawRect(QRectF(g.left() + w * 0.3, g.top() + h * 0.08, w * 0.4, h * 0.14));
  p.drawEllipse(QPointF(g.center().x(), g.top() + h * 0.56), w * 0.2, w * 0.2);
}

void barPlaybackGlyph(QPainter& p, const QRectF& g) {  // a clock with a back arrow
  const qreal w = g.width(), h = g.height();
  p.drawArc(inner(g, 0.5), 100 * 16, 300 * 16);
  p.drawLine(g.center(), g.center() + QPointF(0, -h * 0.3));
  p.drawLine(g.center(), g.center() + QPointF(w * 0.22, 0));
  p.drawPolyline(QPolygonF({QPointF(g.left() + w * 0.05, g.top() + h * 0.08), QPointF(g.left() + w * 0.12, g.top() + h * 0.3),
                            QPointF(g.left() + w * 0.34, g.top() + h * 0.24)}));
}

void ptzGlyph(QPainter& p, const QRectF& g) {  // four arrows around a dot
  const QPointF c = g.center();
  const qreal r = g.width() * 0.5, a = g.width() * 0.16;
  for (int i = 0; i < 4; ++i) {
    p.save();
    p.translate(c);
    p.rotate(90 * i);
    p.drawPolyline(QPolygonF({QPointF(-a, -r + a), QPointF(0, -r), QPointF(a, -r + a)}));
    p.restore();
  }
  p.drawEllipse(c, g.width() * 0.1, g.width() * 0.1);
}

void clockGlyph(QPainter& p, const QRectF& g) {  // a clock
  p.drawEllipse(inner(g, 0.5));
  p.drawLine(g.center(), g.center() + QPointF(0, -g.height() * 0.32));
  p.drawLine(g.center(), g.center() + QPointF(g.width() * 0.24, g.height() * 0.1));
}

void stopGlyph(QPainter& p, const QRectF& g) { crossGlyph(p, inner(g, g.width() * 0.12)); }

Draw recordingMark() {  // the top bar's red dot while recording
  return [](QPainter& p, const QRectF& r) {
    p.setPen(Qt::NoPen);
    p.setBrush(palette::danger);
    p.drawEllipse(r.center(), r.width() * 0.32, r.width() * 0.32);
  };
}

// ---- quality labels: "…1.png" rows of the list, "…2.png" the current choice ----

Draw qualityLabel(QString text, bool current) {
  return [=](QPainter& p, const QRectF& r) {
    if (current) {
      roundedBox(QColor(0x2A, 0x30, 0x38, 0xE0), palette::buttonBorder, 3)(p, r);
      p.setPen(Qt::NoPen);
      p.setBrush(palette::dim);
      const qreal y = r.center().y();
      p.drawPolygon(QPolygonF({QPointF(6, y - 3), QPointF(12, y - 3), QPointF(9, y + 2)}));  // the drop-down mark
    }
    QFont font("WenQuanYi Micro Hei");
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(current ? palette::text : QColor(0xC8, 0xD0, 0xDA));
    p.drawText(current ? r.adjusted(18, 0, -4, 0) : r, Qt::AlignCenter, text);
  };
}

// ---- playback page ----

Draw dayTab(bool selected) {
  return roundedBox(selected ? palette::accent : palette::button, selected ? palette::accent : palette::buttonBorder, 3);
}

std::vector<Image> images() {
  using namespace palette;
  const QColor none(0, 0, 0, 0);
  return {
      {"common/dlg_bk.png", {40, 80}, dialogBackground(36)},
      {"common/btn_normal.png", {40, 28}, roundedBox(button, buttonBorder, 3)},
      {"common/btn_hot.png", {40, 28}, roundedBox(buttonHot, buttonBorder, 3)},
      {"common/btn_pushed.png", {40, 28}, roundedBox(buttonPushed, buttonBorder, 3)},
      {"common/btn_disabled.png", {40, 28}, roundedBox(disabled, border, 3)},
      {"common/btn_primary_normal.png", {40, 28}, roundedBox(accent, accent.darker(115), 3)},
      {"common/btn_primary_hot.png", {40, 28}, roundedBox(accentHot, accent, 3)},
      {"common/btn_primary_pushed.png", {40, 28}, roundedBox(accentPushed, accentPushed.darker(115), 3)},
      {"common/close_normal.png", {28, 28}, glyphButton(none, dim, crossGlyph)},
      {"common/close_hot.png", {28, 28}, glyphButton(danger, Qt::white, crossGlyph)},
      {"common/close_pushed.png", {28, 28}, glyphButton(danger.darker(125), Qt::white, crossGlyph)},
      {"common/min_normal.png", {28, 28}, glyphButton(none, dim, minGlyph)},
      {"common/min_hot.png", {28, 28}, glyphButton(buttonHot, text, minGlyph)},
      {"common/max_normal.png", {28, 28}, glyphButton(none, dim, maxGlyph)},
      {"common/max_hot.png", {28, 28}, glyphButton(buttonHot, text, maxGlyph)},
      {"common/restore_normal.png", {28, 28}, glyphButton(none, dim, restoreGlyph)},
      {"common/restore_hot.png", {28, 28}, glyphButton(buttonHot, text, restoreGlyph)},
      {"common/msg_info.png", {40, 40}, badge(accent, "i")},
      {"common/msg_question.png", {40, 40}, badge(warn, "?")},
      {"common/msg_ok.png", {40, 40}, checkMark()},
      {"common/check_normal.png", {16, 16}, checkBox(false, false)},
      {"common/check_hot.png", {16, 16}, checkBox(false, true)},
      {"common/check_selected.png", {16, 16}, checkBox(true, false)},
      {"common/edit_bk.png", {24, 24}, roundedBox(QColor(0x1A, 0x1E, 0x24), border, 3)},
      {"common/edit_hot.png", {24, 24}, roundedBox(QColor(0x1A, 0x1E, 0x24), accent, 3)},
      {"common/progress_bk.png", {24, 10}, roundedBox(QColor(0x1A, 0x1E, 0x24), border, 4)},
      {"common/progress_fore.png", {24, 10}, roundedBox(accent, accent, 4)},
      {"Icon/133.png", {64, 64}, appIcon()},
      {"common/logo_small.png", {18, 18}, appIcon()},
      {"Icon/133.png", {64, 64}, appIcon()},  // the windows' icon (SetIcon(133))
  };
}

// The images named by the windows: device icons, pane bar buttons, quality
// labels and the playback page.
std::vector<Image> namedImages() {
  using namespace palette;
  const QColor online(0x6C, 0xB8, 0xFF);
  const QColor offline(0x6B, 0x74, 0x80);
  std::vector<Image> out;
  const std::pair<const char*, Glyph> kinds[] = {
      {"cap", cardGlyph},   {"vir", virtualGlyph},  {"ipci", ipcIntegratedGlyph}, {"nvrn", recorderNodeGlyph},
      {"ipc", domeGlyph},   {"nvr", recorderGlyph}, {"iphone", phoneGlyph},
  };
  for (const auto& [name, glyph] : kinds) {
    out.push_back({QString("%1-in.png").arg(name), {18, 18}, icon(glyph, online)});
    out.push_back({QString("%1-out.png").arg(name), {18, 18}, icon(glyph, offline)});
  }
  out.push_back({"sxt-in.png", {18, 18}, cameraRow(online, false)});
  out.push_back({"sxt-out.png", {18, 18}, cameraRow(offline, false)});
  out.push_back({"sxt-open.png", {18, 18}, cameraRow(online, true)});
  out.push_back({"Expired.png", {18, 18}, expiredBadge()});

  for (const QString folder : {"WinSub/", "ViewPng/"}) {
    out.push_back({folder + "panelZoom.png", {22, 22}, barButton(zoomGlyph, false)});
    out.push_back({folder + "panelZoom1.png", {22, 22}, barButton(zoomGlyph, true)});
    out.push_back({folder + "panelRecodr.png", {22, 22}, barButton(recordGlyph, false)});
    out.push_back({folder + "panelRecodr1.png", {22, 22}, barButton(recordGlyph, true)});
  }
  const std::pair<const char*, Glyph> barButtons[] = {
      {"panelPic", snapshotGlyph}, {"panelPlayback", barPlaybackGlyph}, {"panelYuntai", ptzGlyph},
      {"panelTime", clockGlyph},   {"panelStop", stopGlyph},
  };
  for (const auto& [name, glyph] : barButtons) {
    out.push_back({QString("WinSub/%1.png").arg(name), {22, 22}, barButton(glyph, false)});
    out.push_back({QString("WinSub/%1").arg(name) + "1.png", {22, 22}, barButton(glyph, true)});
  }
  out.push_back({"WinSub/recodrIcon.png", {16, 16}, recordingMark()});
  out.push_back({"WinSub/bar_bk.png", {8, 26}, [](QPainter& p, const QRectF& r) { p.fillRect(r, palette::title); }});
  out.push_back({"WinSub/panelSpeak.png", {22, 22}, barButton(speakGlyph, false)});
  out.push_back({"WinSub/panelSpeak1.png", {22, 22}, barButton(speakGlyph, true)});
  const Glyph soundOn = [](QPainter& p, const QRectF& g) { speakerGlyph(p, g, true); };
  const Glyph soundOff = [](QPainter& p, const QRectF& g) { speakerGlyph(p, g, false); };
  out.push_back({"WinSub/Sound1.png", {22, 22}, barButton(soundOn, false)});
  out.push_back({"WinSub/Sound2.png", {22, 22}, barButton(soundOn, true)});
  out.push_back({"WinSub/Sound4.png", {22, 22}, barButton(soundOff, false)});
  out.push_back({"WinSub/Sound5.png", {22, 22}, barButton(soundOff, true)});
  out.push_back({"ViewPng/sond-n.png", {22, 22}, barButton(soundOn, false)});
  out.push_back({"ViewPng/sond-h.png", {22, 22}, barButton(soundOn, true)});
  out.push_back({"ViewPng/nosond-n.png", {22, 22}, barButton(soundOff, false)});
  out.push_back({"ViewPng/nosond-h.png", {22, 22}, barButton(soundOff, true)});
  out.push_back({"ViewPng/backday-n.png", {40, 24}, dayTab(false)});
  out.push_back({"ViewPng/backday-h.png", {40, 24}, dayTab(true)});

  const std::pair<const char*, const char*> levels[] = {
      {"jiqing", "极清"}, {"gaoqing", "高清"}, {"qingxi", "清晰"}, {"liuchang", "流畅"}, {"jisu", "极速"}};
  for (const auto& [name, text] : levels) {
    const QString base = QString("WinSub/VideoQP/") + name;
    out.push_back({base + "1.png", {56, 22}, qualityLabel(QString::fromUtf8(text), false)});
    out.push_back({base + "2.png", {62, 22}, qualityLabel(QString::fromUtf8(text), true)});
  }
  return out;
}

// ---- login and start-up windows ----

void personGlyph(QPainter& p, const QRectF& g) {  // head and shoulders
  const qreal w = g.width(), h = g.height();
  p.drawEllipse(QPointF(g.center().x(), g.top() + h * 0.28), w * 0.22, w * 0.22);
  QPainterPath shoulders;
  shoulders.moveTo(g.left() + w * 0.08, g.bottom());
  shoulders.cubicTo(g.left() + w * 0.1, g.top() + h * 0.55, g.right() - w * 0.1, g.top() + h * 0.55, g.right() - w * 0.08,
                    g.bottom());
  p.drawPath(shoulders);
}

void lockGlyph(QPainter& p, const QRectF& g) {  // a padlock
  const qreal w = g.width(), h = g.height();
  p.drawRoundedRect(QRectF(g.left() + w * 0.1, g.top() + h * 0.45, w * 0.8, h * 0.55), 1.5, 1.5);
  p.drawArc(QRectF(g.left() + w * 0.25, g.top(), w * 0.5, h * 0.8), 0, 180 * 16);
  p.drawLine(QPointF(g.left() + w * 0.25, g.top() + h * 0.4), QPointF(g.left() + w * 0.25, g.top() + h * 0.47));
  p.drawLine(QPointF(g.right() - w * 0.25, g.top() + h * 0.4), QPointF(g.right() - w * 0.25, g.top() + h * 0.47));
  p.drawLine(QPointF(g.center().x(), g.top() + h * 0.65), QPointF(g.center().x(), g.top() + h * 0.8));
}

Draw chevronDown(QColor colour) {
  return [=](QPainter& p, const QRectF& r) {
    p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(r.left() + 1.5, r.top() + 1.5), QPointF(r.center().x(), r.bottom() - 1.5),
                              QPointF(r.right() - 1.5, r.top() + 1.5)}));
  };
}

// A screen tile of the video wall: a dusk scene with a camera's view of a
// road, in the accent's blues.
void wallTile(QPainter& p, const QRectF& r, int seed) {
  QLinearGradient sky(r.topLeft(), r.bottomLeft());
  sky.setColorAt(0, QColor(0x1F, 0x4B, 0x7E).lighter(100 + seed * 6));
  sky.setColorAt(1, QColor(0x12, 0x24, 0x3A));
  p.setPen(Qt::NoPen);
  p.setBrush(sky);
  p.drawRoundedRect(r, 3, 3);
  QPainterPath road;
  const qreal y = r.top() + r.height() * 0.62;
  road.moveTo(r.left() + r.width() * (0.35 + 0.05 * seed), y);
  road.lineTo(r.left() + r.width() * (0.45 + 0.05 * seed), y);
  road.lineTo(r.right() - r.width() * 0.05, r.bottom());
  road.lineTo(r.left() + r.width() * 0.05, r.bottom());
  road.closeSubpath();
  p.setBrush(QColor(0x0C, 0x16, 0x24, 0xC0));
  p.drawPath(road);
  p.setBrush(QColor(0x8C, 0xC4, 0xFF, 0x50));
  for (int i = 0; i < 3; ++i)  // far windows
    p.drawRect(QRectF(r.left() + r.width() * (0.1 + 0.12 * i), y - r.height() * (0.18 + 0.06 * ((i + seed) % 2)),
                      r.width() * 0.07, r.height() * 0.18));
  p.setBrush(palette::danger);  // the recording dot
  p.drawEllipse(QPointF(r.left() + 7, r.top() + 7), 2.2, 2.2);
}

// The login window's picture panel: a deep blue ground with a faint grid, a
// video wall of six tiles and a dome camera looking at it.
Draw loginBanner() {
  return [](QPainter& p, const QRectF& r) {
    QLinearGradient ground(r.topLeft(), r.bottomRight());
    ground.setColorAt(0, QColor(0x16, 0x3A, 0x66));
    ground.setColorAt(0.55, QColor(0x14, 0x24, 0x3A));
    ground.setColorAt(1, palette::title);
    p.fillRect(r, ground);
    p.setPen(QPen(QColor(0xFF, 0xFF, 0xFF, 0x0C), 1));
    for (qreal x = r.left() + 20; x < r.right(); x += 40) p.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
    for (qreal y = r.top() + 20; y < r.bottom(); y += 40) p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    QRadialGradient glow(QPointF(r.width() * 0.55, r.height() * 0.58), r.width() * 0.6);
    glow.setColorAt(0, QColor(0x2D, 0x7F, 0xD3, 0x55));
    glow.setColorAt(1, QColor(0x2D, 0x7F, 0xD3, 0));
    p.fillRect(r, glow);

    const QRectF wall(r.left() + 48, r.top() + r.height() * 0.40, r.width() - 96, r.height() * 0.30);
    p.setPen(QPen(QColor(0x4F, 0xA3, 0xF7, 0x90), 1.2));
    p.setBrush(QColor(0x0E, 0x17, 0x22, 0xD0));
    p.drawRoundedRect(wall.adjusted(-8, -8, 8, 8), 6, 6);
    const qreal gap = 6, tw = (wall.width() - 2 * gap) / 3, th = (wall.height() - gap) / 2;
    for (int row = 0; row < 2; ++row)
      for (int col = 0; col < 3; ++col)
        wallTile(p, QRectF(wall.left() + col * (tw + gap), wall.top() + row * (th + gap), tw, th), row * 3 + col);
    p.setPen(QPen(QColor(0x4F, 0xA3, 0xF7, 0x90), 1.2));
    p.drawLine(QPointF(wall.center().x(), wall.bottom() + 8), QPointF(wall.center().x(), wall.bottom() + 26));
    p.drawLine(QPointF(wall.center().x() - 40, wall.bottom() + 26), QPointF(wall.center().x() + 40, wall.bottom() + 26));

    // The dome camera at the top right, with its field of view.
    const QPointF cam(r.right() - 70, r.top() + r.height() * 0.30);
    QPainterPath view;
    view.moveTo(cam);
    view.lineTo(wall.left() + wall.width() * 0.35, wall.top() - 8);
    view.lineTo(wall.right() + 8, wall.top() + wall.height() * 0.3);
    view.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x8C, 0xC4, 0xFF, 0x18));
    p.drawPath(view);
    p.setBrush(QColor(0xD8, 0xDE, 0xE6));
    p.drawRoundedRect(QRectF(cam.x() - 22, cam.y() - 16, 44, 8), 2, 2);
    p.setBrush(QColor(0xAA, 0xB3, 0xBF));
    p.drawChord(QRectF(cam.x() - 18, cam.y() - 22, 36, 36), 180 * 16, 180 * 16);
    p.setBrush(palette::title);
    p.drawEllipse(QPointF(cam.x() - 3, cam.y() + 3), 6, 6);
    p.setBrush(QColor(0x4F, 0xA3, 0xF7));
    p.drawEllipse(QPointF(cam.x() - 3, cam.y() + 3), 3, 3);
  };
}

// The start-up window's picture: a monitor showing four camera views, linked
// to a cloud.
Draw welcomePicture() {
  return [](QPainter& p, const QRectF& r) {
    QRadialGradient glow(r.center(), std::min(r.width(), r.height()) * 0.5);
    glow.setColorAt(0, QColor(0x2D, 0x7F, 0xD3, 0x40));
    glow.setColorAt(1, QColor(0x2D, 0x7F, 0xD3, 0));
    p.fillRect(r, glow);
    const QRectF screen(r.left() + r.width() * 0.18, r.top() + r.height() * 0.16, r.width() * 0.64, r.height() * 0.58);
    p.setPen(QPen(palette::buttonBorder, 2));
    p.setBrush(palette::title);
    p.drawRoundedRect(screen, 6, 6);
    const QRectF inside = screen.adjusted(8, 8, -8, -8);
    const qreal gap = 4, tw = (inside.width() - gap) / 2, th = (inside.height() - gap) / 2;
    for (int i = 0; i < 4; ++i)
      wallTile(p, QRectF(inside.left() + (i % 2) * (tw + gap), inside.top() + (i / 2) * (th + gap), tw, th), i);
    p.setPen(QPen(palette::buttonBorder, 2));
    p.drawLine(QPointF(screen.center().x(), screen.bottom()), QPointF(screen.center().x(), screen.bottom() + 18));
    p.drawLine(QPointF(screen.center().x() - 36, screen.bottom() + 18), QPointF(screen.center().x() + 36, screen.bottom() + 18));

    // The platform: a cloud at the top right, with a dotted link to the screen.
    const QPointF c(screen.right() + 6, screen.top() + 4);
    p.setPen(Qt::NoPen);
    p.setBrush(palette::accent);
    p.drawEllipse(c + QPointF(-14, 2), 12, 10);
    p.drawEllipse(c + QPointF(0, -4), 14, 13);
    p.drawEllipse(c + QPointF(14, 3), 11, 9);
    p.drawRect(QRectF(c.x() - 14, c.y() + 2, 28, 10));
    p.setPen(QPen(QColor(0x8C, 0xC4, 0xFF), 1.6, Qt::DotLine, Qt::RoundCap));
    p.drawLine(c + QPointF(0, 14), QPointF(screen.right() - 20, screen.top() + 22));
  };
}

std::vector<Image> loginImages() {
  using namespace palette;
  const QColor none(0, 0, 0, 0);
  return {
      {"login/banner.png", {440, 600}, loginBanner()},
      {"login/user.png", {18, 18}, icon(personGlyph, dim)},
      {"login/lock.png", {18, 18}, icon(lockGlyph, dim)},
      {"login/combo_arrow.png", {12, 8}, chevronDown(dim)},
      {"login/del_normal.png", {20, 20}, glyphButton(none, dim, crossGlyph)},
      {"login/del_hot.png", {20, 20}, glyphButton(danger, Qt::white, crossGlyph)},
      {"welcome/picture.png", {320, 200}, welcomePicture()},
  };
}

// ---- main window ----

// A split button: the layout's cells on a button face, the large pane of
// layouts 6 and 8 drawn as one cell.
Draw splitButton(int count, bool hot) {
  return [=](QPainter& p, const QRectF& r) {
    roundedBox(hot ? palette::buttonHot : palette::button, hot ? palette::accent : palette::buttonBorder, 3)(p, r);
    const int n = count == 6 ? 3 : count == 8 ? 4 : static_cast<int>(std::lround(std::sqrt(count)));
    const int large = count == 6 ? 2 : count == 8 ? 3 : 1;  // cells the first pane spans
    const QRectF area = r.adjusted(6, 4, -6, -4);
    const qreal gap = n > 5 ? 0.6 : 1.0;
    const qreal w = (area.width() - (n - 1) * gap) / n, h = (area.height() - (n - 1) * gap) / n;
    p.setPen(Qt::NoPen);
    p.setBrush(hot ? palette::accentHot : palette::dim);
    for (int row = 0; row < n; ++row)
      for (int col = 0; col < n; ++col) {
        if (row < large && col < large && (row || col)) continue;
        const int span = row == 0 && col == 0 ? large : 1;
        p.drawRect(QRectF(area.left() + col * (w + gap), area.top() + row * (h + gap), span * w + (span - 1) * gap,
                          span * h + (span - 1) * gap));
      }
  };
}

std::vector<Image> mainWindowImages() {
  std::vector<Image> out;
  for (int count : {1, 4, 6, 8, 9, 16, 25, 36, 49, 64}) {
    out.push_back({QString("split/%1.png").arg(count), {34, 26}, splitButton(count, false)});
    out.push_back({QString("split/%1-hot.png").arg(count), {34, 26}, splitButton(count, true)});
  }
  return out;
}

// The panes' waiting animation: twelve dots on a ring, the bright one going
// round, on a transparent ground (the pane's colour shows through).
QByteArray waitingAnimation() {
  constexpr int kSize = 64, kFrames = 12, kLevels = 15;
  std::vector<QColor> colours{QColor(56, 60, 60)};  // index 0: transparent
  for (int i = 1; i <= kLevels; ++i) {
    const qreal t = i / qreal(kLevels);
    colours.emplace_back(static_cast<int>(56 + (0x8C - 56) * t), static_cast<int>(60 + (0xC4 - 60) * t),
                         static_cast<int>(60 + (0xFF - 60) * t));
  }
  std::vector<skin::GifFrame> frames;
  for (int f = 0; f < kFrames; ++f) {
    QImage alpha(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    alpha.fill(Qt::transparent);
    QPainter p(&alpha);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int d = 0; d < kFrames; ++d) {
      const int age = (f - d + kFrames) % kFrames;  // 0: the bright dot
      const qreal angle = d * 2 * M_PI / kFrames;
      const QPointF at(kSize / 2.0 + std::sin(angle) * kSize * 0.36, kSize / 2.0 - std::cos(angle) * kSize * 0.36);
      p.setBrush(QColor(255, 255, 255, std::max(40, 255 - age * 22)));
      p.drawEllipse(at, kSize * 0.065, kSize * 0.065);
    }
    p.end();
    skin::GifFrame frame;
    frame.delayCs = 8;
    frame.pixels.reserve(kSize * kSize);
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x)
        frame.pixels.push_back(static_cast<unsigned char>(std::lround(qAlpha(alpha.pixel(x, y)) * kLevels / 255.0)));
    frames.push_back(std::move(frame));
  }
  return skin::GifWriter(kSize, kSize, colours).encode(frames);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SKIN_FOLDER RESOURCE_FOLDER\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  std::vector<Image> all = images();
  for (Image& named : namedImages()) all.push_back(std::move(named));
  for (Image& row : treeImages()) all.push_back(std::move(row));
  for (Image& login : loginImages()) all.push_back(std::move(login));
  for (Image& button : mainWindowImages()) all.push_back(std::move(button));
  for (const Image& image : all) {
    QImage picture(image.size, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    image.draw(painter, QRectF(QPointF(0, 0), QSizeF(image.size)));
    painter.end();
    const QString path = out.filePath(image.name);
    if (!QDir().mkpath(QFileInfo(path).path()) || !picture.save(path, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  QFile gif(QDir(QString::fromLocal8Bit(argv[2])).filePath("checking.gif"));
  if (!gif.open(QIODevice::WriteOnly | QIODevice::Truncate) || gif.write(waitingAnimation()) < 0) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(gif.fileName()));
    return 1;
  }
  return 0;
}
