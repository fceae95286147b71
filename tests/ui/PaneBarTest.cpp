// The two bars over the selected live pane: which buttons a camera gets,
// their images by the camera's state, the quality list, what the buttons
// post or do, the top bar's status timer, and where the bars go.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <set>

#include "common/Messages.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/ui/WallTestSupport.h"
#include "ui/lib/ComboUI.h"
#include "ui/lib/ControlOps.h"
#include "ui/lib/ImageAttribute.h"
#include "ui/lib/ListUI.h"
#include "ui/lib/Notify.h"
#include "ui/lib/SkinLoader.h"
#include "ui/lib/SkinPaths.h"
#include "ui/wall/CWinSub.h"
#include "ui/wall/CWinSubUp.h"
#include "ui/wall/MyVideoPanel.h"
#include "ui/wall/PaneCommand.h"

namespace {

using mc::test::waitUntil;
using mc::test::WallFixture;

const char* const kBarControls[] = {"picBtn",         "soundBtn",        "playbackBtn",   "recodrBtn",
                                    "zoomBtn",        "yuntaiBtn",       "videoQP",       "speakBtn",
                                    "timeBtn",        "soundBtnLayout",  "yuntaiBtnLayout", "videoQPLayout",
                                    "timeBtnBtnLayout", "speakBtnLayout"};

struct BarFixture : WallFixture {
  SxtParamPtr camera;
  CWinSub* bottom = nullptr;
  CWinSubUp* top = nullptr;

  BarFixture() {
    camera = playIn(0, "cam-7");
    camera->name = "东门 入口";
    wall->select(0);
    bottom = wall->bottomBar();
    top = wall->topBar();
  }

  std::set<std::string> shownControls() const {
    std::set<std::string> shown;
    for (const char* name : kBarControls) {
      QWidget* control = bottom->FindControl(name);
      EXPECT_NE(control, nullptr) << name;
      if (control && !control->isHidden()) shown.insert(name);
    }
    return shown;
  }

  QAbstractButton* button(const char* name) const {
    auto* b = bottom->FindControl<QAbstractButton>(name);
    EXPECT_NE(b, nullptr) << name;
    return b;
  }

  std::pair<std::string, std::string> images(const char* name) const {
    QAbstractButton* b = button(name);
    return {ui::GetImage(b, "normal").toStdString(), ui::GetImage(b, "hot").toStdString()};
  }

  void giveAllCapabilities() {
    camera->audioEnabled = camera->ptzEnabled = camera->enableQp = camera->setTimeEnabled = camera->speakEnabled = true;
    wall->moveBars(0);
  }

  // The pane commands the main window got, as (kind, value), with the camera id.
  std::vector<std::pair<int, int>> commands() const {
    std::vector<std::pair<int, int>> out;
    for (const auto& m : host.messages) {
      if (m.id != mc::msg::MSG_PANE_COMMAND) continue;
      const auto command = std::static_pointer_cast<PaneCommand>(m.payload);
      EXPECT_EQ(command->cameraId, camera->id);
      out.emplace_back(command->kind, command->value);
    }
    return out;
  }
};

TEST(PaneBars, TheBottomBarShowsWhatTheCameraCanDo) {
  const std::set<std::string> always = {"picBtn", "playbackBtn", "recodrBtn", "zoomBtn"};
  const struct {
    const char* name;
    bool audio, ptz, quality, clock, talk, liveView;
    std::set<std::string> more;
  } cases[] = {
      {"nothing more", false, false, false, false, false, true, {}},
      {"sound", true, false, false, false, false, true, {"soundBtn", "soundBtnLayout"}},
      {"PTZ", false, true, false, false, false, true, {"yuntaiBtn", "yuntaiBtnLayout"}},
      {"quality", false, false, true, false, false, true, {"videoQP", "videoQPLayout"}},
      {"clock", false, false, false, true, false, true, {"timeBtn", "timeBtnBtnLayout"}},
      {"talk", false, false, false, false, true, true, {"speakBtn", "speakBtnLayout"}},
      {"talk without a live view", false, false, false, false, true, false, {}},
      {"everything",
       true, true, true, true, true, true,
       {"soundBtn", "soundBtnLayout", "yuntaiBtn", "yuntaiBtnLayout", "videoQP", "videoQPLayout", "timeBtn",
        "timeBtnBtnLayout", "speakBtn", "speakBtnLayout"}},
  };
  for (const auto& c : cases) {
    BarFixture f;
    f.camera->audioEnabled = c.audio;
    f.camera->ptzEnabled = c.ptz;
    f.camera->enableQp = c.quality;
    f.camera->setTimeEnabled = c.clock;
    f.camera->speakEnabled = c.talk;
    if (!c.liveView) f.cameras->withoutLiveView.insert(f.camera->id);
    f.wall->moveBars(0);
    std::set<std::string> expected = always;
    expected.insert(c.more.begin(), c.more.end());
    EXPECT_EQ(f.shownControls(), expected) << c.name;
  }
}

TEST(PaneBars, WithoutACameraTheBarsShowNothingAndTheirButtonsDoNothing) {
  BarFixture f;
  f.giveAllCapabilities();
  f.bottom->Refresh(0, nullptr);
  f.top->Refresh(0, nullptr);
  EXPECT_TRUE(f.shownControls().empty());
  for (const char* name : {"stopBtn", "recodrIcon", "sxtName", "infoText"})
    EXPECT_TRUE(f.top->FindControl(name)->isHidden()) << name;
  for (const char* name : {"picBtn", "soundBtn", "playbackBtn", "yuntaiBtn", "speakBtn", "recodrBtn", "zoomBtn"})
    ui::SendNotify(f.button(name), ui::kNotifyClick);
  ui::SendNotify(f.top->FindControl("stopBtn"), ui::kNotifyClick);
  mc::test::spinFor(30);
  EXPECT_TRUE(f.host.messages.empty());
  EXPECT_FALSE(f.cameras->live(f.camera)->recording);
}

TEST(PaneBars, ButtonImagesFollowTheCameraState) {
  const struct {
    const char* name;
    bool liveView, zooming, recording, soundOn, talking;
    std::pair<std::string, std::string> zoom, record, sound, speak;
  } cases[] = {
      {"all off", true, false, false, false, false, {"panelZoom.png", "panelZoom1.png"},
       {"panelRecodr.png", "panelRecodr1.png"}, {"Sound4.png", "Sound5.png"}, {"panelSpeak.png", "panelSpeak1.png"}},
      {"all on", true, true, true, true, true, {"panelZoom1.png", "panelZoom.png"},
       {"panelRecodr1.png", "panelRecodr.png"}, {"Sound1.png", "Sound2.png"}, {"panelSpeak1.png", "panelSpeak.png"}},
      {"no live view", false, false, false, false, false, {"panelZoom.png", "panelZoom1.png"},
       {"panelRecodr.png", "panelRecodr1.png"}, {"Sound4.png", "Sound5.png"}, {"panelSpeak.png", "panelSpeak1.png"}},
  };
  for (const auto& c : cases) {
    BarFixture f;
    if (!c.liveView) f.cameras->withoutLiveView.insert(f.camera->id);
    if (const auto view = f.cameras->live(f.camera)) {
      view->zooming = c.zooming;
      view->recording = c.recording;
      view->soundOn = c.soundOn;
      view->talking = c.talking;
    }
    f.giveAllCapabilities();
    EXPECT_EQ(f.images("zoomBtn"), c.zoom) << c.name;
    EXPECT_EQ(f.images("recodrBtn"), c.record) << c.name;
    EXPECT_EQ(f.images("speakBtn"), c.speak) << c.name;
    // Without a live view the sound button keeps the layout's "off" images.
    EXPECT_EQ(f.images("soundBtn"), c.sound) << c.name;
  }
}

TEST(PaneBars, TheQualityListOffersFiveLevelsAndShowsTheCurrentOne) {
  BarFixture f;
  f.camera->viedoQp = 3;
  f.giveAllCapabilities();
  auto* quality = f.bottom->FindControl<CComboUI>("videoQP");
  ASSERT_NE(quality, nullptr);
  EXPECT_EQ(ui::GetImage(quality, "bk"), "file='VideoQP\\qingxi2.png' corner='18,4,4,4'");
  ASSERT_EQ(quality->GetCount(), 5);
  const char* const rows[][2] = {{"jiqing", "极清"}, {"gaoqing", "高清"}, {"qingxi", "清晰"},
                                 {"liuchang", "流畅"}, {"jisu", "极速"}};
  for (int k = 0; k < 5; ++k) {
    QWidget* row = quality->GetItemAt(k);
    EXPECT_EQ(row->height(), 22) << k;
    EXPECT_EQ(ui::GetImage(WindowImplBase::FindSubControl(row, "LabelQP"), "bk"),
              QString("file='VideoQP\\%1").arg(rows[k][0]) + "1.png'");
    EXPECT_EQ(ui::GetText(WindowImplBase::FindSubControl(row, "Text")), QString::fromUtf8(rows[k][1]));
  }
  f.camera->viedoQp = 5;
  f.wall->moveBars(0);
  EXPECT_EQ(ui::GetImage(quality, "bk"), "file='VideoQP\\jisu2.png' corner='18,4,4,4'");

  quality->GetList()->SelectItem(1);
  quality->GetList()->SelectItem(1);  // the same level again is a choice too
  quality->GetList()->SelectItem(4);
  ASSERT_TRUE(waitUntil([&] { return f.commands().size() == 3; }));
  EXPECT_EQ(f.commands(), (std::vector<std::pair<int, int>>{{5, 1}, {5, 1}, {5, 4}}));
}

TEST(PaneBars, ButtonsPostTheirCommandsToTheMainWindow) {
  BarFixture f;
  f.camera->setStatusText("312KB");
  f.giveAllCapabilities();
  mc::test::saveSnapshot(f.host.GetWidget()->grab().toImage(), "wall-bars");
  for (const char* name : {"picBtn", "soundBtn", "yuntaiBtn", "speakBtn"}) QTest::mouseClick(f.button(name), Qt::LeftButton);
  QTest::mouseClick(f.top->FindControl<QAbstractButton>("stopBtn"), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return f.commands().size() == 5; }));
  EXPECT_EQ(f.commands(), (std::vector<std::pair<int, int>>{{1, 0}, {3, 0}, {4, 0}, {6, 0}, {0, 0}}));

  QTest::mouseClick(f.button("playbackBtn"), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return f.host.count(mc::msg::MSG_OPEN_PLAYBACK) == 1; }));
  const auto open = std::find_if(f.host.messages.begin(), f.host.messages.end(),
                                 [](const mc::WindowMessage& m) { return m.id == mc::msg::MSG_OPEN_PLAYBACK; });
  EXPECT_EQ(*std::static_pointer_cast<std::string>(open->payload), "cam-7");
}

TEST(PaneBars, TheSoundButtonShowsTheStateItAsksFor) {
  BarFixture f;
  f.giveAllCapabilities();
  const auto view = f.cameras->live(f.camera);
  QTest::mouseClick(f.button("soundBtn"), Qt::LeftButton);
  EXPECT_EQ(f.images("soundBtn"), (std::pair<std::string, std::string>{"Sound1.png", "Sound2.png"}));
  view->soundOn = true;  // the main window turned it on
  QTest::mouseClick(f.button("soundBtn"), Qt::LeftButton);
  EXPECT_EQ(f.images("soundBtn"), (std::pair<std::string, std::string>{"Sound4.png", "Sound5.png"}));
}

TEST(PaneBars, RecordAndZoomActOnTheLiveViewAndAStoppedRecordingShowsTheSavedFileNotice) {
  BarFixture f;
  const auto view = f.cameras->live(f.camera);
  QTest::mouseClick(f.button("zoomBtn"), Qt::LeftButton);
  EXPECT_TRUE(view->zooming);
  EXPECT_EQ(f.images("zoomBtn"), (std::pair<std::string, std::string>{"panelZoom1.png", "panelZoom.png"}));
  QTest::mouseClick(f.button("zoomBtn"), Qt::LeftButton);
  EXPECT_FALSE(view->zooming);
  EXPECT_EQ(f.images("zoomBtn"), (std::pair<std::string, std::string>{"panelZoom.png", "panelZoom1.png"}));

  QTest::mouseClick(f.button("recodrBtn"), Qt::LeftButton);
  EXPECT_TRUE(view->recording);
  EXPECT_EQ(f.images("recodrBtn"), (std::pair<std::string, std::string>{"panelRecodr1.png", "panelRecodr.png"}));
  EXPECT_TRUE(waitUntil([&] { return !f.top->FindControl("recodrIcon")->isHidden(); }))
      << "the top bar marks the recording";
  bool noticeShown = false;
  mc::test::whenWindowShown("PictrueDlg", [&](QWidget* notice) {
    noticeShown = true;
    QTest::mouseClick(notice->findChild<QAbstractButton*>("BtnOK"), Qt::LeftButton);
  });
  QTest::mouseClick(f.button("recodrBtn"), Qt::LeftButton);
  EXPECT_TRUE(noticeShown);
  EXPECT_FALSE(view->recording);
  EXPECT_EQ(f.images("recodrBtn"), (std::pair<std::string, std::string>{"panelRecodr.png", "panelRecodr1.png"}));
  EXPECT_TRUE(waitUntil([&] { return f.top->FindControl("recodrIcon")->isHidden(); }));
}

TEST(PaneBars, SettingTheClockOfACameraThatIsNotConnectedSaysItFailed) {
  BarFixture f;
  f.giveAllCapabilities();
  QString first, second;
  mc::test::whenWindowShown("MyMessageBox", [&](QWidget* box) {
    first = ui::GetText(box->findChild<QWidget*>("TextOne"));
    second = ui::GetText(box->findChild<QWidget*>("TextTwo"));
    QTest::mouseClick(box->findChild<QAbstractButton*>("BtnOK"), Qt::LeftButton);
  });
  QTest::mouseClick(f.button("timeBtn"), Qt::LeftButton);
  EXPECT_EQ(first, QStringLiteral("同步时间失败"));
  EXPECT_TRUE(QDateTime::fromString(second, "yyyy-MM-dd HH:mm:ss").isValid()) << second.toStdString();
}

TEST(PaneBars, TheTopBarShowsTheNameAndTheStatusTextTwiceASecond) {
  BarFixture f;
  EXPECT_EQ(ui::GetText(f.top->FindControl("sxtName")), QStringLiteral("东门 入口"));
  for (const char* name : {"stopBtn", "sxtName", "infoText"}) EXPECT_FALSE(f.top->FindControl(name)->isHidden()) << name;
  EXPECT_TRUE(f.top->FindControl("recodrIcon")->isHidden());
  f.camera->setStatusText("512KB/s");
  EXPECT_TRUE(waitUntil([&] { return ui::GetText(f.top->FindControl("infoText")) == "512KB/s"; }, 1500));
  f.camera->setStatusText("连接异常");
  EXPECT_TRUE(waitUntil([&] { return ui::GetText(f.top->FindControl("infoText")) == QStringLiteral("连接异常"); }, 1500));
}

TEST(PaneBars, TheBarsSitOnTheSelectedPaneAndHideBeyondTheLayout) {
  BarFixture f;
  f.wall->select(3);
  const QRect pane = f.wall->pane(3)->geometry();
  const QWidget* bottom = f.bottom->GetWidget();
  const QWidget* top = f.top->GetWidget();
  EXPECT_EQ(bottom->geometry(), QRect(pane.left(), pane.top() + pane.height() - 26, pane.width(), 26));
  EXPECT_EQ(top->geometry(), QRect(pane.left(), pane.top(), pane.width(), 26));
  EXPECT_FALSE(bottom->isHidden());
  EXPECT_FALSE(top->isHidden());
  EXPECT_EQ(f.bottom->paneIndex(), 3);
  EXPECT_EQ(f.bottom->camera(), nullptr) << "pane 3 holds no camera";
  EXPECT_TRUE(f.shownControls().empty());
  f.wall->moveBars(5);
  EXPECT_TRUE(bottom->isHidden());
  EXPECT_TRUE(top->isHidden());
  f.wall->moveBars(CVideoPanelHandle::kLastBarsPane);
  EXPECT_TRUE(bottom->isHidden()) << "the last pane is still beyond the layout";
  f.wall->moveBars(0);
  EXPECT_EQ(f.bottom->camera(), f.camera);
  EXPECT_FALSE(bottom->isHidden());
}

TEST(PaneBars, TheWheelZoomsThePictureOnlyWhileTheCameraZooms) {
  BarFixture f;
  MyVideoPanel* pane = f.wall->pane(0);
  const QPoint at(40, 30);
  auto wheel = [&](int delta) {
    QWheelEvent event(QPointF(at), QPointF(pane->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(pane, &event);
  };
  wheel(120);
  EXPECT_TRUE(f.cameras->zooms.empty()) << "digital zoom is off";
  f.cameras->live(f.camera)->zooming = true;
  wheel(120);
  wheel(-240);
  ASSERT_EQ(f.cameras->zooms.size(), 2u);
  const QPoint global = pane->mapToGlobal(at);
  EXPECT_EQ(f.cameras->zooms[0].cameraId, "cam-7");
  EXPECT_EQ(f.cameras->zooms[0].x, global.x());
  EXPECT_EQ(f.cameras->zooms[0].y, global.y());
  EXPECT_EQ(f.cameras->zooms[0].delta, 120);
  EXPECT_EQ(f.cameras->zooms[1].delta, -240);
  f.wall->assignCamera(0, nullptr);
  wheel(120);
  EXPECT_EQ(f.cameras->zooms.size(), 2u) << "a free pane has nothing to zoom";
}

TEST(PaneBars, TheBarLayoutsAndEveryImageTheBarsShowAreInTheSkin) {
  const QDir folder(ui::skinFolderPath("WinSub"));
  for (const char* layout : {"WinSub.xml", "WinSubUp.xml", "NodeItemQP.xml"}) {
    QString error;
    std::unique_ptr<QWidget> root(ui::loadLayout(folder.filePath(layout), folder.path(), nullptr, nullptr, &error));
    ASSERT_NE(root, nullptr) << layout << ": " << error.toStdString();
    QList<QWidget*> all = root->findChildren<QWidget*>();
    all.prepend(root.get());
    for (QWidget* w : all)
      for (const QByteArray& name : w->dynamicPropertyNames()) {
        if (!name.endsWith("image")) continue;
        const auto image = ui::parseImageAttribute(w->property(name).toString());
        ASSERT_TRUE(image.has_value()) << layout << " " << w->objectName().toStdString();
        EXPECT_FALSE(ui::resolveImageFile(image->file, folder.path(), ui::skinRoot()).isEmpty())
            << layout << ": " << image->file.toStdString();
      }
  }
  const char* const shownByTheBars[] = {
      "panelZoom.png",  "panelZoom1.png",  "panelRecodr.png",        "panelRecodr1.png",     "panelSpeak.png",
      "panelSpeak1.png", "Sound1.png",     "Sound2.png",             "Sound4.png",           "Sound5.png",
      "VideoQP/jiqing1.png", "VideoQP/gaoqing1.png", "VideoQP/qingxi1.png", "VideoQP/liuchang1.png",
      "VideoQP/jisu1.png",   "VideoQP/jiqing2.png",  "VideoQP/gaoqing2.png", "VideoQP/qingxi2.png",
      "VideoQP/liuchang2.png", "VideoQP/jisu2.png",
  };
  for (const char* file : shownByTheBars)
    EXPECT_FALSE(ui::resolveImageFile(file, folder.path(), ui::skinRoot()).isEmpty()) << file;
}

}  // namespace
