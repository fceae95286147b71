// The login window over a real local store: remembered accounts in the
// account list, the automatic login, the check boxes, submitting, Return in
// the edits, deleting an account, the caption.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <memory>

#include "core/AppContext.h"
#include "store/LocalDb.h"
#include "tests/support/TempFolder.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/lib/ComboUI.h"
#include "ui/lib/ListUI.h"
#include "ui/lib/WindowStyle.h"
#include "ui/login/LoginWin.h"

namespace {

const QString kLoginClass = "DUILoninWin";
const QString kBoxClass = "MyMessageBox";

struct Account {
  std::string name;
  std::string password;
  bool remember = false;
  bool autoLogin = false;
};

class LoginWin : public ::testing::Test {
 protected:
  void SetUp() override {
    db = std::make_shared<CLocalDb>();
    ASSERT_TRUE(db->Open(folder.file("paramInfo.db")));
    AppContext& context = AppContext::instance();
    context.localDb = db;
    context.autoLoginPending = true;
    context.savedAccounts.clear();
    context.userName.clear();
    context.password.clear();
    context.rememberPassword = false;
    context.autoLogin = false;
  }
  void TearDown() override { AppContext::instance().localDb.reset(); }

  // Stores the accounts in the local store, the first one as the most recent login.
  void remember(const std::vector<Account>& accounts) {
    int second = 59;
    for (const Account& account : accounts) {
      UserRow row;
      row.userName = account.name;
      row.userId = "id-" + account.name;
      row.userPwd = account.password;
      row.remember = account.remember ? 1 : 0;
      row.autoLogin = account.autoLogin ? 1 : 0;
      row.LoginTime = "20240501-10:00:" + std::to_string(second--);
      ASSERT_TRUE(db->InsertUser(row));
    }
  }

  std::vector<std::string> storedNames() {
    std::vector<UserRow> rows;
    EXPECT_TRUE(db->LoadUsers(rows));
    std::vector<std::string> names;
    for (const UserRow& row : rows) names.push_back(row.userName);
    return names;
  }

  // Creates the window as the program does; it shows at once.
  static void open(CLoginWin& window, std::uint32_t style = ui::UI_WNDSTYLE_DIALOG) {
    ASSERT_NE(window.Create(mc::kNoWindow, "登录", style, 0, 0, 0, 900, 600), mc::kNoWindow);
    window.CenterWindow();
    window.GetWidget()->activateWindow();
  }

  static QLineEdit* edit(CLoginWin& window, const char* name) { return window.FindControl<QLineEdit>(name); }
  static QAbstractButton* button(CLoginWin& window, const char* name) {
    return window.FindControl<QAbstractButton>(name);
  }
  static CComboUI* combo(CLoginWin& window) { return window.FindControl<CComboUI>("UserComBo"); }

  static const SavedAccount& saved(std::size_t index) { return AppContext::instance().savedAccounts.at(index); }

  mc::test::TempFolder folder;
  std::shared_ptr<CLocalDb> db;
};

TEST_F(LoginWin, RememberedAccountsFillTheListAndTheFields) {
  remember({{"alice", "pa", true, false}, {"bob", "pb", false, false}, {"carol", "pc", true, true}});
  AppContext::instance().autoLoginPending = false;
  CLoginWin window;
  open(window);
  CComboUI* list = combo(window);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->GetCount(), 3);
  const char* names[] = {"alice", "bob", "carol"};
  for (int i = 0; i < 3; ++i) {
    auto* text = qobject_cast<QLabel*>(WindowImplBase::FindSubControlByName(list->GetItemAt(i), "user_text"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), names[i]);
    EXPECT_NE(WindowImplBase::FindSubControlByName(list->GetItemAt(i), "delbtn"), nullptr);
  }
  EXPECT_EQ(list->GetCurSel(), 0);
  ASSERT_EQ(AppContext::instance().savedAccounts.size(), 3u);
  EXPECT_EQ(saved(1).password, "") << "a password that is not remembered is not offered";

  struct Shown {
    int row;
    QString name, password;
    bool remember, autoLogin;
  };
  // The first line is what the window opens with.
  for (const Shown& s : {Shown{0, "alice", "pa", true, false}, Shown{2, "carol", "pc", true, true},
                         Shown{1, "bob", "", false, false}, Shown{0, "alice", "pa", true, false}}) {
    SCOPED_TRACE(s.row);
    list->SelectItem(s.row);
    EXPECT_EQ(edit(window, "UserEdit")->text(), s.name);
    EXPECT_EQ(edit(window, "PassWord")->text(), s.password);
    EXPECT_EQ(button(window, "Remeber")->isChecked(), s.remember);
    EXPECT_EQ(button(window, "AutoLogin")->isChecked(), s.autoLogin);
  }
  EXPECT_FALSE(window.IsClosed());
}

TEST_F(LoginWin, UnreadableStoreLeavesTheListEmptyAndLoginWorks) {
  AppContext::instance().localDb.reset();
  CLoginWin window;
  open(window);
  EXPECT_EQ(combo(window)->GetCount(), 0);
  EXPECT_TRUE(AppContext::instance().savedAccounts.empty());
  edit(window, "UserEdit")->setText("alice");
  edit(window, "PassWord")->setText("pa");
  QTest::mouseClick(button(window, "BtnOK"), Qt::LeftButton);
  EXPECT_EQ(window.GetCloseCode(), 1);
  EXPECT_EQ(AppContext::instance().userName, "alice");
}

TEST_F(LoginWin, OnlyTheFirstAccountLogsInByItself) {
  remember({{"alice", "pa", true, false}, {"bob", "pb", true, true}, {"carol", "pc", true, false}});
  CLoginWin window;
  open(window);
  EXPECT_FALSE(button(window, "AutoLogin")->isChecked());
  EXPECT_TRUE(AppContext::instance().autoLoginPending) << "left for a later showing";
  QTimer::singleShot(3600, [&] { QTest::mouseClick(button(window, "BtnCancel"), Qt::LeftButton); });
  EXPECT_EQ(window.ShowModal(), 2) << "the window did not log in by itself";
}

TEST_F(LoginWin, AutomaticLoginAfterThreeSecondsOnTheFirstShowingOnly) {
  remember({{"alice", "pa", true, true}, {"bob", "pb", true, false}});
  {
    QElapsedTimer clock;
    clock.start();
    CLoginWin window;
    open(window);
    EXPECT_TRUE(button(window, "AutoLogin")->isChecked());
    EXPECT_FALSE(AppContext::instance().autoLoginPending);
    EXPECT_EQ(window.ShowModal(), 1);
    EXPECT_GE(clock.elapsed(), 2800) << "window timers may fire up to 5 % early";
    EXPECT_LT(clock.elapsed(), 10000);
    const AppContext& context = AppContext::instance();
    EXPECT_EQ(context.userName, "alice");
    EXPECT_EQ(context.password, "pa");
    EXPECT_TRUE(context.rememberPassword);
    EXPECT_TRUE(context.autoLogin);
  }
  CLoginWin second;
  open(second);
  EXPECT_FALSE(button(second, "AutoLogin")->isChecked());
  EXPECT_EQ(edit(second, "PassWord")->text(), "pa");
  QTimer::singleShot(3600, [&] { QTest::mouseClick(button(second, "BtnCancel"), Qt::LeftButton); });
  EXPECT_EQ(second.ShowModal(), 2) << "a second showing waits for the user";
}

TEST_F(LoginWin, CancelWithinTheDelayStopsTheAutomaticLogin) {
  remember({{"alice", "pa", true, true}});
  CLoginWin window;
  open(window);
  QTimer::singleShot(300, [&] { QTest::mouseClick(button(window, "BtnCancel"), Qt::LeftButton); });
  EXPECT_EQ(window.ShowModal(), 2);
}

// The check boxes on the account named in "UserEdit" (alice); bob is the other
// remembered account and starts with the automatic login mark.
TEST_F(LoginWin, CheckBoxesChangeTheMarksOfTheNamedAccount) {
  struct Case {
    const char* what;
    const char* click;
    bool rememberBefore, autoBefore;  // tick states before the click
    bool rememberAfter, autoAfter;
    bool aliceRemember, aliceAuto;
    std::string alicePassword;
    bool bobAuto;
    QString passwordField;
  };
  const Case cases[] = {
      {"auto-login on ticks remember", "AutoLogin", false, false, true, true, true, true, "pa", false, "pa"},
      {"auto-login on", "AutoLogin", true, false, true, true, true, true, "pa", false, "pa"},
      {"auto-login off", "AutoLogin", true, true, true, false, true, false, "pa", true, "pa"},
      {"remember off", "Remeber", true, false, false, false, false, false, "", true, ""},
      {"remember off unticks auto-login", "Remeber", true, true, false, false, false, false, "", true, ""},
      {"remember on", "Remeber", false, false, true, false, true, true, "pa", false, "pa"},
  };
  remember({{"alice", "pa", true, false}, {"bob", "pb", true, true}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AppContext::instance().autoLoginPending = false;
    CLoginWin window;
    open(window);
    ASSERT_EQ(edit(window, "UserEdit")->text(), "alice");
    button(window, "Remeber")->setChecked(c.rememberBefore);
    button(window, "AutoLogin")->setChecked(c.autoBefore);
    const_cast<SavedAccount&>(saved(0)).autoLogin = c.autoBefore;

    QTest::mouseClick(button(window, c.click), Qt::LeftButton);

    EXPECT_EQ(button(window, "Remeber")->isChecked(), c.rememberAfter);
    EXPECT_EQ(button(window, "AutoLogin")->isChecked(), c.autoAfter);
    EXPECT_EQ(saved(0).rememberPassword, c.aliceRemember);
    EXPECT_EQ(saved(0).autoLogin, c.aliceAuto);
    EXPECT_EQ(saved(0).password, c.alicePassword);
    EXPECT_EQ(saved(1).autoLogin, c.bobAuto);
    EXPECT_EQ(saved(1).password, "pb");
    EXPECT_EQ(edit(window, "PassWord")->text(), c.passwordField);
    EXPECT_FALSE(window.IsClosed());
  }
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"alice", "bob"})) << "the marks stay in memory";
}

TEST_F(LoginWin, MarksDecideWhatALaterChoiceFillsIn) {
  remember({{"alice", "pa", true, false}, {"bob", "pb", true, false}});
  AppContext::instance().autoLoginPending = false;
  CLoginWin window;
  open(window);
  QTest::mouseClick(button(window, "Remeber"), Qt::LeftButton);  // alice: remember off
  combo(window)->SelectItem(1);
  combo(window)->SelectItem(0);
  EXPECT_EQ(edit(window, "UserEdit")->text(), "alice");
  EXPECT_EQ(edit(window, "PassWord")->text(), "");
  EXPECT_FALSE(button(window, "Remeber")->isChecked());
}

TEST_F(LoginWin, EmptyNameOrPasswordIsRefusedAndTheWindowStays) {
  struct Case {
    QString name, password;
  };
  for (const Case& c : {Case{"", "pa"}, Case{"alice", ""}, Case{"", ""}}) {
    SCOPED_TRACE(c.name.toStdString() + "/" + c.password.toStdString());
    CLoginWin window;
    open(window);
    edit(window, "UserEdit")->setText(c.name);
    edit(window, "PassWord")->setText(c.password);
    QString message;
    mc::test::whenWindowShown(kBoxClass, [&](QWidget* box) {
      message = box->findChild<QLabel*>("TextOne")->text();
      QTest::mouseClick(box->findChild<QAbstractButton*>("BtnOK"), Qt::LeftButton);
    });
    QTest::mouseClick(button(window, "BtnOK"), Qt::LeftButton);
    EXPECT_EQ(message, "账号或密码不能为空");
    EXPECT_FALSE(window.IsClosed());
  }
}

TEST_F(LoginWin, SubmitCarriesTheFieldsAndTheTicks) {
  CLoginWin window;
  open(window);
  edit(window, "UserEdit")->setText("张三");
  edit(window, "PassWord")->setText("密码 1");
  button(window, "AutoLogin")->setChecked(true);
  QTest::mouseClick(button(window, "BtnOK"), Qt::LeftButton);
  EXPECT_TRUE(window.IsClosed());
  EXPECT_EQ(window.GetCloseCode(), 1);
  const AppContext& context = AppContext::instance();
  EXPECT_EQ(context.userName, "张三");
  EXPECT_EQ(context.password, "密码 1");
  EXPECT_FALSE(context.rememberPassword);
  EXPECT_TRUE(context.autoLogin);
}

TEST_F(LoginWin, ReturnInTheAccountMovesOnAndTheSecondReturnLogsIn) {
  CLoginWin window;
  open(window);
  QLineEdit* user = edit(window, "UserEdit");
  QLineEdit* password = edit(window, "PassWord");
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.GetWidget()));
  EXPECT_EQ(window.GetWidget()->focusWidget(), user) << "the account field has the focus first";
  QTest::keyClicks(user, "alice");
  QTest::keyClick(user, Qt::Key_Return);
  EXPECT_EQ(window.GetWidget()->focusWidget(), password);
  EXPECT_FALSE(window.IsClosed()) << "the first Return does not log in";

  // Back in the account field, Return moves on again without logging in.
  user->setFocus();
  QTest::keyClick(user, Qt::Key_Return);
  EXPECT_EQ(window.GetWidget()->focusWidget(), password);
  EXPECT_FALSE(window.IsClosed());

  QTest::keyClicks(password, "pa");
  QTest::keyClick(password, Qt::Key_Return);
  EXPECT_TRUE(window.IsClosed());
  EXPECT_EQ(window.GetCloseCode(), 1);
  EXPECT_EQ(AppContext::instance().userName, "alice");
  EXPECT_EQ(AppContext::instance().password, "pa");
}

TEST_F(LoginWin, ReturnInThePasswordFieldLogsIn) {
  CLoginWin window;
  open(window);
  edit(window, "UserEdit")->setText("alice");
  QLineEdit* password = edit(window, "PassWord");
  password->setFocus();
  QTest::keyClicks(password, "pa");
  QTest::keyClick(password, Qt::Key_Return);
  EXPECT_TRUE(window.IsClosed());
  EXPECT_EQ(window.GetCloseCode(), 1);
}

// A refused submit during the delay ends the automatic login: it must not
// log in afterwards with the values of the refused attempt.
TEST_F(LoginWin, SubmitDuringTheDelayEndsTheAutomaticLogin) {
  remember({{"alice", "pa", true, true}});
  CLoginWin window;
  open(window);
  ASSERT_TRUE(button(window, "AutoLogin")->isChecked());
  edit(window, "PassWord")->clear();
  mc::test::whenWindowShown(kBoxClass, [](QWidget* box) {
    QTest::mouseClick(box->findChild<QAbstractButton*>("BtnOK"), Qt::LeftButton);
  });
  QTest::mouseClick(button(window, "BtnOK"), Qt::LeftButton);
  mc::test::spinFor(3600);
  EXPECT_FALSE(window.IsClosed());
}

TEST_F(LoginWin, DeleteButtonRemovesTheAccountFromTheStore) {
  remember({{"alice", "pa", true, false}, {"bob", "pb", true, false}, {"carol", "pc", true, false}});
  AppContext::instance().autoLoginPending = false;
  {
    CLoginWin window;
    open(window);
    CComboUI* list = combo(window);
    QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(list->width() - 12, list->height() / 2));  // the arrow
    ASSERT_TRUE(list->IsDropDownShown());
    QWidget* row = list->GetItemAt(1);
    auto* del = qobject_cast<QAbstractButton*>(WindowImplBase::FindSubControlByName(row, "delbtn"));
    ASSERT_NE(del, nullptr);
    QTest::mouseClick(del, Qt::LeftButton);
    EXPECT_TRUE(row->isHidden());
    EXPECT_TRUE(saved(1).deleted);
    EXPECT_FALSE(saved(0).deleted);
    EXPECT_EQ(edit(window, "UserEdit")->text(), "");
    EXPECT_EQ(edit(window, "PassWord")->text(), "");
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"alice", "carol"}));
  }
  CLoginWin again;
  open(again);
  EXPECT_EQ(combo(again)->GetCount(), 2);
}

TEST_F(LoginWin, CaptionDoubleClickDoesNotMaximise) {
  CLoginWin window;
  open(window, ui::UI_WNDSTYLE_FRAME);  // even a window that could be maximised
  QWidget* banner = window.FindControl("LoginBanner");
  ASSERT_NE(banner, nullptr);
  QTest::mouseDClick(banner, Qt::LeftButton, {}, QPoint(banner->width() - 20, 12));
  QTest::qWait(50);
  EXPECT_FALSE(window.GetWidget()->isMaximized());
}

TEST_F(LoginWin, LayoutShowsEveryControlInsideTheWindow) {
  remember({{"alice", "pa", true, false}});
  AppContext::instance().autoLoginPending = false;
  CLoginWin window;
  open(window);
  QWidget* host = window.GetWidget();
  EXPECT_EQ(host->size(), QSize(900, 600));
  for (const char* name : {"UserComBo", "UserEdit", "PassWord", "Remeber", "AutoLogin", "BtnOK", "BtnCancel"}) {
    SCOPED_TRACE(name);
    QWidget* control = window.FindControl(name);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(control->isVisible());
    EXPECT_TRUE(host->rect().contains(QRect(control->mapTo(host, QPoint(0, 0)), control->size())));
    EXPECT_GE(control->width(), control->minimumSizeHint().width()) << "text cut off";
  }
  EXPECT_GE(window.FindControl("UserEdit")->width(), 200);
  mc::test::saveSnapshot(host->grab().toImage(), "login");
  CComboUI* list = combo(window);
  list->ShowDropDown();
  if (QWidget* drop = list->findChild<QWidget*>("ComboDropDown")) mc::test::saveSnapshot(drop->grab().toImage(), "login-accounts");
}

}  // namespace
