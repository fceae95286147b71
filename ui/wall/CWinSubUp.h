#pragma once
#include <QString>
#include <memory>

#include "link/CatalogueParam.h"
#include "ui/lib/WindowImplBase.h"

class IPaneCameras;

// The top bar of the selected live pane: the stop button, the camera's name,
// its status text (the data rate or the last error, refreshed every 500 ms)
// and the recording mark while the camera records. Layout "WinSubUp.xml" of
// the skin folder "WinSub". UI thread.
class CWinSubUp : public WindowImplBase {
 public:
  static constexpr int kHeight = 26;
  static constexpr unsigned kStatusTimer = 2024;
  static constexpr unsigned kStatusPeriodMs = 500;

  explicit CWinSubUp(std::shared_ptr<IPaneCameras> cameras);

  QString GetWindowClassName() const override { return QStringLiteral("DUIWinSubWin"); }

  // Builds the bar inside the main window, hidden.
  bool CreateBar(mc::WindowHandle mainWindow);
  void Refresh(int paneIndex, const SxtParamPtr& camera);

  int paneIndex() const { return paneIndex_; }
  SxtParamPtr camera() const { return camera_.lock(); }

 protected:
  QString GetSkinFolder() const override { return QStringLiteral("WinSub"); }
  QString GetSkinFile() const override { return QStringLiteral("WinSubUp.xml"); }
  void InitWindow() override;
  void Notify(TNotifyUI& msg) override;
  bool HandleMessage(const mc::WindowMessage& message) override;

 private:
  bool recording(const SxtParamPtr& camera) const;
  void showStatus();

  const std::shared_ptr<IPaneCameras> cameras_;
  mc::WindowHandle mainWindow_ = mc::kNoWindow;
  int paneIndex_ = -1;
  std::weak_ptr<SxtParam> camera_;
};
