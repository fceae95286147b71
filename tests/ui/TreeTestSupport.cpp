#include "tests/ui/TreeTestSupport.h"

#include <gtest/gtest.h>

#include "core/AppContext.h"
#include "ui/lib/ControlOps.h"
#include "ui/lib/WindowImplBase.h"

namespace mc::test {

void TreeWindowTest::SetUp() {
  const QString decl = R"(<customwidgets>
  <customwidget><class>RealyTree</class><extends>QWidget</extends><header>t.h</header></customwidget>
  <customwidget><class>PlayBackTree</class><extends>QWidget</extends><header>t.h</header></customwidget>
  <customwidget><class>StaticTree</class><extends>QWidget</extends><header>t.h</header></customwidget>
 </customwidgets>)";
  skin.writeLayout("Trees.xml",
                   widgetItem("RealyTree", "PlayRelayList") + widgetItem("PlayBackTree", "PlaybackRelayList") +
                       widgetItem("StaticTree", "staticTree"),
                   decl);
  window = std::make_unique<TestWindow>(skin.dir(), "Trees.xml");
  window->factory = [](const QString& className, QWidget* parent) -> QWidget* {
    return ui::createDeviceTree(className, parent);
  };
  ASSERT_NE(window->Create(mc::kNoWindow, "trees", ui::UI_WNDSTYLE_FRAME), mc::kNoWindow);
  window->GetWidget()->resize(300, 900);
  window->GetWidget()->show();
  live = window->FindControl<CFpRealyTree>("PlayRelayList");
  playback = window->FindControl<CPlayBackRealyTree>("PlaybackRelayList");
  map = window->FindControl<CStaticTree>("staticTree");
  ASSERT_NE(live, nullptr);
  ASSERT_NE(playback, nullptr);
  ASSERT_NE(map, nullptr);
}

void TreeWindowTest::TearDown() {
  AppContext::instance().mainHwnd = mc::kNoWindow;
  if (window) window->Close();
}

void TreeWindowTest::rebuildAll(const std::vector<IParamPtr>& roots) {
  for (CRealyTree* tree : trees()) tree->Rebuild(roots);
}

QWidget* TreeWindowTest::controlOf(const CTreeNode* node, const char* control) {
  return node && node->row ? WindowImplBase::FindSubControl(node->row, control) : nullptr;
}

QString TreeWindowTest::textOf(const CTreeNode* node, const char* control) {
  QWidget* c = controlOf(node, control);
  return c ? ui::GetText(c) : QString("<no %1>").arg(control);
}

std::vector<std::string> TreeWindowTest::shownNames(CRealyTree* tree) {
  std::vector<std::string> names;
  for (int i = 0; i < tree->GetCount(); ++i) {
    CListElementUI* row = tree->GetItemAt(i);
    CTreeNode* node = tree->NodeOfRow(row);
    if (node && !row->isHidden()) names.push_back(node->record->name);
  }
  return names;
}

NodeParamPtr makeNode(int type, const std::string& id, const std::string& name, bool online) {
  auto node = NodeParam::create(type, id);
  node->name = name;
  node->online = online;
  return node;
}

SxtParamPtr makeCamera(const std::string& id, const std::string& name, bool online, bool expired) {
  auto camera = SxtParam::create(id);
  camera->name = name;
  camera->online = online;
  camera->expired = expired;
  return camera;
}

void adopt(const NodeParamPtr& node, const std::vector<SxtParamPtr>& cameras) {
  std::vector<IParamPtr> children(cameras.begin(), cameras.end());
  node->onlineCameraCount = 0;
  for (const auto& camera : cameras) node->onlineCameraCount += camera->online ? 1 : 0;
  node->setChildren(std::move(children));
  node->cameraCount = static_cast<std::int32_t>(cameras.size());
}

}  // namespace mc::test
