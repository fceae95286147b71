#include "link/StartupSequence.h"

#include <chrono>
#include <thread>

#include "common/Messages.h"
#include "core/AppContext.h"
#include "link/CMainLogic.h"

namespace {

class Steps {
 public:
  explicit Steps(const StartupReporter& reporter) : reporter_(reporter) {}

  void progress(const std::string& text, int percent, unsigned pauseMs) {
    say(text);
    mc::postMessage(reporter_.window, mc::msg::MSG_WELCOME_PROGRESS, static_cast<std::uintptr_t>(percent));
    if (pauseMs == 0) return;
    if (reporter_.pause) reporter_.pause(pauseMs);
    else std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
  }

  void fail(const std::string& text) {
    say(text);
    mc::postMessage(reporter_.window, mc::msg::MSG_WELCOME_FAILED);
  }

  void done() { mc::postMessage(reporter_.window, mc::msg::MSG_WELCOME_DONE); }

 private:
  void say(const std::string& text) {
    if (reporter_.setText) reporter_.setText(text);
  }
  const StartupReporter& reporter_;
};

}  // namespace

StartupResult runStartupSequence(CMainLogic& logic, const StartupReporter& reporter) {
  Steps steps(reporter);
  steps.progress("启动服务！", 10, 100);

  std::string error;
  if (!logic.connectServer(error)) {
    steps.fail(error);
    return StartupResult::ConnectFailed;
  }
  steps.progress("连接服务器成功！", 30, 100);

  if (!logic.accountLogin()) {
    steps.fail("账号密码错误！");
    return StartupResult::LoginFailed;
  }
  steps.progress("账号登录成功！", 70, 100);

  if (!logic.loadCatalogue(mc::kNoWindow, AppContext::instance().nodeVersion)) {
    steps.fail("获取节点信息错误！");
    return StartupResult::CatalogueFailed;
  }
  steps.progress("获取数据成功！", 80, 0);
  steps.done();
  return StartupResult::Done;
}
