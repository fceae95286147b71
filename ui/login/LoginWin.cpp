#include "ui/login/LoginWin.h"

#include <QAbstractButton>
#include <QLineEdit>

#include "core/AppContext.h"
#include "store/Accounts.h"
#include "store/LocalDb.h"
#include "ui/controls/PopMessageBox.h"
#include "ui/lib/ComboUI.h"
#include "ui/lib/ControlOps.h"
#include "ui/lib/WindowRegistry.h"

namespace {

// Texts of AppContext are in the system code page, UTF-8 here.
QString fromAnsi(const std::string& text) { return QString::fromStdString(text); }
std::string toAnsi(const QString& text) { return text.toStdString(); }

const QString kRowTemplate = QStringLiteral("User_List.xml");

}  // namespace

CLoginWin::CLoginWin() = default;
CLoginWin::~CLoginWin() = default;

void CLoginWin::InitWindow() {
  okButton_ = FindControl<QAbstractButton>("BtnOK");
  cancelButton_ = FindControl<QAbstractButton>("BtnCancel");
  userCombo_ = FindControl<CComboUI>("UserComBo");
  remember_ = FindControl<QAbstractButton>("Remeber");
  autoLogin_ = FindControl<QAbstractButton>("AutoLogin");
  userEdit_ = FindControl<QLineEdit>("UserEdit");
  password_ = FindControl<QLineEdit>("PassWord");
  if (userEdit_) userEdit_->setFocus();
  if (userCombo_) userCombo_->RemoveAll();
  deleteBindings_.clear();
  loadAccounts();
}

void CLoginWin::loadAccounts() {
  AppContext& context = AppContext::instance();
  context.savedAccounts.clear();
  const std::shared_ptr<CLocalDb> db = context.localDb;
  if (!db || !mc::loadSavedAccounts(*db, context.savedAccounts) || !userCombo_) return;

  // Row i is account i: without its template no row is made at all.
  for (std::size_t i = 0; i < context.savedAccounts.size(); ++i)
    if (!addAccountRow(i)) break;

  if (userCombo_->GetCount() == 0 || context.savedAccounts.empty()) {
    setTicked(autoLogin_, false);
    return;
  }
  userCombo_->SelectItem(0);
  const SavedAccount first = context.savedAccounts.front();
  if (userEdit_) userEdit_->setText(fromAnsi(first.name));
  if (first.rememberPassword) {
    if (password_) password_->setText(fromAnsi(first.password));
    setTicked(remember_, true);
  } else {
    setTicked(remember_, false);
  }

  if (first.autoLogin && context.autoLoginPending) {
    setTicked(autoLogin_, true);
    storeLoginValues();
    SetTimer(kAutoLoginTimer, kAutoLoginDelayMs);
    context.autoLoginPending = false;
  } else {
    setTicked(autoLogin_, false);
  }
}

bool CLoginWin::addAccountRow(std::size_t index) {
  const SavedAccount& account = AppContext::instance().savedAccounts[index];
  QWidget* row = rowBuilder_.Create(kRowTemplate, GetSkinFolder(), this);
  if (!row) return false;
  if (!userCombo_->Add(row)) {
    delete row;
    return false;
  }
  if (QWidget* text = FindSubControlByName(row, "user_text")) ui::SetText(text, fromAnsi(account.name));
  if (QWidget* button = FindSubControlByName(row, "delbtn")) deleteBindings_.push_back({button, row, index});
  return true;
}

void CLoginWin::Notify(TNotifyUI& msg) {
  if (msg.type == ui::kNotifyClick && msg.sender) {
    if (msg.sender == okButton_) {
      submit();
    } else if (msg.sender == cancelButton_) {
      Close(ui::kIdCancel);
    } else if (msg.sender == autoLogin_) {
      autoLoginClicked();
    } else if (msg.sender == remember_) {
      rememberClicked();
    } else {
      for (const DeleteBinding& binding : deleteBindings_) {
        if (binding.button == msg.sender) {
          deleteAccount(binding);
          break;
        }
      }
    }
  } else if (msg.type == ui::kNotifyItemSelect && msg.sender && msg.sender == userCombo_) {
    accountChosen(static_cast<int>(msg.wParam));
  } else if (msg.type == ui::kNotifyReturn) {
    onReturn(msg.sender);
  } else if (msg.type == ui::kNotifySetFocus && msg.sender) {
    if (msg.sender == userEdit_) returnInAccount_ = false;
    else if (msg.sender == password_) password_->selectAll();
  }
  if (!IsClosed()) WindowImplBase::Notify(msg);
}

bool CLoginWin::HandleMessage(const mc::WindowMessage& message) {
  if (message.id == ui::kMsgTimer && message.wParam == kAutoLoginTimer) {
    KillTimer(kAutoLoginTimer);
    Close(ui::kIdOk);
    return true;
  }
  return WindowImplBase::HandleMessage(message);
}

bool CLoginWin::ResponseDefaultKeyEvent(int key) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    submit();
    return true;
  }
  return false;
}

void CLoginWin::accountChosen(int index) {
  const auto& accounts = AppContext::instance().savedAccounts;
  if (index < 0 || static_cast<std::size_t>(index) >= accounts.size()) return;
  const SavedAccount account = accounts[static_cast<std::size_t>(index)];
  if (account.deleted) return;
  if (userEdit_) userEdit_->setText(fromAnsi(account.name));
  if (password_) password_->setText(account.rememberPassword ? fromAnsi(account.password) : QString());
  setTicked(remember_, account.rememberPassword);
  setTicked(autoLogin_, account.autoLogin);
}

// The click arrives before the option changes its own state.
void CLoginWin::autoLoginClicked() {
  if (isTicked(autoLogin_)) {
    setAutoLoginMark(false);
    return;
  }
  if (!isTicked(remember_)) setTicked(remember_, true);
  setRememberMark(true);
  setAutoLoginMark(true);
}

void CLoginWin::rememberClicked() {
  if (isTicked(remember_)) {
    if (isTicked(autoLogin_)) setTicked(autoLogin_, false);
    setRememberMark(false);
    if (password_) password_->clear();
    setAutoLoginMark(false);
    return;
  }
  setAutoLoginMark(true);
  setRememberMark(true);
}

void CLoginWin::setAutoLoginMark(bool on) {
  const std::string name = typedName();
  for (SavedAccount& account : AppContext::instance().savedAccounts) {
    if (account.name == name) account.autoLogin = on;
    else if (on) account.autoLogin = false;  // one account logs in by itself at most
  }
}

void CLoginWin::setRememberMark(bool on) {
  const std::string name = typedName();
  for (SavedAccount& account : AppContext::instance().savedAccounts) {
    if (account.name != name) continue;
    account.rememberPassword = on;
    if (!on) account.password.clear();
  }
}

void CLoginWin::deleteAccount(const DeleteBinding& binding) {
  AppContext& context = AppContext::instance();
  if (binding.account >= context.savedAccounts.size()) return;
  const std::string name = context.savedAccounts[binding.account].name;
  for (SavedAccount& account : context.savedAccounts)
    if (account.name == name) account.deleted = true;
  if (userEdit_) userEdit_->clear();
  if (password_) password_->clear();
  if (const std::shared_ptr<CLocalDb> db = context.localDb) db->DeleteUser(name);
  if (binding.row) binding.row->setVisible(false);
}

// Return in an edit: the Return that follows one in "UserEdit" logs in, and
// one in "UserEdit" moves on to "PassWord". Return in "PassWord" always logs
// in: it stands for the window's own Return handling, which the edits take.
void CLoginWin::onReturn(const QWidget* sender) {
  if (returnInAccount_ || (sender && sender == password_)) {
    submit();
    if (IsClosed()) return;
  }
  const QWidget* focus = GetWidget() ? GetWidget()->focusWidget() : nullptr;
  if (userEdit_ && password_ && (focus == userEdit_ || userEdit_->hasFocus())) {
    password_->setFocus();
    returnInAccount_ = true;
  }
}

void CLoginWin::storeLoginValues() {
  AppContext& context = AppContext::instance();
  context.userName = userEdit_ ? toAnsi(userEdit_->text()) : std::string();
  context.password = password_ ? toAnsi(password_->text()) : std::string();
  context.rememberPassword = isTicked(remember_);
  context.autoLogin = isTicked(autoLogin_);
}

void CLoginWin::submit() {
  // The user logs in himself: a pending automatic login must not fire while
  // the message below is open, nor after it with other values.
  KillTimer(kAutoLoginTimer);
  storeLoginValues();
  const AppContext& context = AppContext::instance();
  if (context.userName.empty() || context.password.empty()) {
    CPopMessageBox::ShowMessage(GetHWND(), QStringLiteral("账号或密码不能为空"));
    return;
  }
  Close(ui::kIdOk);
}

bool CLoginWin::isTicked(const QAbstractButton* option) const { return option && option->isChecked(); }

void CLoginWin::setTicked(QAbstractButton* option, bool ticked) {
  if (option && option->isChecked() != ticked) option->setChecked(ticked);
}

std::string CLoginWin::typedName() const { return userEdit_ ? toAnsi(userEdit_->text()) : std::string(); }
