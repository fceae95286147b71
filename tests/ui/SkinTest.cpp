// The skin shipped with the client: every layout loads, and the windows look
// as the skin draws them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QMovie>
#include <QTest>

#include "tests/ui/UiTestSupport.h"
#include "core/AppContext.h"
#include "core/AppFolder.h"
#include "ui/controls/PictrueDlg.h"
#include "ui/controls/PopMessageBox.h"
#include "ui/lib/ControlOps.h"
#include "ui/lib/ImageAttribute.h"
#include "ui/lib/SkinLoader.h"
#include "ui/lib/SkinPaths.h"
#include "ui/lib/Theme.h"

namespace {

TEST(Skin, EveryLayoutLoadsAndEveryImageItNamesExists) {
  const QDir root(ui::skinRoot());
  ASSERT_TRUE(root.exists()) << ui::skinRoot().toStdString();
  const QStringList layouts = root.entryList({"*.xml"}, QDir::Files);
  ASSERT_FALSE(layouts.isEmpty());
  for (const QString& file : layouts) {
    SCOPED_TRACE(file.toStdString());
    QString error;
    std::unique_ptr<QWidget> widget(ui::loadLayout(root.filePath(file), root.path(), nullptr, nullptr, &error));
    ASSERT_NE(widget, nullptr) << error.toStdString();
    QList<QWidget*> all = widget->findChildren<QWidget*>();
    all.prepend(widget.get());
    for (QWidget* w : all) {
      for (const QByteArray& name : w->dynamicPropertyNames()) {
        if (!name.endsWith("image")) continue;
        const QString text = w->property(name).toString();
        SCOPED_TRACE((w->objectName() + "." + QString::fromLatin1(name) + " = " + text).toStdString());
        const auto image = ui::parseImageAttribute(text);
        ASSERT_TRUE(image.has_value());
        EXPECT_FALSE(ui::resolveImageFile(image->file, root.path(), root.path()).isEmpty());
      }
    }
  }
}

// The panes' waiting animation beside the executables: twelve frames of a
// bright dot going round a ring, on a transparent ground.
TEST(Skin, WaitingAnimationDecodes) {
  QMovie movie(QString::fromStdString(resourceFolder()) + "/checking.gif");
  ASSERT_TRUE(movie.isValid());
  EXPECT_EQ(movie.frameCount(), 12);
  std::vector<QPoint> brightest;
  for (int f = 0; f < movie.frameCount(); ++f) {
    ASSERT_TRUE(movie.jumpToFrame(f));
    const QImage frame = movie.currentImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(frame.size(), QSize(64, 64));
    EXPECT_EQ(qAlpha(frame.pixel(32, 32)), 0) << "the middle is transparent";
    QPoint best;
    int bestBlue = -1;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        if (qAlpha(frame.pixel(x, y)) && qBlue(frame.pixel(x, y)) > bestBlue) {
          bestBlue = qBlue(frame.pixel(x, y));
          best = {x, y};
        }
    EXPECT_GT(bestBlue, 0xF0);
    brightest.push_back(best);
  }
  // Frame 0 lights the top of the ring; frame 3 the right; frame 6 the bottom.
  EXPECT_NEAR(brightest[0].x(), 32, 3);
  EXPECT_LT(brightest[0].y(), 14);
  EXPECT_GT(brightest[3].x(), 50);
  EXPECT_GT(brightest[6].y(), 50);
}

TEST(Skin, ChineseTextHasItsFont) {
  EXPECT_TRUE(QFontDatabase::families().contains(ui::kSkinFontFamily));
  EXPECT_EQ(QApplication::font().family(), ui::kSkinFontFamily);
}

TEST(Skin, MessageBoxLooksLikeTheSkin) {
  QImage shot;
  QRect okRect, cancelRect;
  mc::test::whenWindowShown("MyMessageBox", [&](QWidget* box) {
    mc::test::spinFor(20);
    shot = box->grab().toImage();
    auto* ok = box->findChild<QAbstractButton*>("BtnOK");
    okRect = QRect(ok->mapTo(box, QPoint(0, 0)), ok->size());
    auto* cancel = box->findChild<QAbstractButton*>("BtnCancel");
    cancelRect = QRect(cancel->mapTo(box, QPoint(0, 0)), cancel->size());
    QTest::mouseClick(ok, Qt::LeftButton);
  });
  EXPECT_EQ(CPopMessageBox::Show(mc::kNoWindow, CPopMessageBox::kTwoButtons, QString("发现新版本，是否升级"),
                                 QString("版本 2.1.0"), QString("确定"), QString("取消")),
            1);
  ASSERT_FALSE(shot.isNull());
  mc::test::saveSnapshot(shot, "message-box");
  EXPECT_EQ(shot.size(), QSize(380, 190)) << "the layout's size";
  EXPECT_TRUE(mc::test::near(shot.pixelColor(200, 20), QColor(0x15, 0x18, 0x1D), 3)) << "caption band";
  EXPECT_TRUE(mc::test::near(shot.pixelColor(200, 120), QColor(0x23, 0x28, 0x30), 3)) << "body";
  EXPECT_TRUE(mc::test::near(shot.pixelColor(0, 100), QColor(0x3A, 0x41, 0x4C), 3)) << "border";
  EXPECT_TRUE(mc::test::near(shot.pixelColor(okRect.left() + 6, okRect.center().y()), QColor(0x2D, 0x7F, 0xD3), 6))
      << "the OK button in the accent colour";
  EXPECT_TRUE(mc::test::near(shot.pixelColor(cancelRect.left() + 6, cancelRect.center().y()),
                             QColor(0x34, 0x3B, 0x45), 6));
  EXPECT_LT(okRect.left(), cancelRect.left());
}

TEST(Skin, NoticeLooksLikeTheSkin) {
  QImage shot;
  mc::test::whenWindowShown("PictrueDlg", [&](QWidget* notice) {
    mc::test::spinFor(20);
    shot = notice->grab().toImage();
    QTest::mouseClick(notice->findChild<QAbstractButton*>("BtnOK"), Qt::LeftButton);
  });
  AppContext::instance().capturePath = "/home/operator/Capture";
  EXPECT_EQ(CPictrueDlg::Show(mc::kNoWindow), 1);
  ASSERT_FALSE(shot.isNull());
  mc::test::saveSnapshot(shot, "saved-notice");
  AppContext::instance().capturePath.clear();
}

}  // namespace

namespace {
QStringList* styleWarnings = nullptr;
void recordWarning(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtWarningMsg && styleWarnings) styleWarnings->append(text);
}
}  // namespace

// Qt drops a whole style sheet that does not parse, with nothing but a
// warning: every window would fall back to the platform look.
TEST(Skin, StyleSheetParses) {
  QStringList warnings;
  styleWarnings = &warnings;
  const QtMessageHandler previous = qInstallMessageHandler(recordWarning);
  ASSERT_TRUE(ui::applySkinTheme());
  QLabel probe(QStringLiteral("probe"));
  probe.ensurePolished();
  qInstallMessageHandler(previous);
  styleWarnings = nullptr;
  qApp->setStyleSheet(QString());
  EXPECT_FALSE(warnings.join('\n').contains(QStringLiteral("Could not parse"))) << warnings.join('\n').toStdString();
}
