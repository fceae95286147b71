// The device trees over catalogue records made in memory: rows, icons,
// counts, the playback permission, expanding and collapsing, search, hover,
// the wheel, and what the trees tell their window.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLayout>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <random>

#include "common/Messages.h"
#include "core/AppContext.h"
#include "tests/ui/TreeTestSupport.h"
#include "ui/lib/ControlOps.h"

namespace {

using mc::test::adopt;
using mc::test::makeCamera;
using mc::test::makeNode;
using mc::test::TreeWindowTest;

class TreeTest : public TreeWindowTest {};

TEST_F(TreeTest, NodeIconsFollowTypeAndOnlineStateAndUnknownTypesGetNoRow) {
  struct Case {
    int type;
    bool online;
    const char* icon;  // nullptr: no row
  };
  const Case cases[] = {
      {1, true, "cap-in.png"},     {1, false, "cap-out.png"},   {2, true, "vir-in.png"},
      {3, false, "ipci-out.png"},  {4, true, "nvrn-in.png"},    {8, true, "ipc-in.png"},
      {15, false, "ipc-out.png"},  {9, true, "nvr-in.png"},     {16, false, "nvr-out.png"},
      {10, true, "vir-in.png"},    {11, false, "iphone-out.png"}, {12, false, "vir-out.png"},
      {0, true, nullptr},          {5, true, nullptr},          {14, true, nullptr},
      {-1, true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << (c.online ? " on line" : " off line"));
    for (CRealyTree* tree : trees()) {
      tree->Clear();
      auto node = makeNode(c.type, "n", "site", c.online);
      CTreeNode* row = tree->AddRecord(node);
      if (!c.icon) {
        EXPECT_EQ(row, nullptr);
        EXPECT_EQ(tree->GetCount(), 0);
        continue;
      }
      ASSERT_NE(row, nullptr);
      EXPECT_EQ(CRealyTree::IconOf(row), c.icon);
      EXPECT_EQ(ui::GetImage(controlOf(row, "NodeIcon"), "bk"), c.icon) << "the icon control shows it";
      EXPECT_EQ(row->row->height(), CRealyTree::kNodeRowHeight);
    }
  }
}

TEST_F(TreeTest, CameraRowsShowStateExpiryNameAndCounts) {
  auto node = makeNode(9, "n1", "Yard");
  auto gate = makeCamera("c1", "Gate");
  auto hall = makeCamera("c2", "Hall", false);
  auto old = makeCamera("c3", "Old store", false, true);
  auto lapsed = makeCamera("c4", "Lapsed", true, true);
  adopt(node, {gate, hall, old, lapsed});
  node->onlineCameraCount = 1;  // the figure the coordinator counted wins
  rebuildAll({node});

  for (CRealyTree* tree : trees()) {
    SCOPED_TRACE(tree->objectName().toStdString());
    ASSERT_EQ(tree->GetCount(), 5);
    CTreeNode* yard = tree->FindRow(node);
    ASSERT_NE(yard, nullptr);
    EXPECT_EQ(textOf(yard, "numText"), "[1/4]");
    EXPECT_EQ(textOf(yard, "Text"), "Yard");
    EXPECT_EQ(CRealyTree::IconOf(tree->FindRow(gate)), "sxt-in.png");
    EXPECT_EQ(CRealyTree::IconOf(tree->FindRow(hall)), "sxt-out.png");
    EXPECT_EQ(CRealyTree::IconOf(tree->FindRow(old)), "Expired.png");
    EXPECT_EQ(CRealyTree::IconOf(tree->FindRow(lapsed)), "Expired.png");
    EXPECT_EQ(textOf(tree->FindRow(hall), "Text"), "Hall");
    EXPECT_EQ(tree->FindRow(gate)->level, 1);
    EXPECT_EQ(tree->FindRow(gate)->row->height(), CRealyTree::kCameraRowHeight);
    EXPECT_GT(tree->FindRow(gate)->row->layout()->contentsMargins().left(),
              yard->row->layout()->contentsMargins().left())
        << "camera rows are indented under their node";
  }

  // A refresh picks up changed records.
  gate->online = false;
  gate->name = "Front gate";
  node->onlineCameraCount = 0;
  live->RefreshRecord(gate);
  live->RefreshRecord(node);
  EXPECT_EQ(CRealyTree::IconOf(live->FindRow(gate)), "sxt-out.png");
  EXPECT_EQ(textOf(live->FindRow(gate), "Text"), "Front gate");
  EXPECT_EQ(textOf(live->FindRow(node), "numText"), "[0/4]");
  EXPECT_EQ(CRealyTree::IconOf(playback->FindRow(gate)), "sxt-in.png") << "other trees wait for their refresh";
}

TEST_F(TreeTest, PlaybackButtonNeedsTheO3Permission) {
  struct Case {
    const char* permission;
    bool shown;
  };
  const Case cases[] = {{"01,02,03", true}, {"0102", false}, {"", false}, {"03", true},
                        {"01,02", false},   {"0,3", false},  {"03;04", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.permission);
    AppContext::instance().permission = c.permission;
    auto node = makeNode(9, "n1", "Yard");
    auto gate = makeCamera("c1", "Gate");
    adopt(node, {gate});
    rebuildAll({node});
    for (CRealyTree* tree : trees()) {
      QWidget* button = controlOf(tree->FindRow(gate), "playBackBtn");
      ASSERT_NE(button, nullptr);
      EXPECT_EQ(!button->isHidden(), c.shown) << tree->objectName().toStdString();
    }
  }
}

TEST_F(TreeTest, PlaybackButtonPostsOpenPlaybackWithTheCameraId) {
  AppContext::instance().permission = "01,02,03";
  auto node = makeNode(9, "n1", "Yard");
  auto gate = makeCamera("cam-gate-7", "Gate");
  adopt(node, {gate});
  rebuildAll({node});
  auto* button = qobject_cast<QAbstractButton*>(controlOf(playback->FindRow(gate), "playBackBtn"));
  ASSERT_NE(button, nullptr);

  // Without a main window nothing is posted.
  QTest::mouseClick(button, Qt::LeftButton);
  mc::test::spinFor(20);
  EXPECT_TRUE(window->messages.empty());

  AppContext::instance().mainHwnd = window->GetHWND();
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_TRUE(mc::test::waitUntil([&] { return !window->messages.empty(); }));
  ASSERT_EQ(window->messages.size(), 1u);
  EXPECT_EQ(window->messages[0].id, mc::msg::MSG_OPEN_PLAYBACK);
  auto id = std::static_pointer_cast<std::string>(window->messages[0].payload);
  ASSERT_TRUE(id);
  EXPECT_EQ(*id, "cam-gate-7");
  EXPECT_EQ(playback->GetCurSel(), -1) << "the button leaves the selection alone";
}

TEST_F(TreeTest, CollapsingHidesDescendantsAndExpandingRestoresTheirOwnState) {
  // site → recorder → two cameras, and a second site.
  auto site = makeNode(2, "n1", "Site");
  auto recorder = makeNode(9, "n2", "Recorder");
  auto other = makeNode(8, "n3", "Other");
  auto a = makeCamera("c1", "A");
  auto b = makeCamera("c2", "B");
  adopt(recorder, {a, b});
  site->setChildren({recorder});
  rebuildAll({site, other});
  using Names = std::vector<std::string>;
  ASSERT_EQ(mc::test::TreeWindowTest::shownNames(live), (Names{"Site", "Recorder", "A", "B", "Other"}));
  EXPECT_TRUE(live->FindRow(site)->expanded) << "nodes start expanded";

  CTreeNode* recorderRow = live->FindRow(recorder);
  live->SetExpanded(recorderRow, false);
  EXPECT_EQ(shownNames(live), (Names{"Site", "Recorder", "Other"}));
  EXPECT_EQ(live->GetCount(), 5) << "hidden rows keep their places";
  EXPECT_EQ(ui::GetImage(controlOf(recorderRow, "Arrow"), "bk"), "tree/arrow-collapsed.png");

  live->SetExpanded(live->FindRow(site), false);
  EXPECT_EQ(shownNames(live), (Names{"Site", "Other"}));
  live->SetExpanded(live->FindRow(site), true);
  EXPECT_EQ(shownNames(live), (Names{"Site", "Recorder", "Other"})) << "the recorder stays collapsed";

  // A camera added below a collapsed node stays hidden until it opens.
  auto c = makeCamera("c3", "C");
  CTreeNode* added = live->AddRecord(c, recorderRow);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->row->GetIndex(), 4) << "right after the recorder's last descendant";
  EXPECT_TRUE(added->row->isHidden());
  live->SetExpanded(recorderRow, true);
  EXPECT_EQ(shownNames(live), (Names{"Site", "Recorder", "A", "B", "C", "Other"}));

  // The root and unchanged states are ignored.
  live->SetExpanded(live->GetRoot(), false);
  EXPECT_TRUE(live->GetRoot()->expanded);
  EXPECT_EQ(shownNames(live).size(), 6u);
}

TEST_F(TreeTest, RowClickTogglesNodesWithChildrenAndSelects) {
  auto node = makeNode(9, "n1", "Yard");
  auto empty = makeNode(8, "n2", "Empty");
  auto gate = makeCamera("c1", "Gate");
  adopt(node, {gate});
  rebuildAll({node, empty});
  // The main window's answer to "itemclick".
  window->onNotify = [&](TNotifyUI& msg) {
    if (msg.type != ui::kNotifyItemClick) return;
    if (CTreeNode* clicked = CTreeList::NodeOfControl(msg.sender)) clicked->tree->ClickRow(clicked);
  };

  CTreeNode* yard = live->FindRow(node);
  QTest::mouseClick(yard->row, Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_FALSE(yard->expanded);
  EXPECT_TRUE(live->FindRow(gate)->row->isHidden());
  EXPECT_EQ(live->SelectedNode(), yard);
  QTest::mouseClick(yard->row, Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_TRUE(yard->expanded);
  EXPECT_FALSE(live->FindRow(gate)->row->isHidden());

  CTreeNode* emptyRow = live->FindRow(empty);
  QTest::mouseClick(emptyRow->row, Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_TRUE(emptyRow->expanded) << "a node without rows below does not toggle";
  EXPECT_EQ(live->SelectedNode(), emptyRow);
  EXPECT_EQ(CRealyTree::IconOf(emptyRow), "ipc-in.png");
  EXPECT_TRUE(ui::GetImage(controlOf(emptyRow, "Arrow"), "bk").isEmpty()) << "no arrow without rows below";
}

TEST_F(TreeTest, FindNextWrapsAroundAndLeavesTheSelectionWithoutAMatch) {
  auto north = makeNode(9, "n1", "North");
  auto south = makeNode(9, "n2", "South");
  auto gate1 = makeCamera("c1", "Gate east");
  auto hall = makeCamera("c2", "Hall");
  auto gate2 = makeCamera("c3", "back GATE");
  auto dock = makeCamera("c4", "Dock");
  auto gate3 = makeCamera("c5", "gate west");
  adopt(north, {gate1, hall, gate2});
  adopt(south, {dock, gate3});
  live->Rebuild({north, south});
  // Rows: North, Gate east, Hall, back GATE, South, Dock, gate west.

  EXPECT_TRUE(live->FindNext("gate"));
  EXPECT_EQ(live->SelectedNode()->record, gate1) << "without a selection the search starts at the top";
  EXPECT_TRUE(live->FindNext("GATE"));
  EXPECT_EQ(live->SelectedNode()->record, gate2) << "case is ignored";
  live->SetExpanded(live->FindRow(south), false);
  EXPECT_TRUE(live->FindNext("Gate"));
  EXPECT_EQ(live->SelectedNode()->record, gate3);
  EXPECT_TRUE(live->FindRow(south)->expanded) << "a match below a collapsed node opens it";
  EXPECT_FALSE(live->FindRow(gate3)->row->isHidden());
  EXPECT_TRUE(live->FindNext("gate"));
  EXPECT_EQ(live->SelectedNode()->record, gate1) << "from the last match back to the first from the top";

  EXPECT_FALSE(live->FindNext("camera 9"));
  EXPECT_EQ(live->SelectedNode()->record, gate1);
  EXPECT_FALSE(live->FindNext(""));
  EXPECT_EQ(live->SelectedNode()->record, gate1);
  live->SelectRow(live->FindRow(hall));
  EXPECT_FALSE(live->FindNext("hall")) << "the selected row itself is not a next match";
  EXPECT_EQ(live->SelectedNode()->record, hall);
  EXPECT_TRUE(live->FindNext("sou"));
  EXPECT_EQ(live->SelectedNode()->record, south) << "node rows match too";
}

TEST_F(TreeTest, RowsReportMouseMenuAndActivationWithTheirRecords) {
  auto node = makeNode(9, "n1", "Yard");
  auto gate = makeCamera("c1", "Gate");
  auto hall = makeCamera("c2", "Hall");
  adopt(node, {gate, hall});
  live->Rebuild({node});
  window->GetWidget()->resize(700, 600);
  mc::test::spinFor(20);
  CTreeNode* hallRow = live->FindRow(hall);
  QWidget* text = controlOf(hallRow, "Text");
  ASSERT_NE(text, nullptr);

  struct Seen {
    QString type;
    IParamPtr record;
    std::uintptr_t wParam;
    QPoint point;
  };
  std::vector<Seen> seen;
  window->onNotify = [&](TNotifyUI& msg) {
    if (msg.type == ui::kNotifyItemIn || msg.type == ui::kNotifyItemLeave || msg.type == ui::kNotifyKillFocus ||
        msg.type == ui::kNotifySetFocus)
      return;
    CTreeNode* about = CTreeList::NodeOfControl(msg.sender);
    if (!about && msg.sender == live) about = live->SelectedNode();  // the menu is about the current row
    seen.push_back({msg.type, about ? about->record : nullptr, msg.wParam, msg.point});
  };
  auto types = [&] {
    std::vector<std::string> out;
    for (const Seen& s : seen) out.push_back(s.type.toStdString());
    return out;
  };

  QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(3, 3));
  EXPECT_EQ(types(), (std::vector<std::string>{"NodeItem_MouseDown", "itemclick", "itemselect", "NodeItem_MouseUp"}));
  for (const Seen& s : seen) EXPECT_EQ(s.record, hall) << s.type.toStdString();
  EXPECT_EQ(seen[0].wParam, 2u) << "the row index";

  seen.clear();
  QTest::mouseDClick(text, Qt::LeftButton, {}, QPoint(3, 3));
  const auto activation = std::find_if(seen.begin(), seen.end(),
                                       [](const Seen& s) { return s.type == ui::kNotifyItemActivate; });
  ASSERT_NE(activation, seen.end());
  EXPECT_EQ(activation->record, hall);

  // A release far to the right of the name's left edge: dragged out of the tree.
  seen.clear();
  QTest::mousePress(text, Qt::LeftButton, {}, QPoint(3, 3));
  QTest::mouseRelease(text, Qt::LeftButton, {}, QPoint(CRealyTree::kMoveOutDistance + 20, 3));
  EXPECT_EQ(types(), (std::vector<std::string>{"NodeItem_MouseDown", "itemclick", "NodeItem_MouseUp", "item_moveout"}));
  seen.clear();
  QTest::mousePress(text, Qt::LeftButton, {}, QPoint(3, 3));
  QTest::mouseRelease(text, Qt::LeftButton, {}, QPoint(CRealyTree::kMoveOutDistance - 10, 3));
  EXPECT_EQ(types(), (std::vector<std::string>{"NodeItem_MouseDown", "itemclick", "NodeItem_MouseUp"}));

  // Right button: the row under the pointer becomes current, then the menu.
  seen.clear();
  CTreeNode* gateRow = live->FindRow(gate);
  const QPoint at(10, 5);
  QTest::mousePress(gateRow->row, Qt::RightButton, {}, at);
  QTest::mouseRelease(gateRow->row, Qt::RightButton, {}, at);
  // The window system follows a right button with a context-menu event.
  QContextMenuEvent menu(QContextMenuEvent::Mouse, at, gateRow->row->mapToGlobal(at));
  QApplication::sendEvent(gateRow->row, &menu);
  ASSERT_EQ(types(), (std::vector<std::string>{"itemselect", "node_menu"}));
  EXPECT_EQ(seen[1].record, gate);
  EXPECT_EQ(seen[1].point, gateRow->row->mapTo(window->GetWidget(), at)) << "in the window's coordinates";

  seen.clear();
  live->setEnabled(false);
  QContextMenuEvent again(QContextMenuEvent::Mouse, at, gateRow->row->mapToGlobal(at));
  QApplication::sendEvent(gateRow->row, &again);
  EXPECT_TRUE(seen.empty()) << "a disabled tree offers no menu";
}

TEST_F(TreeTest, AddButtonTellsTheWindowAndHoverShowsTheMark) {
  auto node = makeNode(9, "n1", "Yard");
  auto gate = makeCamera("c1", "Gate");
  adopt(node, {gate});
  rebuildAll({node});
  CTreeNode* yard = live->FindRow(node);
  auto* add = qobject_cast<QAbstractButton*>(controlOf(yard, "AddBtn"));
  ASSERT_NE(add, nullptr);
  add->show();
  window->notes.clear();
  QTest::mouseClick(add, Qt::LeftButton);
  const auto adds = window->notesOf(ui::kNotifyItemAdd);
  ASSERT_EQ(adds.size(), 1u);
  EXPECT_EQ(adds[0].sender, "AddBtn");
  EXPECT_EQ(adds[0].wParam, 0u);
  EXPECT_EQ(ui::GetTag(add), reinterpret_cast<quintptr>(yard));

  CTreeNode* gateRow = live->FindRow(gate);
  QWidget* mark = controlOf(gateRow, "ENABLEBTN");
  ASSERT_NE(mark, nullptr);
  EXPECT_TRUE(mark->isHidden());
  live->HoverOn(gateRow);
  EXPECT_FALSE(mark->isHidden());
  live->HoverOff(gateRow);
  EXPECT_TRUE(mark->isHidden());
  live->HoverOn(playback->FindRow(gate));
  EXPECT_TRUE(controlOf(playback->FindRow(gate), "ENABLEBTN")->isHidden()) << "a row of another tree is not touched";
}

TEST_F(TreeTest, RebuildKeepsTheRecordsCollapsedNodesAndSelection) {
  auto north = makeNode(9, "n1", "North");
  auto south = makeNode(9, "n2", "South");
  auto gate = makeCamera("c1", "Gate");
  auto dock = makeCamera("c2", "Dock");
  adopt(north, {gate});
  adopt(south, {dock});
  const long before = gate.use_count();
  rebuildAll({north, south});
  EXPECT_EQ(gate.use_count(), before + 3) << "each tree holds the record itself, no copy";
  EXPECT_EQ(live->FindRow(gate)->record.get(), gate.get());

  live->SetExpanded(live->FindRow(north), false);
  live->SelectRow(live->FindRow(dock));
  const QPointer<QWidget> gateRow = live->FindRow(gate)->row;
  const QPointer<QWidget> dockRow = live->FindRow(dock)->row;
  // The catalogue re-orders, South first now, and South gains a camera.
  auto pier = makeCamera("c3", "Pier", false);
  adopt(south, {dock, pier});
  dock->name = "Dock 2";
  live->Rebuild({south, north});
  using Names = std::vector<std::string>;
  EXPECT_EQ(shownNames(live), (Names{"South", "Dock 2", "Pier", "North"}));
  EXPECT_FALSE(live->FindRow(north)->expanded);
  EXPECT_EQ(live->SelectedNode()->record, dock);
  EXPECT_EQ(gate.use_count(), before + 3);
  EXPECT_EQ(live->FindRow(dock)->row, dockRow) << "rows of kept records are reused";
  EXPECT_EQ(live->FindRow(gate)->row, gateRow);
  EXPECT_EQ(textOf(live->FindRow(dock), "Text"), "Dock 2") << "and refreshed";
  EXPECT_EQ(CRealyTree::IconOf(live->FindRow(pier)), "sxt-out.png");
  EXPECT_EQ(textOf(live->FindRow(south), "numText"), "[1/2]");
  for (int i = 0; i < live->GetCount(); ++i) EXPECT_EQ(live->GetItemAt(i)->GetIndex(), i);

  // A reused row's playback button still speaks once, for its camera.
  AppContext::instance().permission = "03";
  AppContext::instance().mainHwnd = window->GetHWND();
  live->Rebuild({south, north});
  QTest::mouseClick(qobject_cast<QAbstractButton*>(controlOf(live->FindRow(dock), "playBackBtn")), Qt::LeftButton);
  mc::test::spinFor(20);
  ASSERT_EQ(window->messages.size(), 1u);
  EXPECT_EQ(*std::static_pointer_cast<std::string>(window->messages[0].payload), "c2");

  // A record that left the catalogue is gone from the tree and released by it.
  live->Rebuild({south});
  EXPECT_EQ(live->FindRow(gate), nullptr);
  EXPECT_EQ(gate.use_count(), before + 2);
  EXPECT_TRUE(mc::test::waitUntil([&] { return gateRow.isNull(); })) << "its row is destroyed";
  live->Clear();
  EXPECT_EQ(live->GetCount(), 0);
  EXPECT_EQ(CTreeList::ChildCount(live->GetRoot()), 0);
}

// What a tree shows, row by row: record, level, shown, icon, texts, parent.
std::vector<std::string> picture(CRealyTree* tree) {
  std::vector<std::string> out;
  for (int i = 0; i < tree->GetCount(); ++i) {
    CListElementUI* row = tree->GetItemAt(i);
    const CTreeNode* node = tree->NodeOfRow(row);
    if (!node) {
      out.push_back("row without node");
      continue;
    }
    std::string line = node->record->id + " level " + std::to_string(node->level) + (row->isHidden() ? " hidden" : "") +
                       " " + CRealyTree::IconOf(node).toStdString() + " " +
                       TreeWindowTest::textOfStd(node, "Text") + " " + TreeWindowTest::textOfStd(node, "numText") +
                       " under " + (node->parent->isRoot() ? std::string("root") : node->parent->record->id);
    if (row->GetIndex() != i) line += " index " + std::to_string(row->GetIndex());
    if (!node->expanded) line += " collapsed";
    out.push_back(line);
  }
  return out;
}

// A rebuild that moves, keeps and replaces rows shows exactly what a tree
// built row by row from scratch shows, through a long seeded series of
// catalogue changes.
TEST_F(TreeTest, RebuildAfterAnyChangeShowsWhatAFreshTreeShows) {
  std::mt19937 random(20240517);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % std::max<std::size_t>(n, 1)); };
  int nextId = 0;
  auto newCamera = [&] {
    ++nextId;
    return makeCamera("c" + std::to_string(nextId), "Cam " + std::to_string(nextId), random() % 2, random() % 5 == 0);
  };
  auto newNode = [&] {
    ++nextId;
    const int types[] = {1, 2, 3, 4, 8, 9, 10, 11, 12, 15, 16, 14};  // 14 gets no row
    auto node = makeNode(types[pick(12)], "n" + std::to_string(nextId), "Node " + std::to_string(nextId), random() % 2);
    std::vector<SxtParamPtr> cameras;
    for (std::size_t i = 0, n = pick(5); i < n; ++i) cameras.push_back(newCamera());
    adopt(node, cameras);
    return node;
  };
  std::vector<NodeParamPtr> roots;
  for (int i = 0; i < 5; ++i) roots.push_back(newNode());
  auto cameras = [](const NodeParamPtr& node) {
    std::vector<SxtParamPtr> out;
    for (const auto& child : node->children()) out.push_back(std::static_pointer_cast<SxtParam>(child));
    return out;
  };

  int collapsedSteps = 0;
  for (int step = 0; step < 100; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    NodeParamPtr node = roots.empty() ? nullptr : roots[pick(roots.size())];
    switch (random() % 11) {
      case 0: if (roots.size() > 1) std::swap(roots[pick(roots.size())], roots[pick(roots.size())]); break;
      case 1: if (node) { auto list = cameras(node); if (list.size() > 1) std::swap(list[pick(list.size())], list[pick(list.size())]); adopt(node, list); } break;
      case 2: if (node && roots.size() > 1) {  // a camera moves to another node
                auto from = cameras(node);
                if (!from.empty()) {
                  auto moved = from[pick(from.size())];
                  from.erase(std::find(from.begin(), from.end(), moved));
                  adopt(node, from);
                  NodeParamPtr to = roots[pick(roots.size())];
                  auto list = cameras(to);
                  list.insert(list.begin() + static_cast<long>(pick(list.size() + 1)), moved);
                  adopt(to, list);
                }
              } break;
      case 3: if (node) { auto list = cameras(node); list.push_back(newCamera()); adopt(node, list); } break;
      case 4: if (node) { auto list = cameras(node); if (!list.empty()) list.erase(list.begin() + static_cast<long>(pick(list.size()))); adopt(node, list); } break;
      case 5: if (roots.size() < 8) roots.insert(roots.begin() + static_cast<long>(pick(roots.size() + 1)), newNode()); break;
      case 6: if (roots.size() > 3) roots.erase(roots.begin() + static_cast<long>(pick(roots.size()))); break;
      case 7: if (node) { node->online = !node->online; node->name += "'"; for (auto& c : cameras(node)) c->online = random() % 2; adopt(node, cameras(node)); } break;
      default: if (node) {  // the operator opens or closes a node
                 if (CTreeNode* row = live->FindRow(node)) live->SetExpanded(row, !row->expanded);
               } break;
    }
    std::vector<IParamPtr> catalogue(roots.begin(), roots.end());
    live->Rebuild(catalogue);

    // The same catalogue row by row into a cleared tree, then the live tree's
    // collapsed nodes collapsed.
    map->Clear();
    for (const auto& root : catalogue) map->AddRecordTree(root);
    for (int i = 0; i < live->GetCount(); ++i) {
      const CTreeNode* shown = live->NodeOfRow(live->GetItemAt(i));
      if (shown && !shown->expanded) map->SetExpanded(map->FindRow(shown->record), false);
    }
    ASSERT_EQ(picture(live), picture(map));
    const auto rows = picture(live);
    collapsedSteps += std::any_of(rows.begin(), rows.end(),
                                  [](const std::string& r) { return r.find(" hidden") != std::string::npos; });
  }
  EXPECT_GT(collapsedSteps, 20) << "the series exercises hidden rows";
}

// A tree long enough to scroll: ten nodes of eight cameras.
std::vector<IParamPtr> longCatalogue() {
  std::vector<IParamPtr> roots;
  for (int n = 0; n < 10; ++n) {
    auto node = makeNode(9, "n" + std::to_string(n), "Node " + std::to_string(n));
    std::vector<SxtParamPtr> cameras;
    for (int c = 0; c < 8; ++c) cameras.push_back(makeCamera("c" + std::to_string(n * 10 + c), "Cam"));
    adopt(node, cameras);
    roots.push_back(node);
  }
  return roots;
}

TEST_F(TreeTest, WheelSpeedAcceleratesReversesHarderAndDecays) {
  // Each step: ticks run first, then one notch; the speed and step count after it.
  struct Step {
    bool up;
    int ticksBefore;
    int speed;
    int steps;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"one notch up", {{true, 0, 8, 10}}},
      {"two quick notches accelerate", {{true, 0, 8, 10}, {true, 0, 16, 20}}},
      {"reversal brakes with 12", {{true, 0, 8, 10}, {true, 0, 16, 20}, {false, 0, 4, 10}}},
      {"down mirrors up", {{false, 0, -8, 10}, {false, 0, -16, 20}, {true, 0, -4, 10}}},
      // 16 × (10/20)² = 4 is left after ten of twenty ticks.
      {"half decayed", {{true, 0, 8, 10}, {true, 0, 16, 20}, {true, 10, 12, 15}}},
      {"fully decayed starts again", {{true, 0, 8, 10}, {true, 10, 8, 10}}},
  };
  live->Rebuild(longCatalogue());
  ASSERT_TRUE(mc::test::waitUntil([&] { return live->GetScrollRange() > 1000; }));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    live->StopScrolling();
    live->SetScrollPos(live->GetScrollRange() / 2);  // room both ways
    for (const Step& s : c.steps) {
      for (int i = 0; i < s.ticksBefore; ++i) live->OnScrollTick();
      live->OnWheel(s.up);
      EXPECT_EQ(live->scrollSpeed(), s.speed);
      EXPECT_EQ(live->scrollStepCount(), s.steps);
      EXPECT_EQ(live->scrollStepsLeft(), s.steps);
    }
  }
  live->StopScrolling();
  for (int i = 0; i < 30; ++i) live->OnWheel(true);
  EXPECT_EQ(live->scrollSpeed(), OIListUI::kMaxSpeed) << "clamped";
  EXPECT_EQ(live->scrollStepCount(), 50);
  for (int i = 0; i < 30; ++i) live->OnWheel(false);
  EXPECT_EQ(live->scrollSpeed(), -OIListUI::kMaxSpeed);
}

TEST_F(TreeTest, WheelScrollsTheTreeByTheDecayingSpeedAndStopsAtTheEnds) {
  live->Rebuild(longCatalogue());
  ASSERT_TRUE(mc::test::waitUntil([&] { return live->GetScrollRange() > 1000; }));
  QScrollBar* bar = live->GetVerticalScrollBar();

  // One notch up from the bottom: 8 × (k/10)² for k = 9 … 0, truncated:
  // 6 + 5 + 3 + 2 + 2 + 1 = 19 pixels.
  live->SetScrollPos(live->GetScrollRange());
  const int bottom = live->GetScrollPos();
  live->OnWheel(true);
  for (int i = 0; i < 10; ++i) live->OnScrollTick();
  EXPECT_EQ(bottom - live->GetScrollPos(), 19);
  live->OnScrollTick();
  EXPECT_FALSE(live->isScrollAnimating());
  EXPECT_EQ(live->scrollSpeed(), 0);

  // At the top an upward wheel stops at once.
  live->SetScrollPos(0);
  live->OnWheel(true);
  live->OnScrollTick();
  EXPECT_EQ(live->GetScrollPos(), 0);
  EXPECT_FALSE(live->isScrollAnimating());

  // Wheel events drive the same animation on the list's timer. (Qt hands a
  // wheel over a row on to the scroll area's viewport; a test event is not
  // passed on, so it goes to the viewport itself.)
  QWidget* viewport = live->findChild<QScrollArea*>()->viewport();
  auto wheel = [&](int delta) {
    const QPointF at(5, 5);
    QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &event);
  };
  for (int i = 0; i < 5; ++i) wheel(-120);
  EXPECT_EQ(live->scrollSpeed(), -40);
  EXPECT_TRUE(live->isScrollAnimating());
  ASSERT_TRUE(mc::test::waitUntil([&] { return !live->isScrollAnimating(); }, 3000));
  const int travelled = live->GetScrollPos();
  EXPECT_GT(travelled, 200) << "five quick notches travel far";
  // Half notches (high-resolution wheels) add up to one.
  wheel(60);
  EXPECT_EQ(live->scrollSpeed(), 0);
  wheel(60);
  EXPECT_EQ(live->scrollSpeed(), 8);
  EXPECT_EQ(bar->value(), travelled) << "the scroll area's own wheel stepping is replaced";
}

}  // namespace
