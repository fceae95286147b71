// The main window's rules that need no window: split buttons, the tour
// interval, menus by type code, double-click opening, free channels.
#include <gtest/gtest.h>

#include "ui/mainwnd/MainWndRules.h"

namespace {

using namespace mainwnd;

TEST(MainWndRules, SplitButtonsAreTheTenLayouts) {
  for (int count : {1, 4, 6, 8, 9, 16, 25, 36, 49, 64})
    EXPECT_EQ(splitCountOfButton(std::to_string(count)), count) << count;
  for (const char* name : {"", "0", "2", "81", "100", "04", "6 ", "FullDesk", "lunxun"})
    EXPECT_EQ(splitCountOfButton(name), std::nullopt) << '"' << name << '"';
}

TEST(MainWndRules, TourOnlyInTheLayoutsWithALargePane) {
  for (int count : {1, 4, 9, 16, 25, 36, 49, 64, 0}) EXPECT_FALSE(tourAllowed(count)) << count;
  EXPECT_TRUE(tourAllowed(6));
  EXPECT_TRUE(tourAllowed(8));
}

TEST(MainWndRules, TourIntervalIsAWholeNumberOfSecondsFromOneToSixty) {
  struct Case {
    const char* text;
    std::optional<int> seconds;
  };
  for (const Case& c : {Case{"1", 1}, Case{"60", 60}, Case{"10", 10}, Case{" 5 ", 5}, Case{"0", {}}, Case{"61", {}},
                        Case{"", {}}, Case{"  ", {}}, Case{"-5", {}}, Case{"5s", {}}, Case{"1.5", {}}, Case{"abc", {}},
                        Case{"99999999999999999999", {}}})
    EXPECT_EQ(parseTourSeconds(c.text), c.seconds) << '"' << c.text << '"';
}

TEST(MainWndRules, MenuLayoutByTypeCode) {
  struct Case {
    int type;
    const char* layout;
  };
  for (const Case& c : {Case{8, "MapDuiMenu2.xml"}, Case{9, "MapDuiMenu2.xml"}, Case{10, "MapDuiMenu2.xml"},
                        Case{12, "MapDuiMenu2.xml"}, Case{15, "MapDuiMenu2.xml"}, Case{16, "MapDuiMenu2.xml"},
                        Case{1, "MapDuiMenu1.xml"}, Case{3, "MapDuiMenu1.xml"}, Case{4, "MapDuiMenu1.xml"},
                        Case{11, "MapDuiMenu1.xml"}, Case{13, "MapDuiMenuSxt.xml"}, Case{2, ""}, Case{14, ""},
                        Case{0, ""}, Case{5, ""}, Case{17, ""}, Case{-1, ""}})
    EXPECT_EQ(menuLayoutOf(c.type), c.layout) << c.type;
}

TEST(MainWndRules, NodeTypesWhoseDoubleClickOpensAllCameras) {
  for (int type = -1; type <= 20; ++type) {
    const bool expected = (type >= 1 && type <= 4) || (type >= 8 && type <= 12) || (type >= 14 && type <= 16);
    EXPECT_EQ(opensAllOnDoubleClick(type), expected) << type;
  }
  EXPECT_FALSE(opensAllOnDoubleClick(13)) << "a camera row toggles instead";
}

TEST(MainWndRules, FreeChannels) {
  struct Case {
    int type;
    int capacity;
    std::vector<std::string> used;
    std::optional<std::string> free;
  };
  const Case cases[] = {
      {16, 4, {"1", "3"}, "2;4;"},             // channels from 1
      {15, 3, {}, "1;2;3;"},
      {9, 4, {"1", "3"}, "0;2;"},              // channels from 0
      {8, 4, {"3", "0"}, "1;2;"},              // ascending whatever the children's order
      {9, 4, {"1", "2", "3"}, "0;"},
      {9, 3, {"0", "1", "2"}, std::nullopt},   // full
      {9, 2, {"0", "7", "9"}, std::nullopt},   // more cameras than channels: full
      {9, 0, {}, std::nullopt},                // no channels at all
      {9, 3, {"x", " 1 ", ""}, std::nullopt},  // three cameras on three channels: full, numbers or not
      {9, 4, {"x", " 1 "}, "0;2;3;"},          // a text that is no number takes no channel
      {16, 2, {"7"}, "1;2;"},                  // a channel beyond the capacity frees none
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " capacity " << c.capacity << " used " << c.used.size());
    EXPECT_EQ(freeChannelList(c.type, c.capacity, c.used), c.free);
  }
}

}  // namespace
