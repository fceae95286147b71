// Draws the images of the skin into a folder: mc_skin_images <folder>.
// Every image is plain vector drawing in the skin's dark palette, so the skin
// needs no binary files in the repository.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>
#include <vector>

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
  };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  for (const Image& image : images()) {
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
  return 0;
}
