#include "ui/wall/CWinSub.h"

#include <QAbstractButton>
#include <ctime>

#include "camera/CCameraLogic.h"
#include "common/Messages.h"
#include "ui/controls/PictrueDlg.h"
#include "ui/controls/PopMessageBox.h"
#include "ui/lib/ComboUI.h"
#include "ui/lib/ControlOps.h"
#include "ui/lib/ListUI.h"
#include "ui/lib/SkinLoader.h"
#include "ui/wall/PaneCameras.h"

namespace {

constexpr int kSetClockCommand = 18;

// The quality levels 1 … 5: image base name and text.
struct QualityLevel {
  const char* image;
  const char* text;
};
constexpr QualityLevel kLevels[] = {
    {"jiqing", "极清"}, {"gaoqing", "高清"}, {"qingxi", "清晰"}, {"liuchang", "流畅"}, {"jisu", "极速"},
};

const char* const kButtons[] = {"picBtn",   "soundBtn",  "playbackBtn", "recodrBtn", "zoomBtn",
                                "yuntaiBtn", "videoQP",   "speakBtn",    "timeBtn"};
const char* const kContainers[] = {"soundBtnLayout", "yuntaiBtnLayout", "videoQPLayout", "timeBtnBtnLayout",
                                   "speakBtnLayout"};

// The face of "videoQP" for the current level.
QString currentLevelImage(int level) {
  return QStringLiteral("file='VideoQP\\") + kLevels[level - 1].image + QStringLiteral("2.png' corner='18,4,4,4'");
}

// The picture of a level's row in the list.
QString levelRowImage(int level) {
  return QStringLiteral("file='VideoQP\\") + kLevels[level - 1].image + QStringLiteral("1.png'");
}

}  // namespace

std::string deviceClockText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

CWinSub::CWinSub(std::shared_ptr<IPaneCameras> cameras) : cameras_(std::move(cameras)) {}

bool CWinSub::CreateBar(mc::WindowHandle mainWindow) {
  mainWindow_ = mainWindow;
  // A child of the main window, drawn over the panes; hidden until the wall
  // places it (explicitly, so showing the main window does not show it).
  if (Create(mainWindow, QStringLiteral("WinSub"), ui::kWsChild | ui::kWsOverlappedWindow, ui::kWsExWindowEdge) ==
      mc::kNoWindow)
    return false;
  GetWidget()->hide();
  return true;
}

void CWinSub::InitWindow() {
  auto* quality = FindControl<CComboUI>("videoQP");
  if (!quality) return;
  CDialogBuilder builder;
  for (int level = 1; level <= 5; ++level) {
    QWidget* row = builder.Create(QStringLiteral("NodeItemQP.xml"), GetSkinPath());
    if (!row) break;
    row->setFixedHeight(kQualityRowHeight);
    if (QWidget* label = FindSubControl(row, "LabelQP")) ui::SetBkImage(label, levelRowImage(level));
    if (QWidget* text = FindSubControl(row, "Text")) ui::SetText(text, QString::fromUtf8(kLevels[level - 1].text));
    if (!quality->Add(row)) delete row;
  }
}

void CWinSub::showControl(const QString& name, bool shown) const {
  if (QWidget* control = FindControl(name)) control->setVisible(shown);
}

void CWinSub::setImages(const QString& button, const QString& normal, const QString& hot) const {
  auto* control = FindControl<QAbstractButton>(button);
  if (!control) return;
  ui::SetNormalImage(control, normal);
  ui::SetHotImage(control, hot);
}

void CWinSub::Refresh(int paneIndex, const SxtParamPtr& camera) {
  paneIndex_ = paneIndex;
  camera_ = camera;
  for (const char* name : kButtons) showControl(name, false);
  for (const char* name : kContainers) showControl(name, false);
  if (!camera) return;

  for (const char* name : {"picBtn", "playbackBtn", "recodrBtn", "zoomBtn"}) showControl(name, true);
  const std::shared_ptr<CCameraLogic> live = cameras_ ? cameras_->live(camera) : nullptr;
  if (!live) {
    setImages("zoomBtn", "panelZoom.png", "panelZoom1.png");
    setImages("recodrBtn", "panelRecodr.png", "panelRecodr1.png");
    if (camera->speakEnabled) setImages("speakBtn", "panelSpeak.png", "panelSpeak1.png");
  } else {
    if (live->zooming) setImages("zoomBtn", "panelZoom1.png", "panelZoom.png");
    else setImages("zoomBtn", "panelZoom.png", "panelZoom1.png");
    if (live->recording) setImages("recodrBtn", "panelRecodr1.png", "panelRecodr.png");
    else setImages("recodrBtn", "panelRecodr.png", "panelRecodr1.png");
    if (camera->speakEnabled) {
      showControl("speakBtn", true);
      showControl("speakBtnLayout", true);
      if (live->talking) setImages("speakBtn", "panelSpeak1.png", "panelSpeak.png");
      else setImages("speakBtn", "panelSpeak.png", "panelSpeak1.png");
    }
  }
  if (camera->audioEnabled) {
    showControl("soundBtn", true);
    showControl("soundBtnLayout", true);
    if (live) {
      if (live->soundOn) setImages("soundBtn", "Sound1.png", "Sound2.png");
      else setImages("soundBtn", "Sound4.png", "Sound5.png");
    }
  }
  if (camera->ptzEnabled) {
    showControl("yuntaiBtn", true);
    showControl("yuntaiBtnLayout", true);
  }
  if (camera->enableQp) {
    showControl("videoQP", true);
    showControl("videoQPLayout", true);
    if (QWidget* quality = FindControl("videoQP"); quality && camera->viedoQp >= 1 && camera->viedoQp <= 5)
      ui::SetBkImage(quality, currentLevelImage(camera->viedoQp));
  }
  if (camera->setTimeEnabled) {
    showControl("timeBtn", true);
    showControl("timeBtnBtnLayout", true);
  }
  for (const QString& name : unavailable_) showControl(name, false);
}

void CWinSub::postCommand(const SxtParamPtr& camera, PaneCommand::Kind kind, int value) const {
  auto command = std::make_shared<PaneCommand>();
  command->cameraId = camera->id;
  command->kind = kind;
  command->value = value;
  mc::postMessage(mainWindow_, mc::msg::MSG_PANE_COMMAND, 0, 0, std::move(command));
}

void CWinSub::Notify(TNotifyUI& msg) {
  const QString name = msg.sender ? msg.sender->objectName() : QString();
  if (msg.type == ui::kNotifyItemSelect && name == "videoQP") {
    const int row = static_cast<int>(msg.wParam);
    const SxtParamPtr shown = camera();
    if (row >= 0 && shown) {
      postCommand(shown, PaneCommand::kQuality, row);
      // Unselected again, so choosing the same level once more is a choice too.
      if (auto* quality = qobject_cast<CComboUI*>(msg.sender)) quality->SelectItem(-1);
    }
    return;
  }
  if (msg.type == ui::kNotifyClick) {
    if (const SxtParamPtr shown = camera()) OnButton(name, shown);
    return;
  }
  WindowImplBase::Notify(msg);
}

void CWinSub::OnButton(const QString& name, const SxtParamPtr& camera) {
  const std::shared_ptr<CCameraLogic> live = cameras_ ? cameras_->live(camera) : nullptr;
  if (name == "picBtn") {
    postCommand(camera, PaneCommand::kSnapshot);
  } else if (name == "soundBtn") {
    const bool wasOn = live && live->soundOn;
    postCommand(camera, PaneCommand::kSound);
    if (wasOn) setImages("soundBtn", "Sound4.png", "Sound5.png");
    else setImages("soundBtn", "Sound1.png", "Sound2.png");
  } else if (name == "yuntaiBtn") {
    postCommand(camera, PaneCommand::kPtz);
  } else if (name == "speakBtn") {
    postCommand(camera, PaneCommand::kTalk);
  } else if (name == "playbackBtn") {
    mc::postMessage(mainWindow_, mc::msg::MSG_OPEN_PLAYBACK, 0, 0, std::make_shared<std::string>(camera->id));
  } else if (name == "recodrBtn") {
    if (!live) {
      setImages("recodrBtn", "panelRecodr.png", "panelRecodr1.png");
      return;
    }
    if (IVideoState::flip(live->recording)) {
      setImages("recodrBtn", "panelRecodr1.png", "panelRecodr.png");
    } else {
      setImages("recodrBtn", "panelRecodr.png", "panelRecodr1.png");
      CPictrueDlg::Show(mainWindow_);
    }
  } else if (name == "zoomBtn") {
    const bool on = live && IVideoState::flip(live->zooming);
    if (on) setImages("zoomBtn", "panelZoom1.png", "panelZoom.png");
    else setImages("zoomBtn", "panelZoom.png", "panelZoom1.png");
  } else if (name == "timeBtn") {
    const std::string now = deviceClockText();
    const bool sent = live && live->SendCommand(kSetClockCommand, {{"Time", now}});
    // The relay does not answer this command: "sent" is all there is to know.
    CPopMessageBox::ShowMessage(mainWindow_, sent ? QStringLiteral("同步时间成功") : QStringLiteral("同步时间失败"),
                                QString::fromStdString(now));
  }
}
