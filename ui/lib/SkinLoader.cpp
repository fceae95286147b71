#include "ui/lib/SkinLoader.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QUiLoader>
#include <QVector>

#include "ui/lib/ComboUI.h"
#include "ui/lib/ControlOps.h"
#include "ui/lib/DateTimeUI.h"
#include "ui/lib/GifAnimUI.h"
#include "ui/lib/ListUI.h"
#include "ui/lib/Notify.h"
#include "ui/lib/ProgressUI.h"
#include "ui/lib/SkinPaths.h"
#include "ui/lib/TabLayoutUI.h"

namespace ui {
namespace {

// One loader for the whole UI thread. It lives as a child of the application
// object and keeps a stack of factories, so a custom control may itself load
// an item template while its window's layout is being built.
class SkinLoader : public QUiLoader {
 public:
  explicit SkinLoader(QObject* parent) : QUiLoader(parent) {}

  QWidget* load(QIODevice* device, QWidget* parent, IControlFactory* factory, QString* error) {
    factories_.push_back(factory);
    QWidget* root = QUiLoader::load(device, parent);
    factories_.pop_back();
    if (!root && error) *error = errorString();
    return root;
  }

  QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
    QWidget* widget = createLibraryControl(className, parent);
    if (!widget && !factories_.isEmpty() && factories_.back())
      widget = factories_.back()->CreateControl(className, parent);
    if (!widget) widget = QUiLoader::createWidget(className, parent, name);
    if (!widget) return nullptr;
    if (!name.isEmpty()) widget->setObjectName(name);
    hookControl(widget);
    return widget;
  }

 private:
  static QWidget* createLibraryControl(const QString& className, QWidget* parent) {
    if (QAbstractButton* button = createButton(className, parent)) return button;
    if (className == "QStackedWidget" || className == "CTabLayoutUI") return new CTabLayoutUI(parent);
    if (className == "QProgressBar" || className == "CProgressUI") return new CProgressUI(parent);
    if (className == "QDateTimeEdit" || className == "QDateEdit" || className == "CDateTimeUI")
      return new CDateTimeUI(parent);
    if (className == "CListUI") return new CListUI(parent);
    if (className == "CComboUI") return new CComboUI(parent);
    if (className == "CGifAnimUI") return new CGifAnimUI(parent);
    if (className == "ListContainerElementUI" || className == "CListContainerElementUI")
      return new CListContainerElementUI(parent);
    if (className == "CListTextElementUI") return new CListTextElementUI(parent);
    return nullptr;
  }

  QVector<IControlFactory*> factories_;
};

SkinLoader* loader() {
  static QPointer<SkinLoader> instance;
  if (!instance) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return nullptr;
    // QUiLoader loads Qt Designer's widget plugins from the library paths when
    // it is constructed (the web view plugin brings up the whole web engine).
    // Layouts never need them: custom controls come from the windows.
    const QStringList paths = QCoreApplication::libraryPaths();
    QCoreApplication::setLibraryPaths({});
    instance = new SkinLoader(app);
    QCoreApplication::setLibraryPaths(paths);
    instance->clearPluginPaths();
  }
  return instance;
}

}  // namespace

QWidget* loadLayoutData(const QByteArray& xml, const QString& skinDir, QWidget* parent, IControlFactory* factory,
                        QString* error) {
  SkinLoader* l = loader();
  if (!l) {
    if (error) *error = "no application object";
    return nullptr;
  }
  QBuffer buffer;
  buffer.setData(xml);
  buffer.open(QIODevice::ReadOnly);
  QWidget* root = l->load(&buffer, parent, factory, error);
  if (root) applySkinAttributes(root, skinDir);
  return root;
}

QWidget* loadLayout(const QString& path, const QString& skinDir, QWidget* parent, IControlFactory* factory,
                    QString* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = path + ": " + file.errorString();
    return nullptr;
  }
  QString reason;
  QWidget* root = loadLayoutData(file.readAll(), skinDir, parent, factory, &reason);
  if (!root && error) *error = path + ": " + reason;
  return root;
}

}  // namespace ui

QWidget* CDialogBuilder::Create(const QString& file, const QString& skinFolder, IControlFactory* factory,
                                QWidget* parent) {
  const QString skinDir = ui::skinFolderPath(skinFolder);
  const QString path = QDir(skinDir).filePath(file);
  if (path != path_ || xml_.isEmpty()) {
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) return nullptr;
    xml_ = source.readAll();
    path_ = path;
    skinDir_ = skinDir;
  }
  return ui::loadLayoutData(xml_, skinDir_, parent, factory);
}
