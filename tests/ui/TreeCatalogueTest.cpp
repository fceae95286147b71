// The device trees over the coordinator's real catalogue, loaded from
// platform-sim over loopback: the trees show the coordinator's own records,
// a playing camera lights up only in its own tree, an on-line notice changes
// icon, order and counts, and a reload keeps the records.
#include <gtest/gtest.h>

#include "camera/CCameraPlayBack.h"
#include "common/Messages.h"
#include "core/AppContext.h"
#include "core/AppFolder.h"
#include "link/CMainLogic.h"
#include "tests/support/SimProcess.h"
#include "tests/ui/TreeTestSupport.h"

namespace {

using mc::test::TreeWindowTest;

const char* const kCatalogue = R"({
  "cameraDefaults": {"audio": {"codec": "none"}},
  "users": [{"name": "alice", "password": "secret", "userId": "u1", "permission": "01,02,03",
             "nodes": ["n1", "n2", "n3"]}],
  "nodes": [
    {"id": "n1", "name": "North yard", "type": 9, "cameras": [
      {"id": "cam-gate", "name": "Gate", "recordings": [{"day": -1, "segments": [[60, 120]]}]},
      {"id": "cam-hall", "name": "Hall", "online": false},
      {"id": "cam-yard", "name": "Yard", "online": false},
      {"id": "cam-old", "name": "Old store", "online": false, "expires": "2020-01-01"}
    ]},
    {"id": "n2", "name": "Depot", "type": 8, "online": false, "cameras": [{"id": "cam-door", "name": "Door"}]},
    {"id": "n3", "name": "Phone group", "type": 14, "cameras": [{"id": "cam-phone", "name": "Phone"}]}
  ]
})";

class TreeCatalogueTest : public TreeWindowTest {
 protected:
  void SetUp() override {
    TreeWindowTest::SetUp();
    if (HasFatalFailure()) return;
    sim = std::make_unique<mc::test::SimProcess>(kCatalogue);
    setApplicationFolder(home.path());
    mc::test::writeFile(home.file("Config.ini"), "[Server]\nIP=" + sim->dispatcher().host +
                                                     ";\nPORT=" + sim->dispatcher().portText() + ";\n");
    mc::test::writeFile(home.file("LockSetConfig.ini"), "[Client]\nVersion=1.0.0\n");
    AppContext& context = AppContext::instance();
    ASSERT_TRUE(context.loadConfiguration(home.path()));
    context.userName = "alice";
    context.password = "secret";
    std::string error;
    ASSERT_TRUE(logic().connectServer(error)) << error;
    ASSERT_TRUE(logic().accountLogin());
    // The window stands in for the main window: it gets the coordinator's
    // notices and handles them as the main window does.
    context.mainHwnd = window->GetHWND();
    context.mainWindow = window.get();
    window->onMessage = [this](const mc::WindowMessage& message) { return handle(message); };
    ASSERT_TRUE(logic().loadCatalogue(window->GetHWND(), context.nodeVersion));
    ASSERT_TRUE(mc::test::waitUntil([&] { return rebuilds > 0; })) << "MSG_TREES_REBUILD";
  }

  void TearDown() override {
    AppContext& context = AppContext::instance();
    context.mainWindow = nullptr;
    if (auto coordinator = context.getMainLogic()) {
      coordinator->closeServer();
      coordinator->shutdown();
    }
    TreeWindowTest::TearDown();
  }

  bool handle(const mc::WindowMessage& message) {
    if (message.id == mc::msg::MSG_TREES_REBUILD) {
      for (CRealyTree* tree : trees()) tree->RebuildFromCatalogue();
      ++rebuilds;
      return true;
    }
    if (message.id == mc::msg::MSG_CAMERA_ACTIVE || message.id == mc::msg::MSG_NODE_ACTIVE) {
      auto notice = std::static_pointer_cast<ActiveNotice>(message.payload);
      if (IParamPtr record = notice ? logic().findParam(notice->id) : nullptr) {
        record->online = notice->active == "1";
        logic().reorderByOnline();
        for (CRealyTree* tree : trees()) tree->RebuildFromCatalogue();
        ++notices;
      }
      return true;
    }
    return false;
  }

  CMainLogic& logic() { return *AppContext::instance().getMainLogic(); }
  SxtParamPtr camera(const std::string& id) { return std::dynamic_pointer_cast<SxtParam>(logic().findParam(id)); }
  std::vector<std::string> cameraNames(CRealyTree* tree, const std::string& nodeId) {
    std::vector<std::string> names;
    CTreeNode* node = tree->FindRow(logic().findParam(nodeId));
    for (int i = 0; i < CTreeList::ChildCount(node); ++i) names.push_back(CTreeList::ChildAt(node, i)->record->name);
    return names;
  }

  mc::test::TempFolder home;
  std::unique_ptr<mc::test::SimProcess> sim;
  int rebuilds = 0;
  int notices = 0;
};

using Names = std::vector<std::string>;

TEST_F(TreeCatalogueTest, TreesShowTheCoordinatorsOwnRecords) {
  for (CRealyTree* tree : trees()) {
    SCOPED_TRACE(tree->objectName().toStdString());
    EXPECT_EQ(shownNames(tree), (Names{"North yard", "Gate", "Hall", "Yard", "Old store", "Depot", "Door"}))
        << "on-line nodes first; a node type without a row is left out with its cameras";
    for (const IParamPtr& root : logic().getNodes()) {
      if (root->type == 14) continue;
      CTreeNode* node = tree->FindRow(root);
      ASSERT_NE(node, nullptr) << root->id;
      EXPECT_EQ(node->record.get(), root.get());
      for (const IParamPtr& child : root->children()) EXPECT_EQ(tree->FindRow(child)->record.get(), child.get());
    }
    EXPECT_EQ(textOf(tree->FindRow(logic().findParam("n1")), "numText"), "[1/4]");
    EXPECT_EQ(CRealyTree::IconOf(tree->FindRow(logic().findParam("n1"))), "nvr-in.png");
    EXPECT_EQ(CRealyTree::IconOf(tree->FindRow(logic().findParam("n2"))), "ipc-out.png");
    EXPECT_EQ(textOf(tree->FindRow(logic().findParam("n2")), "numText"), "[0/1]");
    EXPECT_EQ(CRealyTree::IconOf(tree->FindRow(camera("cam-old"))), "Expired.png");
    EXPECT_FALSE(controlOf(tree->FindRow(camera("cam-gate")), "playBackBtn")->isHidden())
        << "the login's permission grants playback";
  }
  live->SelectRow(live->FindRow(camera("cam-hall")));
  live->HoverOn(live->FindRow(camera("cam-gate")));
  mc::test::spinFor(50);
  mc::test::saveSnapshot(window->GetWidget()->grab().toImage(), "trees");
}

TEST_F(TreeCatalogueTest, APlayingCameraLightsUpOnlyInItsOwnTree) {
  const SxtParamPtr gate = camera("cam-gate");
  ASSERT_TRUE(gate);
  auto icons = [&] {
    std::vector<std::string> out;
    for (CRealyTree* tree : trees()) {
      tree->RefreshRecord(gate);
      out.push_back(CRealyTree::IconOf(tree->FindRow(gate)).toStdString());
    }
    return out;
  };
  using Icons = std::vector<std::string>;
  EXPECT_EQ(icons(), (Icons{"sxt-in.png", "sxt-in.png", "sxt-in.png"}));

  ASSERT_EQ(logic().openLive(window->GetHWND(), gate, 0, 0), 1);
  EXPECT_EQ(icons(), (Icons{"sxt-open.png", "sxt-in.png", "sxt-in.png"})) << "live tree only";

  std::string error;
  ASSERT_EQ(logic().startPlayback(gate, window->GetHWND(), error), 1) << error;
  EXPECT_EQ(icons(), (Icons{"sxt-open.png", "sxt-open.png", "sxt-in.png"})) << "the map tree never shows playing";

  logic().closeLive(gate);
  EXPECT_EQ(icons(), (Icons{"sxt-in.png", "sxt-open.png", "sxt-in.png"})) << "a closed live view is kept but not playing";
  logic().stopPlayback(gate);
  EXPECT_EQ(icons(), (Icons{"sxt-in.png", "sxt-in.png", "sxt-in.png"}));
}

TEST_F(TreeCatalogueTest, OnlineNoticeChangesIconOrderAndCounts) {
  const SxtParamPtr yard = camera("cam-yard");
  ASSERT_EQ(cameraNames(live, "n1"), (Names{"Gate", "Hall", "Yard", "Old store"}));
  EXPECT_EQ(CRealyTree::IconOf(live->FindRow(yard)), "sxt-out.png");

  sim->controlOk("camera-online cam-yard 1");
  ASSERT_TRUE(mc::test::waitUntil([&] { return notices > 0; }, 10000)) << "MSG_CAMERA_ACTIVE";
  for (CRealyTree* tree : trees()) {
    SCOPED_TRACE(tree->objectName().toStdString());
    EXPECT_EQ(cameraNames(tree, "n1"), (Names{"Gate", "Yard", "Hall", "Old store"})) << "on-line cameras first";
    EXPECT_EQ(CRealyTree::IconOf(tree->FindRow(yard)), "sxt-in.png");
    EXPECT_EQ(tree->FindRow(yard)->record.get(), yard.get());
    EXPECT_EQ(textOf(tree->FindRow(logic().findParam("n1")), "numText"), "[2/4]");
  }

  sim->controlOk("camera-online cam-gate 0");
  ASSERT_TRUE(mc::test::waitUntil([&] { return notices > 1; }, 10000));
  EXPECT_EQ(cameraNames(live, "n1"), (Names{"Yard", "Gate", "Hall", "Old store"}));
  EXPECT_EQ(CRealyTree::IconOf(live->FindRow(camera("cam-gate"))), "sxt-out.png");
  EXPECT_EQ(textOf(live->FindRow(logic().findParam("n1")), "numText"), "[1/4]");
}

TEST_F(TreeCatalogueTest, ReloadRebuildsWithTheSameRecordsAndKeepsTheOperatorsView) {
  const IParamPtr north = logic().findParam("n1");
  const SxtParamPtr hall = camera("cam-hall");
  live->SetExpanded(live->FindRow(logic().findParam("n2")), false);
  live->SelectRow(live->FindRow(hall));

  const int before = rebuilds;
  ASSERT_TRUE(logic().loadCatalogue(window->GetHWND(), ""));
  ASSERT_TRUE(mc::test::waitUntil([&] { return rebuilds > before; })) << "MSG_TREES_REBUILD";
  EXPECT_EQ(logic().findParam("n1").get(), north.get()) << "the coordinator reuses its records";
  for (CRealyTree* tree : trees()) {
    EXPECT_EQ(tree->FindRow(north)->record.get(), north.get());
    EXPECT_EQ(tree->FindRow(hall)->record.get(), hall.get());
  }
  EXPECT_EQ(live->SelectedNode()->record.get(), hall.get());
  EXPECT_FALSE(live->FindRow(logic().findParam("n2"))->expanded);
  EXPECT_EQ(shownNames(live), (Names{"North yard", "Gate", "Hall", "Yard", "Old store", "Depot"}));
}

}  // namespace
