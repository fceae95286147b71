#pragma once
#include <QPointer>
#include <QString>
#include <string>
#include <vector>

#include "ui/lib/SkinLoader.h"
#include "ui/lib/WindowImplBase.h"

class CComboUI;
class QAbstractButton;
class QLineEdit;

// The login window: account and password, the accounts remembered in the
// local store (AppContext.savedAccounts) in "UserComBo", and the automatic
// login of the first remembered account three seconds after the first showing
// in a process. ShowModal gives kIdOk when the user logs in (or the automatic
// login fires), with userName, password, rememberPassword and autoLogin of
// AppContext taken from the window, and kIdCancel for "BtnCancel".
class CLoginWin : public WindowImplBase {
 public:
  static constexpr unsigned kAutoLoginTimer = 1074;
  static constexpr unsigned kAutoLoginDelayMs = 3000;

  CLoginWin();
  ~CLoginWin() override;

  QString GetWindowClassName() const override { return QStringLiteral("DUILoninWin"); }

 protected:
  QString GetSkinFile() const override { return QStringLiteral("LoginWnd.xml"); }
  void InitWindow() override;
  void Notify(TNotifyUI& msg) override;
  bool HandleMessage(const mc::WindowMessage& message) override;
  bool ResponseDefaultKeyEvent(int key) override;
  // The caption does not maximise the window.
  void OnCaptionDoubleClick() override {}

 private:
  // A row's delete button and the account (index into savedAccounts) it removes.
  struct DeleteBinding {
    QPointer<QWidget> button;
    QPointer<QWidget> row;
    std::size_t account = 0;
  };

  void loadAccounts();
  bool addAccountRow(std::size_t index);
  void accountChosen(int index);
  void autoLoginClicked();
  void rememberClicked();
  void deleteAccount(const DeleteBinding& binding);
  void onReturn(const QWidget* sender);
  // Copies the four login values from the controls into AppContext.
  void storeLoginValues();
  void submit();

  // Marks of savedAccounts for the account named in "UserEdit".
  void setAutoLoginMark(bool on);
  void setRememberMark(bool on);

  bool isTicked(const QAbstractButton* option) const;
  void setTicked(QAbstractButton* option, bool ticked);
  std::string typedName() const;

  QPointer<QAbstractButton> okButton_;
  QPointer<QAbstractButton> cancelButton_;
  QPointer<CComboUI> userCombo_;
  QPointer<QAbstractButton> remember_;
  QPointer<QAbstractButton> autoLogin_;
  QPointer<QLineEdit> userEdit_;
  QPointer<QLineEdit> password_;
  std::vector<DeleteBinding> deleteBindings_;
  CDialogBuilder rowBuilder_;
  bool returnInAccount_ = false;  // a Return in "UserEdit" moved the focus on
};
