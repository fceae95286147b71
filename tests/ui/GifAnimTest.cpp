// Animated pictures and the one that reports the pointer leaving it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>

#include "tests/ui/UiTestSupport.h"
#include "ui/controls/OGifAnimUI.h"
#include "ui/lib/ControlOps.h"

namespace {

struct LeaveCounter : COGifAnimNotify {
  void OnGifMouseLeave() override { ++leaves; }
  int leaves = 0;
};

class GifAnimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const QColor colours[4] = {Qt::black, Qt::red, Qt::green, Qt::blue};
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::uint8_t f = 1; f <= 3; ++f) frames.emplace_back(8 * 8, f);
    QFile file(skin.dir() + "/talking.gif");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(mc::test::makeGif(8, 8, frames, colours, 2));
  }
  mc::test::TestSkin skin;
};

TEST_F(GifAnimTest, PlaysTheFramesOfItsFile) {
  QWidget holder;
  ui::applySkinAttributes(&holder, skin.dir());
  auto* gif = new COGifAnimUI(&holder);
  ASSERT_TRUE(ui::SetBkImage(gif, "talking.gif"));
  EXPECT_EQ(gif->GetFrameCount(), 3);
  EXPECT_TRUE(gif->IsPlaying());
  gif->PauseGif();
  EXPECT_FALSE(gif->IsPlaying());
  gif->PlayGif();
  EXPECT_TRUE(gif->IsPlaying());
  gif->StopGif();
  EXPECT_FALSE(gif->IsPlaying());
  EXPECT_FALSE(gif->SetBkImage(skin.dir() + "/none.gif"));
  EXPECT_EQ(gif->GetFrameCount(), 0);
}

TEST_F(GifAnimTest, PointerLeavingTellsTheReceiver) {
  COGifAnimUI gif;
  LeaveCounter counter;
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&gif, &leave);  // no receiver yet
  gif.SetNotify(&counter);
  QCoreApplication::sendEvent(&gif, &leave);
  QEvent enter(QEvent::Enter);
  QCoreApplication::sendEvent(&gif, &enter);
  EXPECT_EQ(counter.leaves, 1);
  gif.SetNotify(nullptr);
  QCoreApplication::sendEvent(&gif, &leave);
  EXPECT_EQ(counter.leaves, 1);
}

}  // namespace
