// The live page: cameras into and out of the wall, split layouts, the tour,
// the pane bars' commands and the tree search.
#include <QAbstractButton>
#include <QLineEdit>

#include "camera/CCameraLogic.h"
#include "common/Messages.h"
#include "core/AppContext.h"
#include "link/CMainLogic.h"
#include "ui/controls/LoadingDlg.h"
#include "ui/controls/PictrueDlg.h"
#include "ui/lib/ControlOps.h"
#include "ui/mainwnd/MainWnd.h"
#include "ui/mainwnd/MainWndRules.h"
#include "ui/trees/DeviceTrees.h"
#include "ui/wall/CVideoPanelHandle.h"
#include "ui/wall/CWinSub.h"
#include "ui/wall/CWinSubUp.h"
#include "ui/wall/PaneCommand.h"

namespace {

const QString kTourStart = QStringLiteral("开始轮询");
const QString kTourStop = QStringLiteral("停止轮询");

constexpr std::int32_t kQualityCommand = 16;
constexpr int kSnapshotWaitMs = 1000;

std::shared_ptr<CCameraLogic> liveViewOf(const SxtParamPtr& camera) {
  const auto logic = AppContext::instance().getMainLogic();
  return logic && camera ? logic->getLive(camera) : nullptr;
}

bool isPlaying(const SxtParamPtr& camera) {
  const auto view = liveViewOf(camera);
  return view && view->IsOpen();
}

// The cameras of the row and of every row below it, depth first.
void collectCameras(const CTreeNode* node, std::vector<SxtParamPtr>& cameras) {
  if (auto camera = std::dynamic_pointer_cast<SxtParam>(node->record)) cameras.push_back(camera);
  for (int i = 0; i < CTreeList::ChildCount(node); ++i) collectCameras(CTreeList::ChildAt(node, i), cameras);
}

std::vector<SxtParamPtr> camerasBelow(const CTreeNode* node) {
  std::vector<SxtParamPtr> cameras;
  if (node) collectCameras(node, cameras);
  return cameras;
}

}  // namespace

bool CMainWnd::openLiveCamera(const SxtParamPtr& camera, bool showMessages) {
  if (!camera || !liveWall_) return false;
  if (camera->expired) {
    if (showMessages) showMessage(QStringLiteral("该摄像头过期"));
    return false;
  }
  if (!camera->online) {
    if (showMessages) showMessage(QStringLiteral("该摄像头不在线，无法播放"));
    return false;
  }
  int index = liveWall_->selectedIndex();
  mc::WindowHandle pane = mc::kNoWindow;
  if (!liveWall_->findFreePane(index, pane)) return false;
  const auto logic = AppContext::instance().getMainLogic();
  // The bars cover the top and the bottom of the selected pane: the picture
  // keeps clear of them.
  if (!logic || logic->openLive(pane, camera, CWinSubUp::kHeight, CWinSub::kHeight) != 1) return false;
  mc::postMessage(pane, mc::msg::MSG_PANE_LOADING);
  liveWall_->assignCamera(index, camera);
  liveWall_->select(index);
  if (liveTree_) liveTree_->RefreshRecord(camera);
  return true;
}

void CMainWnd::closeLiveCamera(const SxtParamPtr& camera) {
  const auto logic = AppContext::instance().getMainLogic();
  const auto view = liveViewOf(camera);
  if (!logic || !view || !view->IsOpen()) return;
  if (liveWall_) {
    const int slot = liveWall_->findPaneOfCamera(camera);
    if (slot >= 0) liveWall_->assignCamera(slot, nullptr);
  }
  logic->closeLive(camera);
  if (liveTree_) liveTree_->RefreshRecord(camera);
}

void CMainWnd::openTreeRow(CTreeNode* node, bool showMessages, bool toggle) {
  if (!node) return;
  if (auto camera = std::dynamic_pointer_cast<SxtParam>(node->record)) {
    // A camera row has no rows below it. Nothing of `node` is used after the
    // camera opened: a message box runs a loop in which a rebuild of the
    // tree may replace its nodes.
    if (toggle && isPlaying(camera)) closeLiveCamera(camera);
    else if (!isPlaying(camera)) openLiveCamera(camera, showMessages);
    return;
  }
  // The cameras below, taken first for the same reason.
  for (const SxtParamPtr& camera : camerasBelow(node))
    if (!isPlaying(camera)) openLiveCamera(camera, showMessages);
}

void CMainWnd::closeTreeRow(CTreeNode* node) {
  for (const SxtParamPtr& camera : camerasBelow(node)) closeLiveCamera(camera);
}

void CMainWnd::closeAllCameras() {
  if (liveTree_) {
    CTreeNode* root = liveTree_->GetRoot();
    for (int i = 0; i < CTreeList::ChildCount(root); ++i) closeTreeRow(CTreeList::ChildAt(root, i));
  }
  // Panes may hold cameras the tree no longer shows.
  if (!liveWall_) return;
  for (int i = 0; i < 64; ++i)
    if (SxtParamPtr camera = liveWall_->cameraOfPane(i)) closeLiveCamera(camera);
}

void CMainWnd::onItemActivate(TNotifyUI& msg) {
  if (!qobject_cast<CListContainerElementUI*>(msg.sender)) return;
  CTreeNode* node = CTreeList::NodeOfControl(msg.sender);
  if (!node || !node->record) return;
  if (currentPage() != kLivePage || node->tree != liveTree_) return;  // playback rows: the playback page
  const int type = node->record->type;
  if (type == IParam::kCameraType) openTreeRow(node, true, true);
  else if (mainwnd::opensAllOnDoubleClick(type)) openTreeRow(node, false, false);
}

void CMainWnd::onSplitButton(int count) {
  if (tourRunning_) {
    showMessage(QStringLiteral("请停止轮询后切换！"));
    return;
  }
  splitCount_ = count;
  liveWall_->setLayout(count, false);
  liveWall_->moveBars(liveWall_->selectedIndex());
}

void CMainWnd::onTourButton() {
  auto* button = FindControl<QAbstractButton>("lunxun");
  if (!button || !liveWall_) return;
  // A running tour stops in any layout: the wall may have grown out of 6 or
  // 8 by itself (a camera opened beyond the layout), and the tour must not
  // be left running with no way to end it.
  if (ui::GetText(button) != kTourStart) {
    stopTour();
    return;
  }
  if (!mainwnd::tourAllowed(liveWall_->currentCount())) {
    showMessage(QStringLiteral("只有特殊分屏（6屏和8屏）"));
    return;
  }
  auto* interval = FindControl<QLineEdit>("lunxunTime");
  const std::optional<int> seconds = mainwnd::parseTourSeconds(interval ? interval->text().toStdString() : "");
  if (!seconds) return;
  tourRunning_ = true;
  tourPeriodMs_ = *seconds * 1000;
  if (interval) interval->setEnabled(false);
  ui::SetText(button, kTourStop);
  SetTimer(kTourTimer, static_cast<unsigned>(tourPeriodMs_));
  liveWall_->tourStep();
}

void CMainWnd::stopTour() {
  tourRunning_ = false;
  tourPeriodMs_ = 0;
  if (auto* interval = FindControl<QLineEdit>("lunxunTime")) interval->setEnabled(true);
  if (auto* button = FindControl<QAbstractButton>("lunxun")) ui::SetText(button, kTourStart);
  KillTimer(kTourTimer);
}

void CMainWnd::onTourTick() {
  if (tourRunning_ && currentPage() == kLivePage) liveWall_->tourStep();
}

void CMainWnd::onLiveSelection(int index) {
  if (!liveTree_ || !liveWall_) return;
  if (SxtParamPtr camera = liveWall_->cameraOfPane(index))
    if (CTreeNode* row = liveTree_->FindRow(camera)) liveTree_->SelectRow(row);
}

void CMainWnd::searchLiveTree() {
  if (!searchEdit_ || !liveTree_) return;
  const QString text = searchEdit_->text();
  if (!text.isEmpty()) liveTree_->FindNext(text);
}

void CMainWnd::onPaneCommand(const PaneCommand& command) {
  // Always the camera of the selected live pane.
  const SxtParamPtr camera = liveWall_->cameraOfPane(liveWall_->selectedIndex());
  if (!camera) return;
  switch (command.kind) {
    case PaneCommand::kStop:
      closeLiveCamera(camera);
      break;
    case PaneCommand::kSnapshot:
      takeSnapshot(camera);
      break;
    case PaneCommand::kSound:
      if (const auto view = liveViewOf(camera))
        if (const auto logic = AppContext::instance().getMainLogic())
          logic->setSoundCamera(camera, !view->soundOn.load(), CMainLogic::kLiveView);
      break;
    case PaneCommand::kQuality:
      if (const auto view = liveViewOf(camera))
        view->SendCommand(kQualityCommand, {{"ViedoQP", std::to_string(command.value + 1)}});
      break;
    default:
      // PTZ (4) and talk (6) open windows of their own, not part of this one.
      break;
  }
}

void CMainWnd::takeSnapshot(const SxtParamPtr& camera) {
  const auto view = liveViewOf(camera);
  if (!view || !view->IsOpen()) return;
  // Asked for, not flipped: a request left over from a failed snapshot would
  // otherwise be cancelled and the next picture reported as saved.
  view->snapshotRequested = true;
  CLoadingDlg::ShowFor(GetHWND(), kSnapshotWaitMs);
  // Still asked for after a second: no picture came. The request is
  // withdrawn so that no file appears later unannounced.
  if (view->snapshotRequested.exchange(false)) showMessage(QStringLiteral("抓屏失败"));
  else CPictrueDlg::Show(GetHWND());
}
