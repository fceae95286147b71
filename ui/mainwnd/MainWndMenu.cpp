// The live tree's context menu and its commands, and the catalogue reload:
// the requests to the server run on the window's pool behind the waiting
// window; what they touch in the window is done here on the UI thread.
#include <QMenu>

#include "common/Messages.h"
#include "core/AppContext.h"
#include "core/ThreadPool.h"
#include "link/CMainLogic.h"
#include "ui/controls/LoadingDlg.h"
#include "ui/lib/MenuWnd.h"
#include "ui/mainwnd/MainWnd.h"
#include "ui/mainwnd/MainWndRules.h"
#include "ui/trees/DeviceTrees.h"

namespace {

// The outcome of a request made behind the waiting window, shared with the
// task that makes it.
struct RequestOutcome {
  bool ok = false;
  std::string error;
};

}  // namespace

void CMainWnd::onNodeMenu(TNotifyUI& msg) {
  if (!liveTree_) return;
  CTreeNode* node = liveTree_->SelectedNode();
  if (!node || !node->record) return;
  const std::string layout = mainwnd::menuLayoutOf(node->record->type);
  if (layout.empty()) return;
  CMenuWnd::Popup(GetHWND(), QStringLiteral("Skin"), QString::fromStdString(layout), GetWidget()->mapToGlobal(msg.point));
}

void CMainWnd::onMenuCommand(const std::string& item) {
  CTreeNode* node = liveTree_ ? liveTree_->SelectedNode() : nullptr;
  if (!node || !node->record) return;
  if (item == "delnode") deleteNode(node);
  else if (item == "delsxt") deleteCamera(node);
  else if (item == "closenode") closeTreeRow(node);
  else if (item == "addchannel") addChannel(node);
  // "erweima" and the items of the editing dialogs ("setnodename",
  // "setsxtname", "rtmp", "hkehome") do nothing here.
}

void CMainWnd::deleteNode(CTreeNode* node) {
  const auto logic = AppContext::instance().getMainLogic();
  if (!logic || node->record->type == IParam::kCameraType) return;
  // The panes belong to the UI thread: the node's cameras close here, before
  // the request goes out.
  std::vector<SxtParamPtr> cameras;
  for (int i = 0; i < CTreeList::ChildCount(node); ++i)
    if (auto camera = std::dynamic_pointer_cast<SxtParam>(CTreeList::ChildAt(node, i)->record)) cameras.push_back(camera);
  for (const SxtParamPtr& camera : cameras) closeLiveCamera(camera);
  const std::string nodeId = node->record->id;
  const std::string userId = AppContext::instance().userId;
  deleteBehindWait([logic, nodeId, userId](std::string& error) { return logic->deleteNode(userId, nodeId, error); });
}

void CMainWnd::deleteCamera(CTreeNode* node) {
  const auto logic = AppContext::instance().getMainLogic();
  const auto camera = std::dynamic_pointer_cast<SxtParam>(node->record);
  if (!logic || !camera || !node->parent || !node->parent->record) return;
  closeLiveCamera(camera);
  const std::string cameraId = camera->id;
  const std::string nodeId = node->parent->record->id;
  deleteBehindWait(
      [logic, nodeId, cameraId](std::string& error) { return logic->deleteCamera(nodeId, cameraId, error); });
}

void CMainWnd::deleteBehindWait(std::function<bool(std::string& error)> request) {
  auto outcome = std::make_shared<RequestOutcome>();
  CLoadingDlg::RunWhile(GetHWND(), *pool_, [request = std::move(request), outcome] {
    outcome->ok = request(outcome->error);
  });
  if (outcome->ok) mc::postMessage(GetHWND(), mc::msg::MSG_CATALOGUE_CHANGED);
  else showMessage(QStringLiteral("删除失败"));
}

void CMainWnd::addChannel(CTreeNode* node) {
  const auto record = std::dynamic_pointer_cast<NodeParam>(node->record);
  if (!record) return;
  std::vector<std::string> used;
  for (int i = 0; i < CTreeList::ChildCount(node); ++i)
    if (auto camera = std::dynamic_pointer_cast<SxtParam>(CTreeList::ChildAt(node, i)->record))
      used.push_back(camera->cameraIndex);
  const std::optional<std::string> free = mainwnd::freeChannelList(record->type, record->cameraCount, used);
  if (!free) {
    showMessage(QStringLiteral("通道已满"));
    return;
  }
  openAddCameraDialog(record, *free);
}

void CMainWnd::openAddCameraDialog(const NodeParamPtr&, const std::string&) {}

bool CMainWnd::reloadCatalogue() {
  if (reloading_) {
    // Inside the running reload's wait (a notice, a second request): once
    // more when it ended, so the last change is not missed.
    reloadAgain_ = true;
    return false;
  }
  reloading_ = true;
  do {
    reloadAgain_ = false;
    const auto logic = AppContext::instance().getMainLogic();
    if (!logic) break;
    const mc::WindowHandle window = GetHWND();
    // An empty version asks the server for its current one.
    CLoadingDlg::RunWhile(window, *pool_, [logic, window] { logic->loadCatalogue(window, std::string()); });
  } while (reloadAgain_ && !IsClosed());
  reloading_ = false;
  return true;
}
