// Lists of template rows, text rows and the drop-down combo.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "tests/ui/UiTestSupport.h"
#include "ui/lib/ComboUI.h"
#include "ui/lib/ControlOps.h"
#include "ui/lib/ListUI.h"
#include "ui/lib/SkinLoader.h"

namespace {

using mc::test::TestSkin;
using mc::test::TestWindow;
using mc::test::widgetItem;

const char* kRowTemplate = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>Row</class>
 <widget class="ListContainerElementUI" name="Row">
  <property name="minimumSize"><size><width>0</width><height>25</height></size></property>
  <property name="maximumSize"><size><width>16777215</width><height>25</height></size></property>
  <layout class="QHBoxLayout" name="rowLayout">
   <item><widget class="QLabel" name="user_text"/></item>
   <item><widget class="QPushButton" name="delbtn"/></item>
  </layout>
 </widget>
 <customwidgets><customwidget><class>ListContainerElementUI</class><extends>QWidget</extends><header>list.h</header></customwidget></customwidgets>
</ui>
)";

class ListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skin.write("User_List.xml", kRowTemplate);
    const QString decl = R"(<customwidgets>
  <customwidget><class>CListUI</class><extends>QWidget</extends><header>list.h</header></customwidget>
  <customwidget><class>CComboUI</class><extends>QPushButton</extends><header>combo.h</header></customwidget>
 </customwidgets>)";
    skin.writeLayout("List.xml",
                     widgetItem("CListUI", "DevInfo",
                                R"(<property name="columns" stdset="0"><string>设备ID;IP地址</string></property>
                                   <property name="columnwidths" stdset="0"><string>120;100</string></property>)") +
                         widgetItem("CListUI", "Rows") + widgetItem("CComboUI", "UserComBo"),
                     decl);
    window = std::make_unique<TestWindow>(skin.dir(), "List.xml");
    ASSERT_NE(window->Create(mc::kNoWindow, "x", ui::UI_WNDSTYLE_FRAME), mc::kNoWindow);
    window->GetWidget()->resize(400, 500);
    window->GetWidget()->show();
    rows = window->FindControl<CListUI>("Rows");
    ASSERT_NE(rows, nullptr);
  }

  QWidget* makeRow(const QString& name) {
    QWidget* row = builder.Create("User_List.xml", skin.dir());
    EXPECT_NE(row, nullptr);
    if (!row) return nullptr;
    ui::SetText(WindowImplBase::FindSubControlByName(row, "user_text"), name);
    return row;
  }

  TestSkin skin;
  std::unique_ptr<TestWindow> window;
  CListUI* rows = nullptr;
  CDialogBuilder builder;
};

TEST_F(ListTest, TemplateRowsReportClickSelectAndActivateInOrder) {
  for (const char* name : {"alice", "bob", "carol"}) ASSERT_TRUE(rows->Add(makeRow(name)));
  ASSERT_EQ(rows->GetCount(), 3);
  mc::test::spinFor(10);
  window->notes.clear();

  CListElementUI* bob = rows->GetItemAt(1);
  QTest::mouseClick(bob, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseDClick(bob, Qt::LeftButton, {}, QPoint(5, 5));
  std::vector<std::string> seen;
  for (const auto& n : window->notes)
    if (n.type.startsWith("item") && n.type != ui::kNotifyItemIn && n.type != ui::kNotifyItemLeave)
      seen.push_back((n.type + ":" + n.sender).toStdString());
  // The second press of a double click arrives as the double click itself.
  EXPECT_EQ(seen, (std::vector<std::string>{"itemclick:Row", "itemselect:Rows", "itemactivate:Row"}));
  const auto selects = window->notesOf(ui::kNotifyItemSelect);
  ASSERT_EQ(selects.size(), 1u);
  EXPECT_EQ(selects[0].wParam, 1u);
  EXPECT_EQ(selects[0].lParam, -1);
  EXPECT_EQ(rows->GetCurSel(), 1);
  EXPECT_TRUE(bob->IsSelected());

  // A button inside a row speaks for itself and leaves the selection alone.
  window->notes.clear();
  QTest::mouseClick(qobject_cast<QPushButton*>(WindowImplBase::FindSubControl(rows->GetItemAt(2), "delbtn")),
                    Qt::LeftButton);
  ASSERT_EQ(window->notesOf(ui::kNotifyClick).size(), 1u);
  EXPECT_EQ(window->notesOf(ui::kNotifyClick)[0].sender, "delbtn");
  EXPECT_TRUE(window->notesOf(ui::kNotifyItemClick).empty());
  EXPECT_TRUE(window->notesOf(ui::kNotifyItemSelect).empty());
  EXPECT_EQ(rows->GetCurSel(), 1);
}

TEST_F(ListTest, InsertingAndRemovingKeepsIndexesAndSelection) {
  for (const char* name : {"a", "b", "c"}) rows->Add(makeRow(name));
  rows->SelectItem(1);
  QWidget* inserted = makeRow("x");
  ASSERT_TRUE(rows->AddAt(inserted, 0));
  EXPECT_EQ(rows->GetCurSel(), 2) << "the selected row moved down";
  EXPECT_EQ(rows->GetItemIndex(inserted), 0);
  for (int i = 0; i < rows->GetCount(); ++i) EXPECT_EQ(rows->GetItemAt(i)->GetIndex(), i);

  std::unique_ptr<QWidget> refused(makeRow("bad"));
  EXPECT_FALSE(rows->AddAt(refused.get(), 9));
  QLabel notARow("not a row");
  EXPECT_FALSE(rows->Add(&notARow));
  EXPECT_FALSE(rows->Add(nullptr));
  EXPECT_FALSE(rows->Add(rows->GetItemAt(0))) << "a row is in the list once";

  EXPECT_TRUE(rows->RemoveAt(0));
  EXPECT_EQ(rows->GetCurSel(), 1);
  EXPECT_TRUE(rows->RemoveAt(1));
  EXPECT_EQ(rows->GetCurSel(), -1) << "the selected row is gone";
  EXPECT_FALSE(rows->RemoveAt(5));
  EXPECT_EQ(rows->GetCount(), 2);
  EXPECT_FALSE(rows->SelectItem(2));
  EXPECT_TRUE(rows->SelectItem(-1));

  // A hidden row keeps its index and takes no space.
  rows->GetItemAt(0)->setVisible(false);
  mc::test::spinFor(10);
  EXPECT_FALSE(ui::IsVisible(rows->GetItemAt(0)));
  EXPECT_EQ(rows->GetItemAt(1)->GetIndex(), 1);
  EXPECT_EQ(rows->GetItemAt(1)->y(), 0);

  rows->RemoveAll();
  EXPECT_EQ(rows->GetCount(), 0);
  EXPECT_EQ(rows->GetCurSel(), -1);
}

TEST_F(ListTest, TakenRowSurvivesAndCanComeBackElsewhere) {
  for (const char* name : {"a", "b", "c"}) rows->Add(makeRow(name));
  rows->SelectItem(2);
  QPointer<CListElementUI> taken = rows->TakeAt(1);
  ASSERT_TRUE(taken);
  EXPECT_EQ(rows->GetCount(), 2);
  EXPECT_EQ(rows->GetCurSel(), 1) << "the selected row moved up";
  EXPECT_EQ(rows->GetItemIndex(taken), -1);
  EXPECT_EQ(taken->GetOwner(), nullptr);
  EXPECT_TRUE(taken->isHidden());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_TRUE(taken) << "not destroyed";

  ASSERT_TRUE(rows->AddAt(taken, 0));
  taken->show();
  EXPECT_EQ(rows->GetItemIndex(taken), 0);
  EXPECT_EQ(rows->GetCurSel(), 2);
  for (int i = 0; i < rows->GetCount(); ++i) EXPECT_EQ(rows->GetItemAt(i)->GetIndex(), i);
  EXPECT_EQ(ui::GetText(WindowImplBase::FindSubControlByName(rows->GetItemAt(0), "user_text")), "b");
  mc::test::spinFor(10);
  EXPECT_EQ(taken->y(), 0) << "laid out in its new place";

  EXPECT_EQ(rows->TakeAt(3), nullptr);
  EXPECT_EQ(rows->TakeAt(-1), nullptr);
  // The selected row itself: the selection is cleared.
  std::unique_ptr<CListElementUI> selected(rows->TakeAt(2));
  EXPECT_EQ(rows->GetCurSel(), -1);
  EXPECT_FALSE(selected->IsSelected());
}

TEST_F(ListTest, RowCanRemoveItselfFromItsOwnNotification) {
  for (const char* name : {"a", "b"}) rows->Add(makeRow(name));
  window->onNotify = [&](TNotifyUI& msg) {
    if (msg.type == ui::kNotifyItemClick) rows->Remove(msg.sender);
  };
  QTest::mouseClick(rows->GetItemAt(0), Qt::LeftButton, {}, QPoint(3, 3));
  EXPECT_EQ(rows->GetCount(), 1);
  EXPECT_EQ(rows->GetCurSel(), -1) << "a removed row is not selected afterwards";
  mc::test::spinFor(10);
}

TEST_F(ListTest, TextRowsHoldTextsByColumn) {
  auto* list = window->FindControl<CListUI>("DevInfo");
  ASSERT_EQ(list->GetColumnCount(), 2);
  auto* row = new CListTextElementUI;
  row->setFixedHeight(30);
  row->SetText(0, "DEV-001");
  row->SetText(1, "192.168.1.64");
  row->setObjectName("IPC");
  ui::SetTag(row, 4);
  ASSERT_TRUE(list->Add(row));
  EXPECT_EQ(row->GetText(0), "DEV-001");
  EXPECT_EQ(row->GetText(1), "192.168.1.64");
  EXPECT_EQ(row->GetText(7), "");
  EXPECT_EQ(ui::GetText(row), "DEV-001");
  EXPECT_EQ(ui::GetTag(row), 4u);
  const auto [left, width] = list->columnSpan(1, 300);
  EXPECT_EQ(left, 120);
  EXPECT_EQ(width, 180) << "the last column takes the rest";
}

TEST_F(ListTest, ComboDropsDownRowsAndReportsTheChoiceAsItsOwn) {
  auto* combo = window->FindControl<CComboUI>("UserComBo");
  ASSERT_NE(combo, nullptr);
  for (const char* name : {"alice", "bob"}) ASSERT_TRUE(combo->Add(makeRow(name)));
  combo->ShowDropDown();
  ASSERT_TRUE(combo->IsDropDownShown());
  window->notes.clear();
  QTest::mouseClick(combo->GetItemAt(1), Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_FALSE(combo->IsDropDownShown());
  const auto selects = window->notesOf(ui::kNotifyItemSelect);
  ASSERT_EQ(selects.size(), 1u);
  EXPECT_EQ(selects[0].sender, "UserComBo");
  EXPECT_EQ(selects[0].wParam, 1u);
  EXPECT_EQ(combo->GetCurSel(), 1);
  EXPECT_EQ(ui::GetText(WindowImplBase::FindSubControl(combo->GetItemAt(1), "user_text")), "bob");

  // The delete button of a row inside the open drop-down reaches the window.
  combo->ShowDropDown();
  window->notes.clear();
  QTest::mouseClick(qobject_cast<QPushButton*>(WindowImplBase::FindSubControl(combo->GetItemAt(0), "delbtn")),
                    Qt::LeftButton);
  ASSERT_FALSE(window->notesOf(ui::kNotifyClick).empty());
  EXPECT_EQ(window->notesOf(ui::kNotifyClick)[0].sender, "delbtn");
  combo->HideDropDown();
}

TEST_F(ListTest, BuilderReportsAMissingTemplate) {
  CDialogBuilder fresh;
  EXPECT_EQ(fresh.Create("NoSuchRow.xml", skin.dir()), nullptr);
}

}  // namespace
