#include "ui/lib/ControlOps.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTextEdit>
#include <QVariantMap>

#include "ui/lib/GifAnimUI.h"
#include "ui/lib/ImageAttribute.h"
#include "ui/lib/ListUI.h"
#include "ui/lib/SkinPaths.h"

namespace ui {
namespace {

constexpr char kImagesProperty[] = "_mcImages";
constexpr char kColoursProperty[] = "_mcColours";
constexpr char kBaseStyleProperty[] = "_mcBaseStyle";
constexpr char kSkinDirProperty[] = "_mcSkinDir";

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

// The pseudo-state (and sub-control) a state key stands for.
QString selectorSuffix(const QWidget* w, const QString& state, bool colour) {
  // Options draw their state images as the check indicator.
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

void rebuildStyle(QWidget* w) {
  if (!w->property(kBaseStyleProperty).isValid()) w->setProperty(kBaseStyleProperty, w->styleSheet());
  const QVariantMap images = w->property(kImagesProperty).toMap();
  const QVariantMap colours = w->property(kColoursProperty).toMap();
  const QString selector = "#" + ensureName(w);
  const QString skinDir = skinDirOf(w);
  QString style = w->property(kBaseStyleProperty).toString();
  const bool button = qobject_cast<QAbstractButton*>(w) && !isOption(w);
  if (button && (images.contains("normal") || images.contains("bk")))
    style += "\n" + selector + " { border: none; background: transparent; }";
  for (const QString& state : stateOrder()) {
    QString declarations;
    if (colours.contains(state)) {
      declarations += (state == "bk" ? "background-color: " : "color: ") + colours[state].toString() + ";";
      if (state == "bk") w->setAttribute(Qt::WA_StyledBackground);
    }
    if (!declarations.isEmpty()) style += "\n" + selector + selectorSuffix(w, state, true) + " { " + declarations + " }";
    if (!images.contains(state)) continue;
    const auto image = parseImageAttribute(images[state].toString());
    if (!image) continue;
    const QString found = resolveImageFile(image->file, skinDir, skinRoot());
    const QString file = found.isEmpty() ? QString() : derivedImageFile(*image, found, skinImageCacheDir());
    QString imageDeclarations;
    if (isOption(w) && state != "bk") {
      // The indicator takes the image's own size.
      const QSize size = QImageReader(file).size();
      imageDeclarations = file.isEmpty() ? "image: none;"
                                         : QString("image: url(\"%1\");").arg(file) +
                                               (size.isValid() ? QString(" width: %1px; height: %2px;")
                                                                     .arg(size.width()).arg(size.height())
                                                               : QString());
    } else {
      imageDeclarations = imageStyleDeclarations(*image, file);
    }
    if (state == "bk") w->setAttribute(Qt::WA_StyledBackground);
    style += "\n" + selector + selectorSuffix(w, state, false) + " { " + imageDeclarations + " }";
  }
  w->setStyleSheet(style);
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
    if (!image || resolveImageFile(image->file, skinDirOf(w), skinRoot()).isEmpty()) return false;
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
