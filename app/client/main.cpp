// monitor-client: the desktop client. Configuration, the login and start-up
// windows in a loop until a login succeeds or the operator gives up, the
// update offer, the main window, and the shutdown in its fixed order.

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "app/client/DisplayProbe.h"
#include "app/client/QuitOnSignal.h"
#include "core/AppContext.h"
#include "core/AppFolder.h"
#include "core/CrashHandler.h"
#include "core/VersionCheck.h"
#include "link/CMainLogic.h"
#include "ui/controls/PopMessageBox.h"
#include "ui/lib/Theme.h"
#include "ui/lib/WindowRegistry.h"
#include "ui/lib/WindowStyle.h"
#include "ui/login/LoginWin.h"
#include "ui/login/WelcomeDlg.h"
#include "ui/mainwnd/MainWnd.h"
#include "ui/video/PaneRenderTarget.h"

namespace {

constexpr int kIconResource = 133;
constexpr int kWindowWidth = 900;
constexpr int kWindowHeight = 600;

bool quitting = false;

// Closes every open window of the client (message boxes included), so each
// modal loop returns and the start-up sequence goes on to the shutdown.
void closeAllWindows() {
  quitting = true;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (CWindowWnd* window = CWindowWnd::FromWidget(widget); window && !window->IsClosed())
      window->Close(ui::kIdCancel);
  }
}

// Creates `window` centred with the client's icon and runs it modally.
int runModal(CWindowWnd& window, const QString& title, std::uint32_t style) {
  if (window.Create(mc::kNoWindow, title, style, 0, 0, 0, kWindowWidth, kWindowHeight) == mc::kNoWindow) return -1;
  window.CenterWindow();
  window.SetIcon(kIconResource);
  return window.ShowModal();
}

// The login window and the start-up window in turn; true once a login and
// the catalogue load succeeded.
bool loginLoop() {
  while (!quitting) {
    int result = 0;
    {
      CLoginWin login;
      result = runModal(login, QStringLiteral("登录"), ui::UI_WNDSTYLE_DIALOG);
    }
    if (result != ui::kIdOk || quitting) return false;
    {
      CWelcomeDlg welcome;
      result = runModal(welcome, QStringLiteral("CWelcomeDlg"), ui::UI_WNDSTYLE_FRAME);
    }
    if (result == ui::kIdOk) return !quitting;
  }
  return false;
}

// The update offer; true when the updater took over.
bool offerUpdate() {
  VersionCheckActions actions;
  actions.ask = [](const std::string& text, bool twoButtons) {
    return CPopMessageBox::Show(mc::kNoWindow, twoButtons ? CPopMessageBox::kTwoButtons : CPopMessageBox::kOneButton,
                                text, std::string(), "确定", "取消");
  };
  actions.launch = launchProgram;
  return runVersionCheck(actions);
}

void runMainWindow(AppContext& context) {
  auto* window = new CMainWnd;
  context.mainWindow = window;
  if (window->Create(mc::kNoWindow, QStringLiteral("监控浏览端"), ui::UI_WNDSTYLE_FRAME, 0, 0, 0, kWindowWidth,
                     kWindowHeight) != mc::kNoWindow) {
    window->CenterWindow();
    window->SetIcon(kIconResource);
    context.mainHwnd = window->GetHWND();
    if (!quitting) window->ShowModal();
  }
  context.mainHwnd = mc::kNoWindow;
  context.mainWindow = nullptr;
  delete window;
}

}  // namespace

int main(int argc, char** argv) {
  installCrashHandler();
  const std::string folder = resolveApplicationFolder();
  setApplicationFolder(folder);

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("monitor-client"));
  ui::installPostMessageHook();
  ui::applySkinTheme();
  quitOnTerminationSignals(closeAllWindows);

  AppContext& context = AppContext::instance();
  if (!context.loadConfiguration(folder)) {
    CPopMessageBox::Show(mc::kNoWindow, CPopMessageBox::kOneButton, "配置文件异常，请检查配置", std::string(), "确定",
                         "取消");
    mc::setPostMessageHook({});
    return 0;
  }
  installPaneRenderTargets();

  if (!probeOpenGlDisplay()) {
    QMessageBox::warning(nullptr, QStringLiteral("信息提示"),
                         QStringLiteral("加载 d3d9.dll 失败，一些特效可能无法显示！"));
  }

  const bool loggedIn = loginLoop();
  const bool updaterStarted = !quitting && offerUpdate();
  if (loggedIn && !updaterStarted && !quitting) runMainWindow(context);

  // Network first, then the window system.
  if (std::shared_ptr<CMainLogic> logic = context.getMainLogic()) {
    logic->closeServer();
    logic->shutdown();
  }
  mc::setPostMessageHook({});
  return 0;
}
