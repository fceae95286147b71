#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "common/AutoResetEvent.h"
#include "common/FileSystem.h"
#include "common/Md5.h"
#include "common/Split.h"
#include "common/TickCount.h"
#include "common/WindowMessage.h"
#include "tests/support/TempFolder.h"

using mc::splitText;

TEST(SplitText, CutsAtSeparatorAndDropsEmptyPiecesOnRequest) {
  struct Case {
    const char* text;
    char separator;
    bool dropEmpty;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"a;b;c", ';', true, {"a", "b", "c"}},
      {"a;;c", ';', true, {"a", "c"}},
      {"a;;c", ';', false, {"a", "", "c"}},
      {"1.2.10", '.', true, {"1", "2", "10"}},
      {"127.0.0.1;", ';', true, {"127.0.0.1"}},
      {"127.0.0.1;", ';', false, {"127.0.0.1", ""}},
      {"", ';', true, {}},
      {"", ';', false, {""}},
      {";", ';', true, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(splitText(c.text, c.separator, c.dropEmpty), c.expected) << '"' << c.text << '"';
  }
}

TEST(Md5Upper, GivesThirtyTwoUpperCaseHexDigits) {
  EXPECT_EQ(mc::md5Upper(""), "D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_EQ(mc::md5Upper("demo"), "FE01CE2A7FBAC8FAFAED7C982A04E229");
  EXPECT_EQ(mc::md5Upper(std::string("a\0b", 3)).size(), 32u);
}

TEST(AutoResetEvent, ReleasesOneWaitPerSetAndTimesOut) {
  mc::AutoResetEvent event;
  EXPECT_FALSE(event.wait(10));
  event.set();
  EXPECT_TRUE(event.wait(0));
  EXPECT_FALSE(event.wait(10)) << "an auto-reset event is unsignalled after one wait";

  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    event.set();
  });
  EXPECT_TRUE(event.wait(5000));
  setter.join();
}

TEST(TickCount, AdvancesInMilliseconds) {
  const std::uint32_t first = mc::tickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const std::uint32_t elapsed = mc::tickCount() - first;
  EXPECT_GE(elapsed, 45u);
  EXPECT_LT(elapsed, 5000u);
}

TEST(FolderTree, CreatesEveryMissingLevel) {
  mc::test::TempFolder temp;
  const std::string nested = temp.path() + "/one/two/three";
  EXPECT_FALSE(mc::pathExists(nested));
  EXPECT_TRUE(mc::createFolderTree(nested));
  EXPECT_TRUE(mc::pathExists(temp.path() + "/one/two"));
  EXPECT_TRUE(mc::pathExists(nested));
  EXPECT_TRUE(mc::createFolderTree(nested + "/")) << "an existing folder with a trailing slash";

  mc::test::writeFile(temp.file("plain"), "x");
  EXPECT_FALSE(mc::createFolderTree(temp.file("plain/below"))) << "a file stands where a folder must be";
  EXPECT_FALSE(mc::createFolderTree(temp.path() + "/" + std::string(1100, 'a')));
}

TEST(PostMessage, GoesThroughTheInstalledHookAndDropsWithoutOne) {
  EXPECT_FALSE(mc::postMessage(7, 1229));

  std::vector<std::pair<mc::WindowHandle, mc::WindowMessage>> posted;
  mc::setPostMessageHook([&](mc::WindowHandle window, mc::WindowMessage message) {
    posted.emplace_back(window, std::move(message));
    return true;
  });
  auto payload = std::make_shared<int>(42);
  std::weak_ptr<int> watch = payload;
  EXPECT_TRUE(mc::postMessage(7, 1232, 0, 0, std::move(payload)));
  EXPECT_FALSE(mc::postMessage(mc::kNoWindow, 1232)) << "posting to no window is dropped";
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].first, 7u);
  EXPECT_EQ(posted[0].second.id, 1232u);
  EXPECT_EQ(*std::static_pointer_cast<int>(posted[0].second.payload), 42);

  posted.clear();
  EXPECT_TRUE(watch.expired()) << "the payload is freed with the message";
  mc::setPostMessageHook({});
  EXPECT_FALSE(mc::postMessage(7, 1229));
}

TEST(PostMessage, DropsThePayloadOfARefusedMessage) {
  mc::setPostMessageHook([](mc::WindowHandle, mc::WindowMessage) { return false; });
  auto payload = std::make_shared<int>(1);
  std::weak_ptr<int> watch = payload;
  EXPECT_FALSE(mc::postMessage(3, 1227, 0, 0, std::move(payload)));
  EXPECT_TRUE(watch.expired());
  mc::setPostMessageHook({});
}
