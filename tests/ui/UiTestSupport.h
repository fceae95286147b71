#pragma once
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"
#include "ui/lib/WindowImplBase.h"

namespace mc::test {

// Runs the event loop until `done` holds or `milliseconds` pass; true when it
// held.
bool waitUntil(const std::function<bool()>& done, int milliseconds = 5000);
// Runs the event loop for a while (for things that must NOT happen).
void spinFor(int milliseconds);

// A skin folder of the test's own: layouts are written into it by name.
class TestSkin {
 public:
  QString dir() const { return QString::fromStdString(folder_.path()); }
  void write(const QString& name, const QString& content) const;
  // A layout: the root widget `root` holding `body` (widget XML items of a
  // vertical layout), with custom widget declarations and button groups.
  void writeLayout(const QString& name, const QString& body, const QString& extra = {},
                   const QString& rootAttributes = {}) const;

 private:
  TempFolder folder_;
};

// The XML of one widget item inside a layout.
QString widgetItem(const QString& className, const QString& name, const QString& properties = {});

struct Notification {
  QString type;
  QString sender;
  bool senderChecked = false;  // a button's checked state when it was told
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

// A window over a test layout that records what reaches it.
class TestWindow : public WindowImplBase {
 public:
  TestWindow(QString skinDir, QString layout, QString className = "TestWindow");

  QString GetWindowClassName() const override { return className_; }

  std::vector<Notification> notes;
  std::vector<mc::WindowMessage> messages;
  std::function<void(TNotifyUI&)> onNotify;
  std::function<bool(const mc::WindowMessage&)> onMessage;
  std::function<QWidget*(const QString&, QWidget*)> factory;
  std::function<void()> onInit;
  bool initialised = false;
  int notesBeforeInit = 0;

  // The recorded notifications of one type, in order.
  std::vector<Notification> notesOf(const QString& type) const;

  using WindowImplBase::host;

 protected:
  QString GetSkinFolder() const override { return skinDir_; }
  QString GetSkinFile() const override { return layout_; }
  void InitWindow() override;
  void Notify(TNotifyUI& msg) override;
  bool HandleMessage(const mc::WindowMessage& message) override;
  QWidget* CreateControl(const QString& className, QWidget* parent) override;

 private:
  QString skinDir_;
  QString layout_;
  QString className_;
};

// Calls `act` with the window's widget once a visible top-level window of that
// class appears (polling from the event loop); gives up after `milliseconds`.
void whenWindowShown(const QString& className, std::function<void(QWidget*)> act, int milliseconds = 5000);
// Clicks the named control of that window once it is shown.
void clickWhenShown(const QString& className, const QString& control);

// A GIF animation of `frames` (palette indices 0 … 3 into `colours`), each
// shown `delayCs` hundredths of a second.
QByteArray makeGif(int width, int height, const std::vector<std::vector<std::uint8_t>>& frames,
                   const QColor (&colours)[4], int delayCs);

// Whether two colours match within `tolerance` per channel.
bool near(QColor a, QColor b, int tolerance = 2);

// Saves a picture for a look by eye when MC_UI_SNAPSHOT_DIR is set.
void saveSnapshot(const QImage& image, const QString& name);

}  // namespace mc::test
