// Notifications by name: what each control tells its window, in which order,
// and with which state.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "tests/ui/UiTestSupport.h"
#include "ui/lib/Notify.h"
#include "ui/lib/TabLayoutUI.h"

namespace {

using mc::test::Notification;
using mc::test::TestSkin;
using mc::test::TestWindow;
using mc::test::widgetItem;

QString groupAttribute(const QString& group) {
  return QString(R"(<attribute name="buttonGroup"><string notr="true">%1</string></attribute>)").arg(group);
}

class NotifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString checkable = R"(<property name="checkable"><bool>true</bool></property>)";
    skin.writeLayout(
        "Notify.xml",
        widgetItem("QPushButton", "BtnOK") + widgetItem("QPushButton", "closebtn") +
            widgetItem("QRadioButton", "Realyplay", groupAttribute("enable")) +
            widgetItem("QRadioButton", "Playback", groupAttribute("enable")) +
            widgetItem("QPushButton", "DevManage", checkable + groupAttribute("sonEnable")) +
            widgetItem("QCheckBox", "Remeber") +
            widgetItem("QCheckBox", "AutoLogin", R"(<property name="checked"><bool>true</bool></property>)") +
            widgetItem("QLineEdit", "UserEdit") + widgetItem("QLineEdit", "PassWord") +
            widgetItem("QStackedWidget", "switch",
                       R"(<widget class="QWidget" name="p0"/><widget class="QWidget" name="p1"/>)"),
        R"(<buttongroups><buttongroup name="enable"/><buttongroup name="sonEnable"/></buttongroups>)");
    window = std::make_unique<TestWindow>(skin.dir(), "Notify.xml");
    ASSERT_NE(window->Create(mc::kNoWindow, "x", ui::UI_WNDSTYLE_FRAME), mc::kNoWindow);
    window->GetWidget()->show();
    window->notes.clear();
  }

  template <class T>
  T* control(const char* name) {
    T* c = window->FindControl<T>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
  }

  // Clicks near the left edge, where a check box has its indicator.
  void click(const char* name) {
    QAbstractButton* button = control<QAbstractButton>(name);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
  }

  // The notifications since the last call, as "type:sender[:checked]".
  std::vector<std::string> take(bool withState = false) {
    std::vector<std::string> out;
    for (const Notification& n : window->notes) {
      if (n.type == ui::kNotifySetFocus || n.type == ui::kNotifyKillFocus) continue;
      std::string s = (n.type + ":" + n.sender).toStdString();
      if (withState) s += n.senderChecked ? ":on" : ":off";
      out.push_back(s);
    }
    window->notes.clear();
    return out;
  }

  TestSkin skin;
  std::unique_ptr<TestWindow> window;
};

using Names = std::vector<std::string>;

TEST_F(NotifyTest, NothingIsReportedWhileTheLayoutIsBuilt) {
  // "AutoLogin" is ticked by the layout itself.
  TestWindow fresh(skin.dir(), "Notify.xml");
  ASSERT_NE(fresh.Create(mc::kNoWindow, "x", ui::UI_WNDSTYLE_FRAME), mc::kNoWindow);
  EXPECT_EQ(fresh.notesBeforeInit, 0);
  EXPECT_TRUE(fresh.FindControl<QCheckBox>("AutoLogin")->isChecked());
}

TEST_F(NotifyTest, ButtonClickIsReportedOnce) {
  click("BtnOK");
  EXPECT_EQ(take(), Names({"click:BtnOK"}));
  control<QPushButton>("BtnOK")->click();  // a click made by code counts too
  EXPECT_EQ(take(), Names({"click:BtnOK"}));
  control<QPushButton>("BtnOK")->setEnabled(false);
  click("BtnOK");
  EXPECT_EQ(take(), Names());
}

TEST_F(NotifyTest, ClickArrivesBeforeAnOptionChangesItsState) {
  struct Step {
    const char* option;
    Names expected;  // with the option's state at the time of each notification
  };
  const Step steps[] = {
      {"Remeber", {"click:Remeber:off", "selectchanged:Remeber:on"}},
      {"Remeber", {"click:Remeber:on", "selectchanged:Remeber:off"}},
      {"AutoLogin", {"click:AutoLogin:on", "selectchanged:AutoLogin:off"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.option);
    click(step.option);
    EXPECT_EQ(take(true), step.expected);
  }
}

TEST_F(NotifyTest, GroupedOptionsSelectOneAndReportOnlyTheSelectedOne) {
  struct Step {
    const char* clicked;
    Names expected;
    bool realyplay;
    bool playback;
  };
  const Step steps[] = {
      {"Realyplay", {"click:Realyplay:off", "selectchanged:Realyplay:on"}, true, false},
      {"Playback", {"click:Playback:off", "selectchanged:Playback:on"}, false, true},
      {"Playback", {"click:Playback:on"}, false, true},  // a selected option stays selected
      {"DevManage", {"click:DevManage:off", "selectchanged:DevManage:on"}, false, true},  // another group
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.clicked);
    click(step.clicked);
    EXPECT_EQ(take(true), step.expected);
    EXPECT_EQ(control<QRadioButton>("Realyplay")->isChecked(), step.realyplay);
    EXPECT_EQ(control<QRadioButton>("Playback")->isChecked(), step.playback);
  }
  EXPECT_EQ(ui::optionGroup(control<QAbstractButton>("Playback")), "enable");
  EXPECT_EQ(ui::optionGroup(control<QAbstractButton>("Remeber")), "");

  // Code may unselect every option of a group (the main window does when it
  // changes page group).
  control<QAbstractButton>("Playback")->setChecked(false);
  control<QAbstractButton>("DevManage")->setChecked(false);
  EXPECT_FALSE(control<QAbstractButton>("Playback")->isChecked());
  EXPECT_FALSE(control<QAbstractButton>("DevManage")->isChecked());
  EXPECT_EQ(take(), Names());
  control<QAbstractButton>("Realyplay")->setChecked(true);
  EXPECT_EQ(take(), Names({"selectchanged:Realyplay"}));
}

// Day options of the playback page are made in code, in a group made in code.
TEST_F(NotifyTest, OptionsGroupedInCodeBehaveLikeLayoutGroups) {
  auto* group = new QButtonGroup(window->GetRoot());
  group->setObjectName("PlayBackDataGroup");
  std::vector<QAbstractButton*> days;
  for (const char* day : {"2024-05-01", "2024-05-02"}) {
    QAbstractButton* option = ui::createButton("QPushButton", window->GetRoot());
    option->setObjectName(day);
    option->setCheckable(true);
    group->addButton(option);
    option->show();
    days.push_back(option);
  }
  days[0]->setChecked(true);
  days[1]->setChecked(true);
  EXPECT_FALSE(days[0]->isChecked());
  days[1]->setChecked(false);
  EXPECT_FALSE(days[1]->isChecked()) << "code may leave a group with nothing selected";
  EXPECT_EQ(take(), Names({"selectchanged:2024-05-01", "selectchanged:2024-05-02"}));
  EXPECT_EQ(ui::optionGroup(days[0]), "PlayBackDataGroup");
}

TEST_F(NotifyTest, EditsReportFocusTextAndReturn) {
  auto* user = control<QLineEdit>("UserEdit");
  auto* password = control<QLineEdit>("PassWord");
  window->GetWidget()->activateWindow();
  user->setFocus();
  ASSERT_TRUE(mc::test::waitUntil([&] { return !window->notesOf(ui::kNotifySetFocus).empty(); }));
  EXPECT_EQ(window->notesOf(ui::kNotifySetFocus).back().sender, "UserEdit");
  QTest::keyClicks(user, "ab");
  QTest::keyClick(user, Qt::Key_Return);
  EXPECT_EQ(take(), Names({"textchanged:UserEdit", "textchanged:UserEdit", "return:UserEdit"}));
  password->setFocus();
  ASSERT_TRUE(mc::test::waitUntil([&] { return !window->notesOf(ui::kNotifyKillFocus).empty(); }));
  EXPECT_EQ(window->notesOf(ui::kNotifyKillFocus).back().sender, "UserEdit");
  EXPECT_EQ(window->notesOf(ui::kNotifySetFocus).back().sender, "PassWord");
}

TEST_F(NotifyTest, StandardCloseButtonClosesWithCancel) {
  click("closebtn");
  EXPECT_TRUE(window->IsClosed());
  EXPECT_EQ(window->GetCloseCode(), ui::kIdCancel);
  click("BtnOK");
  EXPECT_EQ(take(), Names({"click:closebtn"})) << "a closed window hears nothing more";
}

TEST_F(NotifyTest, TabLayoutSelectsPagesAndReportsTheChange) {
  auto* tab = control<CTabLayoutUI>("switch");
  EXPECT_EQ(tab->GetCurSel(), 0);
  EXPECT_TRUE(tab->SelectItem(1));
  EXPECT_EQ(tab->GetCurSel(), 1);
  EXPECT_TRUE(tab->SelectItem(1));  // unchanged: no report
  EXPECT_FALSE(tab->SelectItem(2));
  EXPECT_FALSE(tab->SelectItem(-1));
  EXPECT_EQ(tab->GetCurSel(), 1);
  ASSERT_EQ(window->notesOf(ui::kNotifyTabSelect).size(), 1u);
  EXPECT_EQ(window->notesOf(ui::kNotifyTabSelect)[0].wParam, 1u);
  EXPECT_EQ(window->notesOf(ui::kNotifyTabSelect)[0].lParam, 0);
}

TEST_F(NotifyTest, ControlsMadeInCodeNotifyOnceHooked) {
  QAbstractButton* made = ui::createButton("QPushButton", window->FindControl("switch")->parentWidget());
  made->setObjectName("Made");
  made->show();
  QTest::mouseClick(made, Qt::LeftButton);
  auto* plain = new QLineEdit(window->GetRoot());
  plain->setObjectName("Plain");
  ui::hookControl(plain);
  ui::hookControl(plain);  // twice is harmless
  QTest::keyClick(plain, Qt::Key_Return);
  EXPECT_EQ(take(), Names({"click:Made", "return:Plain"}));
  EXPECT_EQ(ui::createButton("QLabel", nullptr), nullptr);
}

}  // namespace
