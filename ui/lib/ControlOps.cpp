#include "ui/lib/ControlOps.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTextEdit>
#include <QToolButton>
#include <QVariantMap>

#include "ui/lib/GifAnimUI.h"
#include "ui/lib/ImageAttribute.h"
#include "ui/lib/ListUI.h"
#include "ui/lib/SkinImage.h"
#include "ui/lib/SkinPaths.h"

namespace ui {
namespace {

constexpr char kImagesProperty[] = "_mcImages";
constexpr char kColoursProperty[] = "_mcColours";
constexpr char kBaseStyleProperty[] = "_mcBaseStyle";
constexpr char kSkinDirProperty[] = "_mcSkinDir";
// Set on buttons drawn by their images; the skin's style sheet gives them no
// face of their own (QPushButton[skinImage="true"]).
constexpr char kSkinnedButtonProperty[] = "skinImage";

// Skin attribute name → state key, for images and for colours.
struct AttributeName {
  const char* attribute;
  const char* state;
};
constexpr AttributeName kImageAttributes[] = {
    {"bkimage", "bk"},           {"normalimage", "normal"},         {"hotimage", "hot"},
    {"pushedimage", "pushed"},   {"disabledimage", "disabled"},     {"focusedimage", "focused"},
    {"selectedimage", "selected"}, {"selectedhotimage", "selectedhot"},
    {"selectedpushedimage", "selectedpushed"}, {"foreimage", "fore"},
};
constexpr AttributeName kColourAttributes[] = {
    {"bkcolor", "bk"},           {"textcolor", "normal"},        {"hottextcolor", "hot"},
    {"pushedtextcolor", "pushed"}, {"disabledtextcolor", "disabled"}, {"selectedtextcolor", "selected"},
};

bool isOption(const QWidget* w) { return qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w); }

// Options draw their state images as the check indicator and progress bars as
// their chunk, which only their style can do; every other control has its
// images and background colour drawn by the skin painter below, which is far
// cheaper than a style sheet per control (rows of the device trees are built
// by the thousand).
bool drawsByStyleSheet(const QWidget* w) { return isOption(w) || qobject_cast<const QProgressBar*>(w); }

// The pseudo-state (and sub-control) a state key stands for.
QString selectorSuffix(const QWidget* w, const QString& state, bool colour) {
  const QString sub = (!colour && isOption(w) && state != "bk") ? "::indicator" : QString();
  if (state == "bk" || state == "normal") return sub;
  if (state == "hot") return sub + ":hover";
  if (state == "pushed") return sub + ":pressed";
  if (state == "disabled") return sub + ":disabled";
  if (state == "focused") return sub + ":focus";
  if (state == "selected") return sub + ":checked";
  if (state == "selectedhot") return sub + ":checked:hover";
  if (state == "selectedpushed") return sub + ":checked:pressed";
  if (state == "fore") return "::chunk";
  return {};
}

// Order of the rules: later ones win over earlier ones of equal weight.
const QStringList& stateOrder() {
  static const QStringList order = {"bk", "normal", "focused", "hot", "pushed", "selected",
                                    "selectedhot", "selectedpushed", "disabled", "fore"};
  return order;
}

QString ensureName(QWidget* w) {
  if (w->objectName().isEmpty()) {
    static quint64 counter = 0;
    w->setObjectName(QString("_mcControl%1").arg(++counter));
  }
  return w->objectName();
}

// Draws the images and background colour of the controls it watches, under
// their own painting; repaints them when the pointer or a button changes
// their state. One per application, a child of the application object.
class SkinPainter : public QObject {
 public:
  using QObject::QObject;

  QString resolve(const QString& file, const QString& skinDir) {
    const QString key = skinDir + '\n' + file;
    if (const auto it = resolved_.constFind(key); it != resolved_.constEnd()) return *it;
    const QString path = resolveImageFile(file, skinDir, skinRoot());
    if (!path.isEmpty()) resolved_.insert(key, path);
    return path;
  }

  std::optional<ImageAttribute> parse(const QString& text) {
    if (const auto it = parsed_.constFind(text); it != parsed_.constEnd()) return *it;
    auto image = parseImageAttribute(text);
    if (image) parsed_.insert(text, *image);
    return image;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* w = static_cast<QWidget*>(watched);
    switch (event->type()) {
      case QEvent::Paint:
        paint(w);
        break;
      case QEvent::Enter:
      case QEvent::Leave:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::EnabledChange:
      case QEvent::FocusIn:
      case QEvent::FocusOut:
        w->update();
        break;
      default:
        break;
    }
    return false;
  }

 private:
  static QString stateOf(const QWidget* w, const QVariantMap& images) {
    auto has = [&](const char* state) { return images.contains(state); };
    const auto* button = qobject_cast<const QAbstractButton*>(w);
    if (!w->isEnabled() && has("disabled")) return "disabled";
    const bool down = button && button->isDown();
    const bool hot = w->underMouse();
    if (button && button->isChecked()) {
      if (down && has("selectedpushed")) return "selectedpushed";
      if (hot && has("selectedhot")) return "selectedhot";
      if (has("selected")) return "selected";
    }
    if (down && has("pushed")) return "pushed";
    if (hot && has("hot")) return "hot";
    if (w->hasFocus() && has("focused")) return "focused";
    return "normal";
  }

  void draw(QPainter& painter, QWidget* w, const QString& text, const QString& skinDir) {
    const auto image = parse(text);
    if (!image) return;
    const QPixmap pixmap = skinPixmap(resolve(image->file, skinDir), image->mask);
    drawImageAttribute(painter, w->rect(), *image, pixmap);
  }

  void paint(QWidget* w) {
    const QVariantMap images = w->property(kImagesProperty).toMap();
    const QVariant bkColour = w->property(kColoursProperty).toMap().value("bk");
    if (images.isEmpty() && !bkColour.isValid()) return;
    QPainter painter(w);
    if (bkColour.isValid()) painter.fillRect(w->rect(), QColor(bkColour.toString()));
    const QString skinDir = skinDirOf(w);
    if (images.contains("bk")) draw(painter, w, images["bk"].toString(), skinDir);
    const QString state = stateOf(w, images);
    if (images.contains(state)) draw(painter, w, images[state].toString(), skinDir);
  }

  QHash<QString, QString> resolved_;
  QHash<QString, ImageAttribute> parsed_;
};

SkinPainter* skinPainter() {
  static QPointer<SkinPainter> instance;
  if (!instance && QCoreApplication::instance()) instance = new SkinPainter(QCoreApplication::instance());
  return instance;
}

// Options and progress bars: their images and colours as a style sheet.
void rebuildStyleSheet(QWidget* w, const QVariantMap& images, const QVariantMap& colours) {
  const QString selector = "#" + ensureName(w);
  const QString skinDir = skinDirOf(w);
  QString style = w->property(kBaseStyleProperty).toString();
  for (const QString& state : stateOrder()) {
    if (colours.contains(state)) {
      const QString property = state == "bk" ? "background-color: " : "color: ";
      style += "\n" + selector + selectorSuffix(w, state, true) + " { " + property + colours[state].toString() + "; }";
    }
    if (!images.contains(state)) continue;
    const auto image = parseImageAttribute(images[state].toString());
    if (!image) continue;
    const QString found = resolveImageFile(image->file, skinDir, skinRoot());
    const QString file = found.isEmpty() ? QString() : derivedImageFile(*image, found, skinImageCacheDir());
    QString declarations;
    if (isOption(w) && state != "bk") {
      // The indicator takes the image's own size.
      const QSize size = QImageReader(file).size();
      declarations = file.isEmpty() ? QString("image: none;") : QString("image: url(\"%1\");").arg(file);
      if (size.isValid()) declarations += QString(" width: %1px; height: %2px;").arg(size.width()).arg(size.height());
    } else {
      declarations = imageStyleDeclarations(*image, file);
    }
    style += "\n" + selector + selectorSuffix(w, state, false) + " { " + declarations + " }";
  }
  if (style != w->styleSheet()) w->setStyleSheet(style);
}

void rebuildStyle(QWidget* w) {
  if (!w->property(kBaseStyleProperty).isValid()) w->setProperty(kBaseStyleProperty, w->styleSheet());
  const QVariantMap images = w->property(kImagesProperty).toMap();
  QVariantMap colours = w->property(kColoursProperty).toMap();
  if (drawsByStyleSheet(w)) {
    rebuildStyleSheet(w, images, colours);
    return;
  }
  // Painted controls: only text colours need the style sheet.
  colours.remove("bk");
  rebuildStyleSheet(w, {}, colours);
  if (SkinPainter* painter = skinPainter()) {
    w->removeEventFilter(painter);
    if (!images.isEmpty() || w->property(kColoursProperty).toMap().contains("bk")) w->installEventFilter(painter);
  }
  // Buttons drawn by their images leave out the style's own button face.
  if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    const bool skinned = images.contains("normal") || images.contains("bk");
    if (button->property(kSkinnedButtonProperty).toBool() != skinned) {
      button->setProperty(kSkinnedButtonProperty, skinned);
      if (auto* push = qobject_cast<QPushButton*>(button)) push->setFlat(skinned);
      if (auto* tool = qobject_cast<QToolButton*>(button)) tool->setAutoRaise(skinned);
      if (button->testAttribute(Qt::WA_WState_Polished)) {
        button->style()->unpolish(button);
        button->style()->polish(button);
      }
    }
  }
  w->update();
}

bool setState(QWidget* w, const char* property, const QString& state, const QString& value) {
  QVariantMap map = w->property(property).toMap();
  if (value.trimmed().isEmpty()) map.remove(state);
  else map[state] = value;
  w->setProperty(property, map);
  rebuildStyle(w);
  return true;
}

bool setImageState(QWidget* w, const QString& state, const QString& text) {
  if (!w) return false;
  if (!text.trimmed().isEmpty()) {
    const auto image = parseImageAttribute(text);
    if (!image) return false;
    SkinPainter* painter = skinPainter();
    const QString path = painter ? painter->resolve(image->file, skinDirOf(w))
                                 : resolveImageFile(image->file, skinDirOf(w), skinRoot());
    if (path.isEmpty()) return false;
  }
  return setState(w, kImagesProperty, state, text);
}

}  // namespace

QString GetText(const QWidget* c) {
  if (auto* label = qobject_cast<const QLabel*>(c)) return label->text();
  if (auto* button = qobject_cast<const QAbstractButton*>(c)) return button->text();
  if (auto* edit = qobject_cast<const QLineEdit*>(c)) return edit->text();
  if (auto* text = qobject_cast<const QTextEdit*>(c)) return text->toPlainText();
  if (auto* combo = qobject_cast<const QComboBox*>(c)) return combo->currentText();
  if (auto* row = qobject_cast<const CListTextElementUI*>(c)) return row->GetText(0);
  if (auto* bar = qobject_cast<const QProgressBar*>(c)) return bar->format();
  return c ? c->property("text").toString() : QString();
}

void SetText(QWidget* c, const QString& text) {
  if (auto* label = qobject_cast<QLabel*>(c)) label->setText(text);
  else if (auto* button = qobject_cast<QAbstractButton*>(c)) button->setText(text);
  else if (auto* edit = qobject_cast<QLineEdit*>(c)) edit->setText(text);
  else if (auto* plain = qobject_cast<QTextEdit*>(c)) plain->setPlainText(text);
  else if (auto* combo = qobject_cast<QComboBox*>(c)) combo->setEditText(text);
  else if (auto* row = qobject_cast<CListTextElementUI*>(c)) row->SetText(0, text);
  else if (auto* bar = qobject_cast<QProgressBar*>(c)) bar->setFormat(text);
  else if (c) c->setProperty("text", text);
}

bool SetBkImage(QWidget* c, const QString& image) {
  if (auto* gif = qobject_cast<CGifAnimUI*>(c)) {
    const auto parsed = parseImageAttribute(image);
    if (!parsed) return false;
    return gif->SetBkImage(resolveImageFile(parsed->file, skinDirOf(c), skinRoot()));
  }
  return setImageState(c, "bk", image);
}
bool SetNormalImage(QAbstractButton* b, const QString& image) { return setImageState(b, "normal", image); }
bool SetHotImage(QAbstractButton* b, const QString& image) { return setImageState(b, "hot", image); }
bool SetPushedImage(QAbstractButton* b, const QString& image) { return setImageState(b, "pushed", image); }
bool SetDisabledImage(QAbstractButton* b, const QString& image) { return setImageState(b, "disabled", image); }
bool SetSelectedImage(QAbstractButton* b, const QString& image) { return setImageState(b, "selected", image); }
bool SetSelectedHotImage(QAbstractButton* b, const QString& image) { return setImageState(b, "selectedhot", image); }

QString GetImage(const QWidget* c, const QString& state) {
  return c ? c->property(kImagesProperty).toMap().value(state).toString() : QString();
}

bool SetSkinAttribute(QWidget* c, const QString& name, const QString& value) {
  if (!c) return false;
  const QString key = name.toLower();
  if (key == "bkimage") return SetBkImage(c, value);
  for (const auto& a : kImageAttributes)
    if (key == a.attribute) return setImageState(c, a.state, value);
  for (const auto& a : kColourAttributes) {
    if (key != a.attribute) continue;
    if (!value.trimmed().isEmpty() && !QColor(value.trimmed()).isValid()) return false;
    // Colours are written #AARRGGBB, which style sheets read the same way.
    return setState(c, kColoursProperty, a.state, value.trimmed());
  }
  return false;
}

void applySkinAttributes(QWidget* root, const QString& skinDir) {
  if (!root) return;
  root->setProperty(kSkinDirProperty, skinDir);
  QList<QWidget*> widgets = root->findChildren<QWidget*>();
  widgets.prepend(root);
  for (QWidget* w : widgets) {
    for (const QByteArray& name : w->dynamicPropertyNames()) {
      if (name.startsWith('_')) continue;
      const QString attribute = QString::fromLatin1(name).toLower();
      if (attribute == "visible") {
        w->setVisible(w->property(name).toBool());
        continue;
      }
      if (attribute.endsWith("image") || attribute.endsWith("color")) {
        if (!attribute.startsWith("item")) SetSkinAttribute(w, attribute, w->property(name).toString());
      }
    }
    if (auto* list = qobject_cast<CListUI*>(w)) list->applySkinProperties();
  }
  // Groups keep one option selected themselves but let code unselect all.
  for (QButtonGroup* group : root->findChildren<QButtonGroup*>()) group->setExclusive(false);
}

QString skinDirOf(const QWidget* c) {
  for (const QWidget* w = c; w; w = w->parentWidget()) {
    const QVariant dir = w->property(kSkinDirProperty);
    if (dir.isValid()) return dir.toString();
  }
  return skinRoot();
}

void SetTag(QWidget* c, quintptr tag) {
  if (c) c->setProperty("tag", QVariant::fromValue<qulonglong>(tag));
}
quintptr GetTag(const QWidget* c) { return c ? static_cast<quintptr>(c->property("tag").toULongLong()) : 0; }
void SetUserData(QWidget* c, const QString& data) {
  if (c) c->setProperty("userdata", data);
}
QString GetUserData(const QWidget* c) { return c ? c->property("userdata").toString() : QString(); }

}  // namespace ui
