#pragma once
#include <QByteArray>
#include <QString>

class QWidget;

// Builds the controls whose class names the library does not know itself
// (a window's custom controls). Returns null for a name it does not know
// either; the layout's declared base class is then used.
class IControlFactory {
 public:
  virtual QWidget* CreateControl(const QString& className, QWidget* parent) = 0;

 protected:
  ~IControlFactory() = default;
};

namespace ui {

// Loads a layout (a Qt Designer file) as a child of `parent` (or as a
// top-level widget). The library builds its own controls (buttons and options
// that notify, CListUI, CComboUI, CGifAnimUI, list rows, tab layouts,
// progress bars, date pickers), asks `factory` for every other class, hooks
// every control for notifications and applies the skin attributes with
// images from `skinDir`. Null, with the reason in `error`, when the file
// cannot be read or parsed. UI thread only.
QWidget* loadLayout(const QString& path, const QString& skinDir, QWidget* parent, IControlFactory* factory,
                    QString* error = nullptr);
QWidget* loadLayoutData(const QByteArray& xml, const QString& skinDir, QWidget* parent, IControlFactory* factory,
                        QString* error = nullptr);

}  // namespace ui

// Builds list items (or any control tree) from an item template file. The
// file is read once per builder and kept for the following rows.
class CDialogBuilder {
 public:
  // `skinFolder` as windows name it ("Skin", "WinSub" or a path). Null when
  // the template cannot be read or built.
  QWidget* Create(const QString& file, const QString& skinFolder, IControlFactory* factory = nullptr,
                  QWidget* parent = nullptr);

 private:
  QString path_;
  QString skinDir_;
  QByteArray xml_;
};
