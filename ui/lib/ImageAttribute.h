#pragma once
#include <QColor>
#include <QMargins>
#include <QRect>
#include <QString>
#include <optional>

// The image attribute texts of the skin: either a bare file name ("x.png") or
// key='value' pairs such as
//   file='VideoQP\jiqing2.png' corner='18,4,4,4' source='0,0,40,20'
//   dest='2,2,18,18' mask='#FFFF00FF' fade='128' hole='true' xtiled='true'
// Rectangles and corners are "left,top,right,bottom"; missing numbers are 0.
namespace ui {

struct ImageAttribute {
  QString file;                 // relative to the skin folder, '/' separated
  std::optional<QRect> source;  // part of the image to use
  std::optional<QRect> dest;    // where in the control to draw it
  QMargins corner;              // borders kept unstretched
  std::optional<QRgb> mask;     // colour drawn transparent
  int fade = 255;               // 0 transparent … 255 opaque
  bool hole = false;            // leave the middle of a cornered image empty
  bool xtiled = false;
  bool ytiled = false;

  bool operator==(const ImageAttribute&) const = default;
};

// Parses an attribute text. Empty text, a missing file, an unterminated quote
// or a malformed number give nullopt; unknown keys are ignored.
std::optional<ImageAttribute> parseImageAttribute(const QString& text);

// The image file an attribute names, looked up in `skinDir` first and then in
// `fallbackDir`; empty when neither holds it.
QString resolveImageFile(const QString& file, const QString& skinDir, const QString& fallbackDir);

// The style sheet declarations (no selector, no braces) that draw `image` as
// a control's background: a border-image with the corners as unstretched
// slices, tiling as "repeat", a destination rectangle as a placed image.
// `imagePath` is the resolved file; source, mask, fade and hole are applied by
// writing a derived image first (see derivedImageFile).
QString imageStyleDeclarations(const ImageAttribute& image, const QString& imagePath);

// The file to draw for an attribute: `imagePath` itself when the attribute
// needs no pixel changes, else a derived PNG (cropped to source, mask colour
// cleared, faded, hole cut) kept in `cacheDir` under a name derived from the
// file and the changes. Empty when the image cannot be read or written.
QString derivedImageFile(const ImageAttribute& image, const QString& imagePath, const QString& cacheDir);

}  // namespace ui
