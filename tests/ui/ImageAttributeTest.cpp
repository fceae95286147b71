// The image attribute texts of the skin: parsing, style sheets, derived images.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QCheckBox>
#include <QPushButton>

#include "tests/ui/UiTestSupport.h"
#include "ui/lib/ControlOps.h"
#include "ui/lib/ImageAttribute.h"
#include "ui/lib/SkinImage.h"

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

// Draws an attribute onto a 40×20 dark canvas and reads pixels back.
TEST_F(SkinImageTest, DrawsSourceDestFadeTilesAndHoles) {
  const QPixmap bands = ui::skinPixmap(skin.dir() + "/VideoQP/bands.png");
  ASSERT_FALSE(bands.isNull());
  struct Probe {
    QPoint at;
    QColor colour;
  };
  struct Case {
    const char* text;
    std::vector<Probe> probes;
  };
  const QColor canvas(10, 10, 10);
  const Case cases[] = {
      // Plain: the whole picture stretched over the control (80 wide: red ends at 36).
      {"file='x'", {{{33, 10}, Qt::red}, {{39, 10}, Qt::green}, {{79, 10}, Qt::blue}}},
      // Only the blue part of the picture, stretched over everything.
      {"file='x' source='36,4,40,20'", {{{1, 1}, Qt::blue}, {{60, 18}, Qt::blue}}},
      // Placed at its destination, the rest untouched.
      {"file='x' dest='10,5,50,15'", {{{5, 10}, canvas}, {{12, 10}, Qt::red}, {{49, 10}, Qt::blue}, {{55, 10}, canvas}}},
      // A hole keeps the corners and leaves the middle alone.
      {"file='x' corner='18,4,4,4' hole='true'", {{{5, 10}, Qt::red}, {{40, 10}, canvas}, {{78, 10}, Qt::blue}}},
      // The mask colour is not drawn.
      {"file='x' mask='#FF00FF00'", {{{5, 10}, Qt::red}, {{40, 10}, canvas}}},
      // Tiled across: the picture repeats at its own width.
      {"file='x' xtiled='true'", {{{5, 10}, Qt::red}, {{45, 10}, Qt::red}, {{39, 10}, Qt::blue}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    QImage target(80, 20, QImage::Format_ARGB32);
    target.fill(canvas);
    const auto image = parseImageAttribute(c.text);
    ASSERT_TRUE(image.has_value());
    const QPixmap pixmap = ui::skinPixmap(skin.dir() + "/VideoQP/bands.png", image->mask);
    {
      QPainter painter(&target);
      ui::drawImageAttribute(painter, target.rect(), *image, pixmap);
    }
    for (const Probe& p : c.probes) {
      SCOPED_TRACE(testing::Message() << p.at.x() << "," << p.at.y());
      EXPECT_TRUE(mc::test::near(target.pixelColor(p.at), p.colour, 10)) << target.pixelColor(p.at).name().toStdString();
    }
  }
  // Faded to half over black.
  QImage target(80, 20, QImage::Format_ARGB32);
  target.fill(Qt::black);
  {
    QPainter painter(&target);
    ui::drawImageAttribute(painter, target.rect(), *parseImageAttribute("file='x' fade='128'"), bands);
  }
  EXPECT_NEAR(target.pixelColor(5, 10).red(), 128, 3);
}

// A button shows the image of its state.
TEST_F(SkinImageTest, ButtonsShowTheImageOfTheirState) {
  const std::pair<const char*, QColor> colours[] = {{"normal", Qt::red},   {"hot", Qt::green},
                                                    {"pushed", Qt::blue},  {"disabled", Qt::gray},
                                                    {"selected", Qt::yellow}, {"selectedhot", Qt::cyan}};
  for (const auto& [name, colour] : colours) {
    QImage picture(8, 8, QImage::Format_ARGB32);
    picture.fill(colour);
    ASSERT_TRUE(picture.save(skin.dir() + "/" + name + ".png"));
  }
  QWidget holder;
  ui::applySkinAttributes(&holder, skin.dir());
  auto* button = new QPushButton(&holder);
  button->setGeometry(0, 0, 40, 20);
  for (const auto& [name, colour] : colours)
    ASSERT_TRUE(ui::SetSkinAttribute(button, QString(name) + "image", QString(name) + ".png")) << name;
  struct Case {
    const char* name;
    std::function<void()> setUp;
    QColor expected;
  };
  const Case cases[] = {
      {"normal", [] {}, Qt::red},
      {"hot", [&] { button->setAttribute(Qt::WA_UnderMouse, true); }, Qt::green},
      {"pushed", [&] { button->setAttribute(Qt::WA_UnderMouse, true); button->setDown(true); }, Qt::blue},
      {"disabled", [&] { button->setAttribute(Qt::WA_UnderMouse, true); button->setEnabled(false); }, Qt::gray},
      {"selected", [&] { button->setCheckable(true); button->setChecked(true); }, Qt::yellow},
      {"selected hot", [&] { button->setCheckable(true); button->setChecked(true); button->setAttribute(Qt::WA_UnderMouse, true); }, Qt::cyan},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    button->setAttribute(Qt::WA_UnderMouse, false);
    button->setDown(false);
    button->setEnabled(true);
    button->setChecked(false);
    button->setCheckable(false);
    c.setUp();
    EXPECT_TRUE(mc::test::near(button->grab().toImage().pixelColor(20, 10), c.expected, 4));
  }
  EXPECT_TRUE(button->property("skinImage").toBool());
  ASSERT_TRUE(ui::SetNormalImage(button, ""));
  EXPECT_FALSE(button->property("skinImage").toBool()) << "without a normal image the button has its own face again";
}

// Check boxes draw their state images as the indicator.
TEST_F(SkinImageTest, OptionIndicatorsShowTheirStateImages) {
  for (const auto& [name, colour] : {std::pair{"off", QColor(Qt::red)}, std::pair{"on", QColor(Qt::green)}}) {
    QImage picture(14, 14, QImage::Format_ARGB32);
    picture.fill(colour);
    ASSERT_TRUE(picture.save(skin.dir() + "/" + name + ".png"));
  }
  QWidget holder;
  ui::applySkinAttributes(&holder, skin.dir());
  auto* option = new QCheckBox("记住密码", &holder);
  option->setGeometry(0, 0, 120, 20);
  ASSERT_TRUE(ui::SetNormalImage(option, "off.png"));
  ASSERT_TRUE(ui::SetSelectedImage(option, "on.png"));
  auto indicatorColour = [&] {
    const QImage shot = option->grab().toImage();
    for (int x = 0; x < 30; ++x)
      for (int y = 0; y < 20; ++y)
        if (mc::test::near(shot.pixelColor(x, y), Qt::red, 4) || mc::test::near(shot.pixelColor(x, y), Qt::green, 4))
          return shot.pixelColor(x, y);
    return QColor();
  };
  EXPECT_TRUE(mc::test::near(indicatorColour(), Qt::red, 4));
  option->setChecked(true);
  EXPECT_TRUE(mc::test::near(indicatorColour(), Qt::green, 4));
}

}  // namespace
