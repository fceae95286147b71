#pragma once
#include <QPointer>
#include <QString>
#include <memory>
#include <string>

#include "ui/lib/WindowImplBase.h"

namespace mc {
class SharedText;
}
class OThread;
class QProgressBar;

// The start-up window: its worker "DoLogic" connects to the logic server,
// logs the account of AppContext in and loads the catalogue, and the window
// shows each step's text in "InitMsg" and its percentage in "InitPress".
// ShowModal gives kIdOk when all three steps succeeded, kIdCancel (2) after
// a failure, once the failing step's text has been shown in a message box.
// The worker is stopped and joined when the window is destroyed; a step
// already waiting on the network ends within its own time limit first.
class CWelcomeDlg : public WindowImplBase {
 public:
  CWelcomeDlg();
  ~CWelcomeDlg() override;

  QString GetWindowClassName() const override { return QStringLiteral("DUILoginWin"); }

  // The text of the step the worker reported last (UI thread or any).
  std::string currentText() const;

 protected:
  QString GetSkinFile() const override { return QStringLiteral("Welcome.xml"); }
  void InitWindow() override;
  bool HandleMessage(const mc::WindowMessage& message) override;

 private:
  // Written by the worker before each message it posts, read by the window
  // when the message arrives.
  std::shared_ptr<mc::SharedText> text_;
  std::shared_ptr<OThread> worker_;
  QPointer<QWidget> initMsg_;
  QPointer<QProgressBar> initPress_;
};
