#pragma once
#include <QString>
#include <functional>

#include "ui/lib/WindowImplBase.h"

// The notice shown after a snapshot or a recording has been saved: "保存成功"
// and the capture folder, with a button that opens the folder. Layout
// "MessageBox.xml" with "TextOne" (label), "TextTwo" (edit), "BtnOK",
// "BtnOpen", "CloseBtn".
class CPictrueDlg : public WindowImplBase {
 public:
  // Opens a folder in the system's file browser; true when it could.
  using FolderOpener = std::function<bool(const QString& folder)>;

  // Without an opener the desktop's file browser is used.
  explicit CPictrueDlg(FolderOpener opener = {}, QString skinFolder = QStringLiteral("Skin"));

  // Shows the notice modally over `owner` (title "CPictrueDlg", 500×400,
  // centred): 1 for "BtnOK", 2 for "CloseBtn".
  static int Show(mc::WindowHandle owner);
  int Run(mc::WindowHandle owner);

  QString GetWindowClassName() const override { return QStringLiteral("PictrueDlg"); }

 protected:
  QString GetSkinFolder() const override { return skinFolder_; }
  QString GetSkinFile() const override { return QStringLiteral("MessageBox.xml"); }
  void InitWindow() override;
  void Notify(TNotifyUI& msg) override;
  bool ResponseDefaultKeyEvent(int key) override;

 private:
  FolderOpener opener_;
  QString skinFolder_;
  QString folder_;
};
