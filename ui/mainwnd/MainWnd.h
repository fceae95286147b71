#pragma once
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

#include "link/CatalogueParam.h"
#include "ui/controls/PlayProgressUI.h"
#include "ui/lib/WindowImplBase.h"
#include "ui/wall/VideoPanelNotify.h"

class CFpRealyTree;
class CRealyTree;
class CTabLayoutUI;
class CVideoPanelHandle;
class QAbstractButton;
class QLabel;
class QLineEdit;
class ThreadPool;
struct CTreeNode;
struct PaneCommand;
namespace mc {
class CpuLoadSampler;
}

// The operator's workspace, shown modally once the login and the catalogue
// load have succeeded: the live page (device tree, video wall of 64 panes,
// split buttons, tour, open and close all), the playback page and the device
// management pages, the status read-outs (processor, memory, data rate), the
// tree's context menu, and the window messages through which the coordinator,
// the camera views, the wall and the trees reach the interface.
//
// Window class "MainDlg", layout "MainWnd.xml" of the skin. The live wall sits
// at 250,86 and takes the client area less 255 × 128 pixels. Everything runs
// on the UI thread except the work behind the waiting window (catalogue
// reload, deletions), which runs on the window's own pool of two threads; the
// snapshot's one-second wait is the waiting window's own close timer. Camera
// views and the coordinator report only by posted messages; their heap
// payloads are released with the message.
//
// Split by feature: MainWnd.cpp (creation, sizing, pages, messages),
// MainWndLive.cpp (opening and closing cameras, tour, pane commands, search),
// MainWndMenu.cpp (context menu, reload, deletions), MainWndStats.cpp (status
// read-outs).
class CMainWnd : public WindowImplBase, public VideoHandleNotify, public IPlayProgressNofity {
 public:
  static constexpr int kLiveLeft = 250;
  static constexpr int kLiveTop = 86;
  static constexpr int kInitialLiveWidth = 765;
  static constexpr int kInitialLiveHeight = 615;
  static constexpr int kLiveWidthMargin = 255;   // client width − live wall width
  static constexpr int kLiveHeightMargin = 128;  // client height − live wall height
  static constexpr int kInitialSplit = 4;

  static constexpr unsigned kTourTimer = 1225;
  static constexpr unsigned kLanSearchTimer = 1325;
  static constexpr unsigned kStatsTimer = 1326;
  static constexpr unsigned kStatsPeriodMs = 1000;
  static constexpr int kWorkerThreads = 2;

  // Pages of "switch" and of "sonSwitch".
  enum Page { kLivePage = 0, kPlaybackPage = 1, kDevicePage = 2 };

  CMainWnd();
  ~CMainWnd() override;

  QString GetWindowClassName() const override { return QStringLiteral("MainDlg"); }

  // The live wall and the live tree; null before the window is created.
  CVideoPanelHandle* liveWall() const { return liveWall_.get(); }
  CFpRealyTree* liveTree() const { return liveTree_; }
  // The page of "switch" shown now.
  int currentPage() const;
  int splitCount() const { return splitCount_; }
  bool tourRunning() const { return tourRunning_; }
  // The period the tour timer runs with (0 while stopped).
  int tourPeriodMs() const { return tourRunning_ ? tourPeriodMs_ : 0; }
  bool initialised() const { return initialised_; }

  // Opens the web back office; the desktop's browser unless replaced (tests
  // record the address instead).
  using UrlOpener = std::function<bool(const QUrl&)>;
  void setUrlOpener(UrlOpener opener) { urlOpener_ = std::move(opener); }
  // The address "houtai" opens: [Server] WebUrl of Config.ini, else the first
  // dispatcher's web server.
  static QUrl backOfficeUrl();

  // Live view of one camera into the first free pane from the selected one:
  // refused for an expired or off-line camera (with the message when
  // `showMessages`), silently when no pane is free or the view fails. True
  // when the camera now plays.
  bool openLiveCamera(const SxtParamPtr& camera, bool showMessages);
  // Ends the camera's live view, when it plays, and frees its pane.
  void closeLiveCamera(const SxtParamPtr& camera);
  // The live tree's row: a camera row is opened (closed instead when
  // `toggle` and it plays); a node row opens every camera below it that
  // does not play yet.
  void openTreeRow(CTreeNode* node, bool showMessages, bool toggle);
  // Closes the cameras of the row and of every row below it.
  void closeTreeRow(CTreeNode* node);
  // "closeallBtn": every camera of the tree, then every pane still holding one.
  void closeAllCameras();

  // The notifications of the window's controls (tests send clicks here with
  // the real control as sender).
  void Notify(TNotifyUI& msg) override;

  // VideoHandleNotify: the main window has nothing to do after a drop.
  void OnPaneSelected(int) override {}
  // IPlayProgressNofity: the playback page's time bar (not on this page).
  void OnPlayProgressClick(const QString&) override {}

 protected:
  QString GetSkinFile() const override { return QStringLiteral("MainWnd.xml"); }
  void InitWindow() override;
  QWidget* CreateControl(const QString& className, QWidget* parent) override;
  void OnClick(TNotifyUI& msg) override;
  bool HandleMessage(const mc::WindowMessage& message) override;

  // The add-camera dialog of a node with its free channels ("2;4;"). The
  // dialog is not part of this window; nothing happens here.
  virtual void openAddCameraDialog(const NodeParamPtr& node, const std::string& freeChannels);

 private:
  // MainWnd.cpp
  void onSize(int width, int height);
  void onSelectChanged(QAbstractButton* option);
  void rebuildTrees();
  void showMessage(const QString& text);
  void onActiveNotice(const mc::WindowMessage& message);
  void onCameraParams(const mc::WindowMessage& message);
  void openBackOffice();

  // MainWndLive.cpp
  void onSplitButton(int count);
  void onTourButton();
  void stopTour();
  void onTourTick();
  void onItemActivate(TNotifyUI& msg);
  void onPaneCommand(const PaneCommand& command);
  void takeSnapshot(const SxtParamPtr& camera);
  void searchLiveTree();
  void onLiveSelection(int index);

  // MainWndMenu.cpp
  void onNodeMenu(TNotifyUI& msg);
  void onMenuCommand(const std::string& item);
  void deleteNode(CTreeNode* node);
  void deleteCamera(CTreeNode* node);
  // Runs the deletion request on the pool behind the waiting window; then a
  // catalogue reload on success, "删除失败" otherwise.
  void deleteBehindWait(std::function<bool(std::string& error)> request);
  void addChannel(CTreeNode* node);
  // Reloads the catalogue behind the waiting window; a request made while a
  // reload runs is done once it ended. True when this call ran the reload.
  bool reloadCatalogue();

  // MainWndStats.cpp
  void onStatsTick();
  void startStats();
  void stopStats();

  std::unique_ptr<CVideoPanelHandle> liveWall_;
  CFpRealyTree* liveTree_ = nullptr;
  CRealyTree* mapTree_ = nullptr;
  CTabLayoutUI* switch_ = nullptr;
  CTabLayoutUI* sonSwitch_ = nullptr;
  QAbstractButton* realyplayOption_ = nullptr;
  QAbstractButton* playbackOption_ = nullptr;
  QAbstractButton* devManageOption_ = nullptr;
  QAbstractButton* hkManageOption_ = nullptr;
  QAbstractButton* searchButton_ = nullptr;
  QLineEdit* searchEdit_ = nullptr;
  QLabel* cpuLabel_ = nullptr;
  QLabel* memoryLabel_ = nullptr;
  QLabel* bitstreamLabel_ = nullptr;

  int splitCount_ = kInitialSplit;
  bool tourRunning_ = false;
  int tourPeriodMs_ = 0;
  bool initialised_ = false;
  bool reloading_ = false;
  bool reloadAgain_ = false;
  std::shared_ptr<ThreadPool> pool_;
  std::unique_ptr<mc::CpuLoadSampler> cpuSampler_;
  UrlOpener urlOpener_;
};
