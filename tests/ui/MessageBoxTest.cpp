// The message box in both forms, and the saved-file notice.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <thread>

#include "core/AppContext.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/controls/PictrueDlg.h"
#include "ui/controls/PopMessageBox.h"

namespace {

using mc::test::clickWhenShown;
using mc::test::whenWindowShown;

const QString kBox = "MyMessageBox";

struct Seen {
  QString one, two, ok, cancel, title;
  bool hasCancel = false;
  bool twoVisible = false;
};

// Records the box's texts, then clicks `button`.
void inspectAndClick(Seen& seen, const QString& button) {
  whenWindowShown(kBox, [&seen, button](QWidget* box) {
    auto text = [box](const char* name) {
      if (auto* label = box->findChild<QLabel*>(name)) return label->text();
      if (auto* b = box->findChild<QAbstractButton*>(name)) return b->text();
      return QString("<none>");
    };
    seen = {text("TextOne"), text("TextTwo"), text("BtnOK"), text("BtnCancel"), text("TextTitle"),
            box->findChild<QAbstractButton*>("BtnCancel") != nullptr,
            box->findChild<QLabel*>("TextTwo") && box->findChild<QLabel*>("TextTwo")->isVisible()};
    QTest::mouseClick(box->findChild<QAbstractButton*>(button), Qt::LeftButton);
  });
}

TEST(MessageBox, ResultsOfBothForms) {
  struct Case {
    int kind;
    const char* button;
    int result;
  };
  for (const Case& c : {Case{0, "BtnOK", 1}, Case{0, "CloseBtn", 2}, Case{1, "BtnOK", 1},
                        Case{1, "BtnCancel", 2}, Case{1, "CloseBtn", 2}}) {
    SCOPED_TRACE(testing::Message() << c.kind << " " << c.button);
    Seen seen;
    inspectAndClick(seen, c.button);
    EXPECT_EQ(CPopMessageBox::Show(mc::kNoWindow, c.kind, QString("发现新版本，是否升级"), QString("第二行"),
                                   QString("确定"), QString("取消")),
              c.result);
    EXPECT_EQ(seen.one, "发现新版本，是否升级");
    EXPECT_EQ(seen.two, "第二行");
    EXPECT_TRUE(seen.twoVisible);
    EXPECT_EQ(seen.ok, "确定");
    EXPECT_EQ(seen.title, "");
    EXPECT_EQ(seen.hasCancel, c.kind == 1) << "the one-button form has no cancel button";
    if (c.kind == 1) {
      EXPECT_EQ(seen.cancel, "取消");
    }
  }
}

TEST(MessageBox, OneButtonMessageHasAnEmptySecondLine) {
  Seen seen;
  inspectAndClick(seen, "BtnOK");
  EXPECT_EQ(CPopMessageBox::ShowMessage(mc::kNoWindow, "账号或密码不能为空"), 1);
  EXPECT_EQ(seen.one, "账号或密码不能为空");
  EXPECT_EQ(seen.two, "");
  EXPECT_FALSE(seen.twoVisible);
  EXPECT_EQ(seen.ok, "确定");
}

TEST(MessageBox, KeysAnswerTheBox) {
  struct Case {
    Qt::Key key;
    int result;
  };
  for (const Case& c : {Case{Qt::Key_Escape, 2}, Case{Qt::Key_Return, 1}}) {
    whenWindowShown(kBox, [c](QWidget* box) { QTest::keyClick(box, c.key); });
    EXPECT_EQ(CPopMessageBox::ShowMessage(mc::kNoWindow, "x"), c.result);
  }
}

TEST(MessageBox, LayoutWithoutSecondLineStillAnswers) {
  mc::test::TestSkin skin;
  skin.writeLayout("MessageBoxYESNO.xml",
                   mc::test::widgetItem("QLabel", "TextOne") + mc::test::widgetItem("QPushButton", "BtnOK") +
                       mc::test::widgetItem("QPushButton", "BtnCancel"));
  for (const auto& [button, result] : {std::pair{"BtnOK", 1}, std::pair{"BtnCancel", 2}}) {
    Seen seen;
    inspectAndClick(seen, button);
    CPopMessageBox box(CPopMessageBox::kTwoButtons, "只有一行", "看不见", "是", "否", skin.dir());
    EXPECT_EQ(box.Run(mc::kNoWindow), result);
    EXPECT_EQ(seen.one, "只有一行");
    EXPECT_EQ(seen.two, "<none>");
    EXPECT_EQ(seen.ok, "是");
    EXPECT_EQ(seen.cancel, "否");
  }
}

TEST(MessageBox, BoxThatCannotBeShownAnswersCancel) {
  mc::test::TestSkin empty;
  CPopMessageBox box(CPopMessageBox::kOneButton, "x", "", "确定", "取消", empty.dir());
  EXPECT_EQ(box.Run(mc::kNoWindow), 2);
}

TEST(MessageBox, WorkerWaitsForTheAnswerGivenOnTheUiThread) {
  std::atomic<int> result{0};
  std::atomic<bool> done{false};
  mc::test::TestSkin skin;
  skin.writeLayout("Owner.xml", "");
  mc::test::TestWindow owner(skin.dir(), "Owner.xml");
  ASSERT_NE(owner.Create(mc::kNoWindow, "x", ui::UI_WNDSTYLE_FRAME), mc::kNoWindow);
  clickWhenShown(kBox, "BtnCancel");
  std::thread worker([&] {
    result = CPopMessageBox::Show(owner.GetHWND(), CPopMessageBox::kTwoButtons, std::string("删除失败"),
                                  std::string(), std::string("确定"), std::string("取消"));
    done = true;
  });
  EXPECT_TRUE(mc::test::waitUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(result, 2);
}

class PictrueDlgTest : public ::testing::Test {
 protected:
  void SetUp() override { AppContext::instance().capturePath = "/tmp/监控/Capture"; }
  void TearDown() override { AppContext::instance().capturePath.clear(); }
};

TEST_F(PictrueDlgTest, ShowsTheCaptureFolderAndOpensItWithoutClosing) {
  std::vector<QString> opened;
  QString one, two;
  bool readOnly = false;
  whenWindowShown("PictrueDlg", [&](QWidget* notice) {
    one = notice->findChild<QLabel*>("TextOne")->text();
    auto* edit = notice->findChild<QLineEdit*>("TextTwo");
    two = edit->text();
    readOnly = edit->isReadOnly();
    QTest::mouseClick(notice->findChild<QAbstractButton*>("BtnOpen"), Qt::LeftButton);
    QTest::mouseClick(notice->findChild<QAbstractButton*>("BtnOpen"), Qt::LeftButton);
    QTest::mouseClick(notice->findChild<QAbstractButton*>("BtnOK"), Qt::LeftButton);
  });
  CPictrueDlg notice([&](const QString& folder) {
    opened.push_back(folder);
    return true;
  });
  EXPECT_EQ(notice.Run(mc::kNoWindow), 1);
  EXPECT_EQ(one, "保存成功");
  EXPECT_EQ(two, "/tmp/监控/Capture");
  EXPECT_TRUE(readOnly);
  EXPECT_EQ(opened, (std::vector<QString>{"/tmp/监控/Capture", "/tmp/监控/Capture"}));
}

TEST_F(PictrueDlgTest, CloseButtonAnswersTwo) {
  clickWhenShown("PictrueDlg", "CloseBtn");
  int opened = 0;
  CPictrueDlg notice([&](const QString&) { return ++opened > 0; });
  EXPECT_EQ(notice.Run(mc::kNoWindow), 2);
  EXPECT_EQ(opened, 0);
}

}  // namespace
