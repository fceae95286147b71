#pragma once
#include <QString>
#include <QtGlobal>

class QAbstractButton;
class QWidget;

// The common control operations of the windows, over any library or Qt
// control: text, images, tag and user data. Visibility, enabling, tool tips,
// names and fixed sizes are Qt's own (setVisible, setEnabled, setToolTip,
// objectName, setFixedWidth / setFixedHeight).
namespace ui {

// Text of a label, button, edit, combo, text row (column 0) or progress bar
// (its format); other controls keep it in the "text" property.
QString GetText(const QWidget* control);
void SetText(QWidget* control, const QString& text);

// Whether the control itself is shown (ignores hidden ancestors).
inline bool IsVisible(const QWidget* control);

// Images from attribute texts ("file='x.png' corner='4,4,4,4'", see
// ImageAttribute.h), drawn under the control's own painting in the state the
// control is in (options and progress bars through their style sheet). An
// empty text removes the image. False when the text cannot be parsed or names
// no file of the skin.
bool SetBkImage(QWidget* control, const QString& image);
bool SetNormalImage(QAbstractButton* button, const QString& image);
bool SetHotImage(QAbstractButton* button, const QString& image);
bool SetPushedImage(QAbstractButton* button, const QString& image);
bool SetDisabledImage(QAbstractButton* button, const QString& image);
bool SetSelectedImage(QAbstractButton* option, const QString& image);
bool SetSelectedHotImage(QAbstractButton* option, const QString& image);
// The image attribute texts last set on a control ("bk", "normal", "hot",
// "pushed", "disabled", "focused", "selected", "selectedhot",
// "selectedpushed", "fore").
QString GetImage(const QWidget* control, const QString& state);

// Sets one image or colour by its skin attribute name ("bkimage",
// "normalimage", "hotimage", …, "foreimage", "bkcolor", "textcolor",
// "hottextcolor", "pushedtextcolor", "disabledtextcolor",
// "selectedtextcolor"); false for an unknown name or a bad value.
bool SetSkinAttribute(QWidget* control, const QString& name, const QString& value);

// Applies the skin attributes a layout left as dynamic properties on `root`
// and every control below it, and records `skinDir` for their images.
void applySkinAttributes(QWidget* root, const QString& skinDir);

// The skin folder whose images a control uses: the one recorded on it or on
// its nearest ancestor, else the skin root.
QString skinDirOf(const QWidget* control);

void SetTag(QWidget* control, quintptr tag);
quintptr GetTag(const QWidget* control);
void SetUserData(QWidget* control, const QString& data);
QString GetUserData(const QWidget* control);

}  // namespace ui

#include <QWidget>
inline bool ui::IsVisible(const QWidget* control) { return control && !control->isHidden(); }
