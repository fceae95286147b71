// The main window: creation in its fixed order, sizing, the pages, the
// notifications and the window messages.
#include "ui/mainwnd/MainWnd.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>

#include "camera/CameraAbility.h"
#include "common/Messages.h"
#include "core/AppContext.h"
#include "core/SystemLoad.h"
#include "core/ThreadPool.h"
#include "link/CMainLogic.h"
#include "ui/controls/PopMessageBox.h"
#include "ui/lib/ListUI.h"
#include "ui/lib/TabLayoutUI.h"
#include "ui/lib/WindowRegistry.h"
#include "ui/mainwnd/MainWndRules.h"
#include "ui/trees/DeviceTrees.h"
#include "ui/wall/CVideoPanelHandle.h"
#include "ui/wall/CWinSub.h"
#include "ui/wall/PaneCommand.h"

CMainWnd::CMainWnd() : pool_(ThreadPool::create(kWorkerThreads)) {
  urlOpener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

CMainWnd::~CMainWnd() {
  // The work behind a waiting window holds what it uses; stopping the pool
  // waits for what runs now.
  pool_->stop();
}

int CMainWnd::currentPage() const { return switch_ ? switch_->GetCurSel() : kLivePage; }

QWidget* CMainWnd::CreateControl(const QString& className, QWidget* parent) {
  if (CRealyTree* tree = ui::createDeviceTree(className, parent)) return tree;
  if (className == "PlayProgress") return new CPlayProgressUI(this, parent);
  return nullptr;
}

void CMainWnd::InitWindow() {
  // 1. The pages and the read-outs.
  switch_ = FindControl<CTabLayoutUI>("switch");
  sonSwitch_ = FindControl<CTabLayoutUI>("sonSwitch");
  realyplayOption_ = FindControl<QAbstractButton>("Realyplay");
  playbackOption_ = FindControl<QAbstractButton>("Playback");
  devManageOption_ = FindControl<QAbstractButton>("DevManage");
  hkManageOption_ = FindControl<QAbstractButton>("HKManage");
  mapTree_ = FindControl<CRealyTree>("staticTree");
  cpuLabel_ = FindControl<QLabel>("cpu");
  memoryLabel_ = FindControl<QLabel>("neicun");
  bitstreamLabel_ = FindControl<QLabel>("bitstream");

  // 2. The live page: the wall over the window, then the tree and search.
  liveWall_ = std::make_unique<CVideoPanelHandle>(CVideoPanelHandle::kLive, this);
  liveWall_->attach(GetHWND());
  liveWall_->setPosition(kLiveLeft, kLiveTop);
  liveWall_->setSize(kInitialLiveWidth, kInitialLiveHeight);
  liveWall_->setSelectionCallback([this](int, int index) { onLiveSelection(index); });
  liveTree_ = FindControl<CFpRealyTree>("PlayRelayList");
  // Until the playback, PTZ and talk windows exist their buttons stay hidden.
  if (liveTree_) liveTree_->SetPlaybackAvailable(false);
  if (CWinSub* bar = liveWall_->bottomBar())
    bar->setUnavailable({QStringLiteral("playbackBtn"), QStringLiteral("yuntaiBtn"), QStringLiteral("yuntaiBtnLayout"),
                         QStringLiteral("speakBtn"), QStringLiteral("speakBtnLayout")});
  searchButton_ = FindControl<QAbstractButton>("serachBtn");
  searchEdit_ = FindControl<QLineEdit>("serachEdit");

  // 3. The playback page and the device pages bring their own parts.

  // 4. The trees.
  rebuildTrees();

  // 5. Ready: messages are handled from now on.
  initialised_ = true;
  SetTimer(kStatsTimer, kStatsPeriodMs);
}

void CMainWnd::onSize(int width, int height) {
  if (!liveWall_) return;
  liveWall_->setSize(width - kLiveWidthMargin, height - kLiveHeightMargin);
  if (currentPage() == kLivePage) liveWall_->moveBars();
  else liveWall_->hideAll();
  if (QWidget* host = GetWidget()) {
    const bool maximised = host->isMaximized();
    if (QWidget* button = FindControl("maxbtn")) button->setVisible(!maximised);
    if (QWidget* button = FindControl("restorebtn")) button->setVisible(maximised);
  }
}

void CMainWnd::rebuildTrees() {
  // Live, playback, map: each clears and refills itself in one step.
  for (CRealyTree* tree : {static_cast<CRealyTree*>(liveTree_), FindControl<CRealyTree>("PlaybackRelayList"), mapTree_})
    if (tree) tree->RebuildFromCatalogue();
}

void CMainWnd::showMessage(const QString& text) { CPopMessageBox::ShowMessage(GetHWND(), text); }

void CMainWnd::onSelectChanged(QAbstractButton* option) {
  const QString name = option->objectName();
  const bool liveGroup = option == realyplayOption_ || option == playbackOption_;
  const bool deviceGroup = option == devManageOption_ || option == hkManageOption_;
  if (!liveGroup && !deviceGroup) return;
  liveWall_->hideAll();
  if (liveGroup) {
    for (QAbstractButton* other : {devManageOption_, hkManageOption_})
      if (other) other->setChecked(false);
    if (option == realyplayOption_) {
      // The wall's own count: it may have grown past the split chosen last.
      liveWall_->setLayout(liveWall_->currentCount() > 0 ? liveWall_->currentCount() : splitCount_, true);
      liveWall_->moveBars(liveWall_->selectedIndex());
      if (switch_) switch_->SelectItem(kLivePage);
    } else if (switch_) {
      switch_->SelectItem(kPlaybackPage);
    }
    return;
  }
  for (QAbstractButton* other : {realyplayOption_, playbackOption_})
    if (other) other->setChecked(false);
  if (switch_) switch_->SelectItem(kDevicePage);
  if (sonSwitch_) sonSwitch_->SelectItem(option == devManageOption_ ? 0 : 1);
}

void CMainWnd::Notify(TNotifyUI& msg) {
  if (initialised_ && msg.sender) {
    if (msg.type == ui::kNotifySelectChanged) {
      if (auto* option = qobject_cast<QAbstractButton*>(msg.sender)) onSelectChanged(option);
    } else if (msg.type == ui::kNotifyItemActivate) {
      onItemActivate(msg);
    } else if (msg.type == ui::kNotifyItemClick) {
      if (CTreeNode* node = CTreeList::NodeOfControl(msg.sender); node && node->tree) node->tree->ClickRow(node);
    } else if (msg.type == ui::kNotifyItemIn || msg.type == ui::kNotifyItemLeave) {
      CTreeNode* node = CTreeList::NodeOfControl(msg.sender);
      if (node && liveTree_ && node->tree == liveTree_ && currentPage() == kLivePage) {
        if (msg.type == ui::kNotifyItemIn) liveTree_->HoverOn(node);
        else liveTree_->HoverOff(node);
      }
    } else if (msg.type == ui::kNotifyNodeMenu && msg.sender == liveTree_) {
      onNodeMenu(msg);
    } else if (msg.type == ui::kNotifyReturn && msg.sender == searchEdit_) {
      // Return released in the edit stays with the edit: its "return" is
      // the key up of Return there.
      if (currentPage() == kLivePage) searchLiveTree();
    }
  }
  WindowImplBase::Notify(msg);
}

void CMainWnd::OnClick(TNotifyUI& msg) {
  const QString name = msg.sender ? msg.sender->objectName() : QString();
  if (const std::optional<int> count = mainwnd::splitCountOfButton(name.toStdString())) {
    if (currentPage() == kLivePage) onSplitButton(*count);
    return;
  }
  if (name == "FullDesk") {
    liveWall_->fullScreen(true);
  } else if (name == "lunxun") {
    onTourButton();
  } else if (name == "openallBtn") {
    if (liveTree_) openTreeRow(liveTree_->GetRoot(), false, false);
  } else if (name == "closeallBtn") {
    closeAllCameras();
  } else if (name == "refrushBtn") {
    reloadCatalogue();
    showMessage(QStringLiteral("刷新成功！"));
  } else if (name == "serachBtn") {
    searchLiveTree();
  } else if (name == "houtai") {
    openBackOffice();
  } else {
    WindowImplBase::OnClick(msg);
  }
}

QUrl CMainWnd::backOfficeUrl() {
  AppContext& context = AppContext::instance();
  const std::string configured = context.configIni.get("Server", "WebUrl");
  if (!configured.empty()) return QUrl(QString::fromStdString(configured));
  const std::string host = context.servers.empty() ? context.logicServerIp : context.servers.front().ip;
  if (host.empty()) return {};
  QUrl url;
  url.setScheme(QStringLiteral("http"));
  url.setHost(QString::fromStdString(host));
  url.setPath(QStringLiteral("/"));
  return url;
}

void CMainWnd::openBackOffice() {
  const QUrl url = backOfficeUrl();
  if (url.isValid() && !url.isEmpty() && urlOpener_) urlOpener_(url);
}

void CMainWnd::onActiveNotice(const mc::WindowMessage& message) {
  const auto notice = std::static_pointer_cast<ActiveNotice>(message.payload);
  const auto logic = AppContext::instance().getMainLogic();
  if (!notice || !logic) return;
  const IParamPtr record = logic->findParam(notice->id);
  if (!record) return;
  record->online = notice->active == "1";
  logic->reorderByOnline();
  rebuildTrees();
}

void CMainWnd::onCameraParams(const mc::WindowMessage& message) {
  const auto ability = std::static_pointer_cast<CameraAbility>(message.payload);
  const auto logic = AppContext::instance().getMainLogic();
  if (!ability || !logic) return;
  const auto camera = std::dynamic_pointer_cast<SxtParam>(logic->findParam(ability->cameraId));
  if (!camera) return;
  camera->enableQp = ability->EnableQP;
  // A level outside 1 … 5 means the device told none: the last known stays.
  if (ability->ViedoQP >= 1 && ability->ViedoQP <= 5) camera->viedoQp = ability->ViedoQP;
  camera->ptzEnabled = ability->PTZ;
  camera->audioEnabled = ability->Audio;
  camera->speakEnabled = ability->Speak;
  camera->setTimeEnabled = ability->SetTime;
  if (currentPage() == kLivePage) liveWall_->moveBars(liveWall_->selectedIndex());
}

bool CMainWnd::HandleMessage(const mc::WindowMessage& message) {
  if (!initialised_) return WindowImplBase::HandleMessage(message);
  namespace msg = mc::msg;
  switch (message.id) {
    case ui::kMsgMove:
      liveWall_->moveBars();
      return true;
    case ui::kMsgSize:
      onSize(static_cast<int>(message.wParam), static_cast<int>(message.lParam));
      return true;
    case ui::kMsgTimer:
      if (message.wParam == kTourTimer) onTourTick();
      else if (message.wParam == kStatsTimer) onStatsTick();
      return true;
    case ui::kMsgKeyUp:
      if (const auto key = static_cast<int>(message.wParam); key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (currentPage() == kLivePage) searchLiveTree();
        return true;
      }
      break;
    case msg::MSG_MENU_COMMAND:
      if (const auto item = std::static_pointer_cast<std::string>(message.payload)) onMenuCommand(*item);
      return true;
    case msg::MSG_NODE_ACTIVE:
    case msg::MSG_CAMERA_ACTIVE:
      onActiveNotice(message);
      return true;
    case msg::MSG_CATALOGUE_CHANGED:
      reloadCatalogue();
      return true;
    case msg::MSG_CAMERA_PARAMS:
      onCameraParams(message);
      return true;
    case msg::MSG_TREES_REBUILD:
      rebuildTrees();
      return true;
    case msg::MSG_PANE_COMMAND:
      if (const auto command = std::static_pointer_cast<PaneCommand>(message.payload)) onPaneCommand(*command);
      return true;
    case msg::MSG_STATS_START:
      startStats();
      return true;
    case msg::MSG_STATS_STOP:
      stopStats();
      return true;
    default:
      break;
  }
  return WindowImplBase::HandleMessage(message);
}
