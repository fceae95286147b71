#pragma once
#include <functional>
#include <string>

#include "common/WindowMessage.h"

class CMainLogic;

enum class StartupResult { Done, ConnectFailed, LoginFailed, CatalogueFailed };

// What the start-up sequence reports to its window: the step text is handed
// over first, then the message is posted, so the window reads the text that
// belongs to the message.
struct StartupReporter {
  mc::WindowHandle window = mc::kNoWindow;
  std::function<void(const std::string& text)> setText;
  std::function<void(unsigned milliseconds)> pause;  // default: sleep
};

// Connects, logs in and loads the catalogue, posting MSG_WELCOME_PROGRESS
// (10, 30, 70, 80), then MSG_WELCOME_DONE, or MSG_WELCOME_FAILED with the
// failing step's text ("连接服务器失败" or the connect error, "账号密码错误！",
// "获取节点信息错误！"). Runs on the start-up worker thread.
StartupResult runStartupSequence(CMainLogic& logic, const StartupReporter& reporter);
