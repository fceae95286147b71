// The image attribute texts of the skin: parsing, style sheets, derived images.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "tests/ui/UiTestSupport.h"
#include "ui/lib/ControlOps.h"
#include "ui/lib/ImageAttribute.h"

namespace {

using ui::ImageAttribute;
using ui::parseImageAttribute;

ImageAttribute withFile(const char* file) {
  ImageAttribute a;
  a.file = file;
  return a;
}

TEST(ImageAttribute, ParsesTheSkinTexts) {
  struct Case {
    const char* text;
    ImageAttribute expected;
  };
  ImageAttribute cornered = withFile("VideoQP/jiqing2.png");
  cornered.corner = QMargins(18, 4, 4, 4);
  ImageAttribute full = withFile("a.png");
  full.source = QRect(QPoint(1, 2), QPoint(10, 21));
  full.dest = QRect(QPoint(3, 4), QPoint(12, 23));
  full.mask = 0xFFFF00FF;
  full.fade = 128;
  full.hole = true;
  full.xtiled = true;
  ImageAttribute shortCorner = withFile("a.png");
  shortCorner.corner = QMargins(3, 5, 0, 0);
  ImageAttribute clampedFade = withFile("a.png");
  clampedFade.fade = 255;
  ImageAttribute opaqueMask = withFile("a.png");
  opaqueMask.mask = 0xFFFF00FF;
  const Case cases[] = {
      {"x.png", withFile("x.png")},
      {"  Sound1.png ", withFile("Sound1.png")},
      {R"(file='VideoQP\jiqing2.png' corner='18,4,4,4')", cornered},
      {R"(file='VideoQP\\jiqing2.png' corner='18,4,4,4')", cornered},
      {"file='a.png' source='1,2,11,22' dest='3,4,13,24' mask='#FFFF00FF' fade='128' hole='true' xtiled='true' "
       "ytiled='false'",
       full},
      {R"(file="a.png")", withFile("a.png")},
      {"  file = 'a.png'   corner = '3,5' ", shortCorner},
      {"file='a.png' res='12' restype='PNG'", withFile("a.png")},
      {"FILE='a.png'", withFile("a.png")},
      {"file='a.png' fade='300'", clampedFade},
      {"file='a.png' mask='0xFF00FF'", opaqueMask},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto parsed = parseImageAttribute(c.text);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, c.expected);
  }
}

TEST(ImageAttribute, RefusesMalformedTexts) {
  for (const char* text : {"", "   ", "file='a.png", "corner='1,1,1,1'", "file='' corner='1,1,1,1'",
                           "file='a.png' corner='a,b'", "file='a.png' corner='1,2,3,4,5'",
                           "file='a.png' corner='-1,0,0,0'", "file='a.png' hole='maybe'", "file=a.png",
                           "file='a.png' fade='lots'", "file='a.png' mask='#GG0000'", "='a.png'"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(parseImageAttribute(text).has_value());
  }
}

TEST(ImageAttribute, StyleListsSlicesTopRightBottomLeft) {
  ImageAttribute a = withFile("x.png");
  a.corner = QMargins(18, 4, 5, 6);
  EXPECT_EQ(ui::imageStyleDeclarations(a, "/skin/x.png"),
            "border-image: url(\"/skin/x.png\") 4 5 6 18 stretch stretch; border-width: 4px 5px 6px 18px;");
  a.xtiled = true;
  EXPECT_TRUE(ui::imageStyleDeclarations(a, "/skin/x.png").contains("repeat stretch"));
  EXPECT_EQ(ui::imageStyleDeclarations(a, ""), "border-image: none;");
}

class SkinImageTest : public ::testing::Test {
 protected:
  // A 40×20 picture: 18 red columns, then green, then 4 blue ones; the top 4
  // rows of the middle are yellow.
  void SetUp() override {
    QImage picture(40, 20, QImage::Format_ARGB32);
    picture.fill(Qt::green);
    QPainter p(&picture);
    p.fillRect(0, 0, 18, 20, Qt::red);
    p.fillRect(36, 0, 4, 20, Qt::blue);
    p.fillRect(18, 0, 18, 4, Qt::yellow);
    p.end();
    QDir().mkpath(skin.dir() + "/VideoQP");
    ASSERT_TRUE(picture.save(skin.dir() + "/VideoQP/bands.png"));
  }
  mc::test::TestSkin skin;
};

TEST_F(SkinImageTest, CornersStayUnstretchedWhenDrawn) {
  QWidget holder;
  ui::applySkinAttributes(&holder, skin.dir());
  auto* label = new QLabel(&holder);
  label->setGeometry(0, 0, 200, 60);
  ASSERT_TRUE(ui::SetBkImage(label, R"(file='VideoQP\bands.png' corner='18,4,4,0')"));
  const QImage shot = label->grab().toImage();
  mc::test::saveSnapshot(shot, "corner-bands");
  struct Probe {
    int x, y;
    QColor colour;
  };
  for (const Probe& p : {Probe{2, 30, Qt::red}, Probe{17, 30, Qt::red}, Probe{18, 30, Qt::green},
                         Probe{120, 30, Qt::green}, Probe{196, 30, Qt::blue}, Probe{199, 30, Qt::blue},
                         Probe{100, 1, Qt::yellow}, Probe{100, 3, Qt::yellow}, Probe{100, 5, Qt::green}}) {
    SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
    EXPECT_TRUE(mc::test::near(shot.pixelColor(p.x, p.y), p.colour, 8)) << shot.pixelColor(p.x, p.y).name().toStdString();
  }
  EXPECT_EQ(ui::GetImage(label, "bk"), R"(file='VideoQP\bands.png' corner='18,4,4,0')");
}

TEST_F(SkinImageTest, RefusesImagesTheSkinDoesNotHold) {
  QWidget holder;
  ui::applySkinAttributes(&holder, skin.dir());
  auto* button = new QPushButton(&holder);
  EXPECT_FALSE(ui::SetBkImage(button, "file='nothere.png'"));
  EXPECT_FALSE(ui::SetNormalImage(button, "file='VideoQP/bands.png"));
  EXPECT_TRUE(ui::SetNormalImage(button, "VideoQP/bands.png"));
  EXPECT_TRUE(ui::SetNormalImage(button, ""));  // removes it
  EXPECT_EQ(ui::GetImage(button, "normal"), "");
  EXPECT_FALSE(ui::SetSkinAttribute(button, "textcolor", "#nonsense"));
  EXPECT_FALSE(ui::SetSkinAttribute(button, "wobbleimage", "x.png"));
}

TEST_F(SkinImageTest, DerivedImagesCropMaskFadeAndCut) {
  const QString source = skin.dir() + "/VideoQP/bands.png";
  const QString cache = skin.dir() + "/cache";
  struct Case {
    const char* text;
    QSize size;
    QPoint probe;
    QColor colour;
    int alpha;
  };
  const Case cases[] = {
      {"file='x' source='36,0,40,20'", {4, 20}, {1, 10}, Qt::blue, 255},
      {"file='x' mask='#FFFF0000'", {40, 20}, {5, 10}, Qt::red, 0},
      {"file='x' fade='128'", {40, 20}, {25, 10}, Qt::green, 128},
      {"file='x' corner='18,4,4,4' hole='true'", {40, 20}, {25, 10}, Qt::green, 0},
      {"file='x' corner='18,4,4,4' hole='true'", {40, 20}, {5, 10}, Qt::red, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto image = parseImageAttribute(c.text);
    ASSERT_TRUE(image.has_value());
    const QString derived = ui::derivedImageFile(*image, source, cache);
    ASSERT_FALSE(derived.isEmpty());
    EXPECT_NE(derived, source);
    const QImage picture(derived);
    ASSERT_EQ(picture.size(), c.size);
    const QColor pixel = picture.pixelColor(c.probe);
    EXPECT_NEAR(pixel.alpha(), c.alpha, 2);
    if (c.alpha > 0) {
      EXPECT_TRUE(mc::test::near(pixel, c.colour, 3)) << pixel.name().toStdString();
    }
    EXPECT_EQ(ui::derivedImageFile(*image, source, cache), derived) << "made once, then reused";
  }
  EXPECT_EQ(ui::derivedImageFile(withFile("x"), source, cache), source) << "nothing to change";
  ImageAttribute outside = withFile("x");
  outside.source = QRect(100, 100, 5, 5);
  EXPECT_EQ(ui::derivedImageFile(outside, source, cache), "");
}

}  // namespace
