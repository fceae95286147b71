#include "ui/login/WelcomeDlg.h"

#include <QProgressBar>
#include <boost/chrono.hpp>
#include <boost/thread/thread.hpp>

#include "common/Messages.h"
#include "common/SharedText.h"
#include "core/AppContext.h"
#include "core/OThread.h"
#include "link/CMainLogic.h"
#include "link/StartupSequence.h"
#include "ui/controls/PopMessageBox.h"
#include "ui/lib/ControlOps.h"

CWelcomeDlg::CWelcomeDlg() : text_(std::make_shared<mc::SharedText>()), worker_(OThread::create()) {}

CWelcomeDlg::~CWelcomeDlg() {
  // Interruption ends the worker at its next step or pause; what it posts
  // meanwhile is dropped with the window's handle.
  worker_->stop();
}

std::string CWelcomeDlg::currentText() const { return text_->get(); }

void CWelcomeDlg::InitWindow() {
  initMsg_ = FindControl("InitMsg");
  initPress_ = FindControl<QProgressBar>("InitPress");
  if (initPress_) {
    initPress_->setRange(0, 100);
    initPress_->setValue(0);
  }

  const mc::WindowHandle window = GetHWND();
  const std::shared_ptr<mc::SharedText> text = text_;
  worker_->start("DoLogic", [window, text] {
    const std::shared_ptr<CMainLogic> logic = AppContext::instance().getMainLogic();
    if (!logic) {
      *text = "连接服务器失败";
      mc::postMessage(window, mc::msg::MSG_WELCOME_FAILED);
      return;
    }
    StartupReporter reporter;
    reporter.window = window;
    reporter.setText = [text](const std::string& step) {
      boost::this_thread::interruption_point();  // the window has gone: no further step
      *text = step;
    };
    reporter.pause = [](unsigned milliseconds) {
      boost::this_thread::sleep_for(boost::chrono::milliseconds(milliseconds));
    };
    try {
      runStartupSequence(*logic, reporter);
    } catch (const boost::thread_interrupted&) {
      // stopped by the window's destruction
    }
  });
}

bool CWelcomeDlg::HandleMessage(const mc::WindowMessage& message) {
  switch (message.id) {
    case mc::msg::MSG_WELCOME_PROGRESS:
      if (initMsg_) ui::SetText(initMsg_, QString::fromStdString(text_->get()));
      if (initPress_) initPress_->setValue(static_cast<int>(message.wParam));
      return true;
    case mc::msg::MSG_WELCOME_FAILED:
      CPopMessageBox::ShowMessage(GetHWND(), QString::fromStdString(text_->get()));
      Close(ui::kIdCancel);
      return true;
    case mc::msg::MSG_WELCOME_DONE:
      Close(ui::kIdOk);
      return true;
    default:
      return WindowImplBase::HandleMessage(message);
  }
}
