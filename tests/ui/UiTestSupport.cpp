#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace mc::test {

bool waitUntil(const std::function<bool()>& done, int milliseconds) {
  QDeadlineTimer deadline(milliseconds);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  return true;
}

void spinFor(int milliseconds) {
  QDeadlineTimer deadline(milliseconds);
  while (!deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void TestSkin::write(const QString& name, const QString& content) const {
  QFile file(QDir(dir()).filePath(name));
  QDir().mkpath(QFileInfo(file).path());
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(content.toUtf8());
}

void TestSkin::writeLayout(const QString& name, const QString& body, const QString& extra,
                           const QString& rootAttributes) const {
  write(name, QString(R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>Root</class>
 <widget class="QWidget" name="Root">
  <property name="geometry"><rect><x>0</x><y>0</y><width>320</width><height>240</height></rect></property>
  %3
  <layout class="QVBoxLayout" name="rootLayout">
   %1
  </layout>
 </widget>
 %2
</ui>
)").arg(body, extra, rootAttributes));
}

QString widgetItem(const QString& className, const QString& name, const QString& properties) {
  return QString(R"(<item><widget class="%1" name="%2">%3</widget></item>)").arg(className, name, properties);
}

TestWindow::TestWindow(QString skinDir, QString layout, QString className)
    : skinDir_(std::move(skinDir)), layout_(std::move(layout)), className_(std::move(className)) {}

std::vector<Notification> TestWindow::notesOf(const QString& type) const {
  std::vector<Notification> out;
  for (const auto& n : notes)
    if (n.type == type) out.push_back(n);
  return out;
}

void TestWindow::InitWindow() {
  notesBeforeInit = static_cast<int>(notes.size());
  initialised = true;
  if (onInit) onInit();
}

void TestWindow::Notify(TNotifyUI& msg) {
  Notification n{msg.type, msg.sender ? msg.sender->objectName() : QString(), false, msg.wParam, msg.lParam};
  if (auto* button = qobject_cast<QAbstractButton*>(msg.sender)) n.senderChecked = button->isChecked();
  notes.push_back(n);
  if (onNotify) onNotify(msg);
  WindowImplBase::Notify(msg);
}

bool TestWindow::HandleMessage(const mc::WindowMessage& message) {
  if (message.id >= 1024) messages.push_back(message);
  return onMessage ? onMessage(message) : false;
}

QWidget* TestWindow::CreateControl(const QString& className, QWidget* parent) {
  return factory ? factory(className, parent) : nullptr;
}

void whenWindowShown(const QString& className, std::function<void(QWidget*)> act, int milliseconds) {
  auto* timer = new QTimer(qApp);
  auto deadline = std::make_shared<QDeadlineTimer>(milliseconds);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, className, act, deadline] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == className && w->isVisible()) {
        timer->stop();
        timer->deleteLater();
        act(w);
        return;
      }
    }
    if (deadline->hasExpired()) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(5);
}

void clickWhenShown(const QString& className, const QString& control) {
  whenWindowShown(className, [control](QWidget* window) {
    auto* button = window->findChild<QAbstractButton*>(control);
    ASSERT_NE(button, nullptr) << control.toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
  });
}

namespace {

// LZW data of a GIF frame with 2-bit pixels: every pixel code is preceded by
// a clear code, so the code width stays at 3 bits.
QByteArray lzwFrame(const std::vector<std::uint8_t>& pixels) {
  QByteArray out;
  std::uint32_t bits = 0;
  int count = 0;
  auto put = [&](std::uint32_t code) {
    bits |= code << count;
    count += 3;
    while (count >= 8) {
      out.append(static_cast<char>(bits & 0xFF));
      bits >>= 8;
      count -= 8;
    }
  };
  for (std::uint8_t p : pixels) {
    put(4);  // clear
    put(p & 3);
  }
  put(5);  // end of information
  if (count > 0) out.append(static_cast<char>(bits & 0xFF));
  return out;
}

void put16(QByteArray& out, int value) {
  out.append(static_cast<char>(value & 0xFF));
  out.append(static_cast<char>((value >> 8) & 0xFF));
}

}  // namespace

QByteArray makeGif(int width, int height, const std::vector<std::vector<std::uint8_t>>& frames,
                   const QColor (&colours)[4], int delayCs) {
  QByteArray gif("GIF89a");
  put16(gif, width);
  put16(gif, height);
  gif.append(char(0x91)).append(char(0)).append(char(0));  // 4-colour global table
  for (const QColor& c : colours) gif.append(char(c.red())).append(char(c.green())).append(char(c.blue()));
  gif.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);  // loop for ever
  for (const auto& frame : frames) {
    gif.append("\x21\xF9\x04\x00", 4);
    put16(gif, delayCs);
    gif.append(char(0)).append(char(0));
    gif.append(char(0x2C));
    put16(gif, 0);
    put16(gif, 0);
    put16(gif, width);
    put16(gif, height);
    gif.append(char(0));
    gif.append(char(2));  // minimum code size
    const QByteArray data = lzwFrame(frame);
    for (qsizetype i = 0; i < data.size(); i += 255) {
      const QByteArray block = data.mid(i, 255);
      gif.append(char(block.size()));
      gif.append(block);
    }
    gif.append(char(0));
  }
  gif.append(char(0x3B));
  return gif;
}

bool near(QColor a, QColor b, int tolerance) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

void saveSnapshot(const QImage& image, const QString& name) {
  const QString dir = qEnvironmentVariable("MC_UI_SNAPSHOT_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  image.save(QDir(dir).filePath(name + ".png"));
}

}  // namespace mc::test
