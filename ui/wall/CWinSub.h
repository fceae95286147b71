#pragma once
#include <QString>
#include <QStringList>
#include <memory>

#include "link/CatalogueParam.h"
#include "ui/lib/WindowImplBase.h"
#include "ui/wall/PaneCommand.h"

class IPaneCameras;
class QAbstractButton;

// The bottom bar of the selected live pane: snapshot, sound, playback,
// record, digital zoom, PTZ, quality list, talk and clock buttons, each shown
// when the pane's camera can do it, with images telling the camera's state.
// Layout "WinSub.xml" of the skin folder "WinSub". Buttons post PaneCommand
// to the main window (or act on the camera's live view directly: record,
// zoom, clock). UI thread.
class CWinSub : public WindowImplBase {
 public:
  static constexpr int kHeight = 26;
  static constexpr int kQualityRowHeight = 22;

  explicit CWinSub(std::shared_ptr<IPaneCameras> cameras);

  QString GetWindowClassName() const override { return QStringLiteral("DUIWinSubWin"); }

  // Builds the bar inside the main window, hidden.
  bool CreateBar(mc::WindowHandle mainWindow);
  // Shows the buttons for the camera of pane `paneIndex` (none without one).
  void Refresh(int paneIndex, const SxtParamPtr& camera);
  // Controls that stay hidden whatever the camera offers: the commands whose
  // windows this client does not have.
  void setUnavailable(QStringList names) { unavailable_ = std::move(names); }

  int paneIndex() const { return paneIndex_; }
  SxtParamPtr camera() const { return camera_.lock(); }

 protected:
  QString GetSkinFolder() const override { return QStringLiteral("WinSub"); }
  QString GetSkinFile() const override { return QStringLiteral("WinSub.xml"); }
  void InitWindow() override;
  void Notify(TNotifyUI& msg) override;

 private:
  void OnButton(const QString& name, const SxtParamPtr& camera);
  void postCommand(const SxtParamPtr& camera, PaneCommand::Kind kind, int value = 0) const;
  void setImages(const QString& button, const QString& normal, const QString& hot) const;
  void showControl(const QString& name, bool shown) const;

  const std::shared_ptr<IPaneCameras> cameras_;
  mc::WindowHandle mainWindow_ = mc::kNoWindow;
  int paneIndex_ = -1;
  std::weak_ptr<SxtParam> camera_;
  QStringList unavailable_;
};

// The text shown for the clock the "timeBtn" sets: local time as
// "%Y-%m-%d %H:%M:%S".
std::string deviceClockText();
