#pragma once
#include <QString>
#include <cstdint>
#include <string>

#include "ui/lib/WindowImplBase.h"

// The client's message box. Every message to the operator goes through it:
// the one-button form (kind 0, layout "MessageBoxYES.xml") with the texts
// "确定" / "取消", or the two-button form (kind 1, "MessageBoxYESNO.xml") for
// questions. Controls used when the layout has them: "TextTitle", "TextOne",
// "TextTwo", "CloseBtn", "BtnOK", "BtnCancel".
class CPopMessageBox : public WindowImplBase {
 public:
  static constexpr std::int32_t kOneButton = 0;
  static constexpr std::int32_t kTwoButtons = 1;

  // Shows the box modally over `owner` (kNoWindow: over nothing) and returns
  // 1 when "BtnOK" was clicked, 2 for "BtnCancel" or "CloseBtn" (also for
  // Escape and for a box that could not be shown). Callable from any thread:
  // a worker waits for the answer while the UI thread runs the box.
  static int Show(mc::WindowHandle owner, std::int32_t kind, const QString& firstLine, const QString& secondLine,
                  const QString& okText, const QString& cancelText);
  // The same with UTF-8 texts.
  static int Show(mc::WindowHandle owner, std::int32_t kind, const std::string& firstLine,
                  const std::string& secondLine, const std::string& okText, const std::string& cancelText);
  // A message in the one-button form with the texts "确定" / "取消".
  static int ShowMessage(mc::WindowHandle owner, const QString& firstLine, const QString& secondLine = {});

  CPopMessageBox(std::int32_t kind, QString firstLine, QString secondLine, QString okText, QString cancelText,
                 QString skinFolder = QStringLiteral("Skin"));

  // Creates the box over `owner`, centres it and runs it modally (UI thread).
  int Run(mc::WindowHandle owner);

  QString GetWindowClassName() const override { return QStringLiteral("MyMessageBox"); }

 protected:
  QString GetSkinFolder() const override { return skinFolder_; }
  QString GetSkinFile() const override;
  void InitWindow() override;
  void Notify(TNotifyUI& msg) override;
  bool ResponseDefaultKeyEvent(int key) override;

 private:
  std::int32_t kind_;
  QString firstLine_;
  QString secondLine_;
  QString okText_;
  QString cancelText_;
  QString titleText_;  // always empty
  QString skinFolder_;
};
