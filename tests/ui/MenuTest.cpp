// Pop-up menus from menu layouts report the chosen item's name to the owner.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QPointer>

#include "common/Messages.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/lib/MenuWnd.h"

namespace {

using mc::test::TestSkin;
using mc::test::TestWindow;
using mc::test::waitUntil;

const char* kMenu = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>MapDuiMenu1</class>
 <widget class="QMenu" name="MapDuiMenu1">
  <action name="delnode"><property name="text"><string>删除节点</string></property></action>
  <action name="setnodename"><property name="text"><string>修改名称</string></property></action>
  <action name="closenode"><property name="text"><string>关闭全部</string></property></action>
  <widget class="QMenu" name="more">
   <property name="title"><string>更多</string></property>
   <addaction name="closenode"/>
  </widget>
  <addaction name="delnode"/>
  <addaction name="separator"/>
  <addaction name="setnodename"/>
  <addaction name="more"/>
 </widget>
</ui>
)";

class MenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skin.write("MapDuiMenu1.xml", kMenu);
    skin.writeLayout("Owner.xml", "");
    owner = std::make_unique<TestWindow>(skin.dir(), "Owner.xml");
    ASSERT_NE(owner->Create(mc::kNoWindow, "x", ui::UI_WNDSTYLE_FRAME), mc::kNoWindow);
  }

  std::vector<std::string> commands() const {
    std::vector<std::string> names;
    for (const auto& m : owner->messages)
      if (m.id == mc::msg::MSG_MENU_COMMAND) names.push_back(*static_cast<const std::string*>(m.payload.get()));
    return names;
  }

  static QAction* action(QMenu* menu, const char* name) {
    for (QAction* a : menu->findChildren<QAction*>())
      if (a->objectName() == name) return a;
    return nullptr;
  }

  TestSkin skin;
  std::unique_ptr<TestWindow> owner;
};

TEST_F(MenuTest, ChosenItemsArriveAsMenuCommandsWithTheirNames) {
  std::unique_ptr<QMenu> menu(CMenuWnd::Build(owner->GetHWND(), skin.dir(), "MapDuiMenu1.xml"));
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->actions().size(), 4);
  EXPECT_TRUE(menu->actions()[1]->isSeparator());
  EXPECT_EQ(menu->actions()[0]->text(), "删除节点");

  action(menu.get(), "delnode")->trigger();
  QMenu* more = menu->findChild<QMenu*>("more");
  ASSERT_NE(more, nullptr);
  more->menuAction()->menu()->actions()[0]->trigger();  // an item of the sub-menu
  menu->actions()[1]->trigger();                         // the separator says nothing
  ASSERT_TRUE(waitUntil([&] { return commands().size() >= 2; }));
  mc::test::spinFor(20);
  EXPECT_EQ(commands(), (std::vector<std::string>{"delnode", "closenode"}));
}

TEST_F(MenuTest, PopupMenuReportsAndDeletesItselfWhenHidden) {
  QPointer<QMenu> menu = CMenuWnd::Popup(owner->GetHWND(), skin.dir(), "MapDuiMenu1.xml", QPoint(40, 40));
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->isVisible());
  QAction* chosen = action(menu, "setnodename");
  ASSERT_NE(chosen, nullptr);
  menu->hide();
  chosen->trigger();
  ASSERT_TRUE(waitUntil([&] { return menu.isNull(); }));
  ASSERT_TRUE(waitUntil([&] { return !commands().empty(); }));
  EXPECT_EQ(commands(), (std::vector<std::string>{"setnodename"}));
}

TEST_F(MenuTest, ChoiceForAClosedOwnerIsDropped) {
  std::unique_ptr<QMenu> menu(CMenuWnd::Build(owner->GetHWND(), skin.dir(), "MapDuiMenu1.xml"));
  owner->Close(1);
  action(menu.get(), "delnode")->trigger();
  mc::test::spinFor(30);
  EXPECT_TRUE(commands().empty());
}

TEST_F(MenuTest, LayoutThatIsNoMenuGivesNone) {
  EXPECT_EQ(CMenuWnd::Build(owner->GetHWND(), skin.dir(), "Owner.xml"), nullptr);
  EXPECT_EQ(CMenuWnd::Popup(owner->GetHWND(), skin.dir(), "Missing.xml", QPoint()), nullptr);
}

}  // namespace
