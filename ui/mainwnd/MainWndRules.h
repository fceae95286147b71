#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The main window's decisions that need no window: which split a button
// means, when the tour may run and how long its steps are, which menu a tree
// row gets, which node rows open all their cameras, and the free channels of
// a node. No Qt.
namespace mainwnd {

// The pane count of a live split button ("1", "4", "6", "8", "9", "16",
// "25", "36", "49", "64"); empty for any other control name.
std::optional<int> splitCountOfButton(std::string_view controlName);

// The tour runs only in the layouts with one large pane: 6 and 8.
bool tourAllowed(int layoutCount);

// The tour interval typed into "lunxunTime": a whole number of seconds from
// 1 to 60 (blanks around it allowed); empty for anything else.
std::optional<int> parseTourSeconds(std::string_view text);

// The context menu layout of a tree row by its record's type code:
// "MapDuiMenu2.xml" (8, 9, 10, 12, 15, 16), "MapDuiMenu1.xml" (1, 3, 4, 11),
// "MapDuiMenuSxt.xml" (13, a camera); empty: no menu.
std::string menuLayoutOf(int typeCode);

// Node rows of these types open all their cameras on a double click: 1, 2, 3,
// 4, 8, 9, 10, 11, 12, 14, 15, 16.
bool opensAllOnDoubleClick(int typeCode);

// The first channel number of a node: 1 for the types 15 and 16, else 0.
int firstChannelOf(int typeCode);

// The channels a camera can still be added on: a node of `typeCode` with
// `capacity` channels whose cameras sit on the channels `usedChannels` (their
// texts; texts that are no number use none). The free numbers in ascending
// order, each followed by ";" ("2;4;"). Empty (no list at all) when the node
// already has `capacity` cameras or more: it is full.
std::optional<std::string> freeChannelList(int typeCode, int capacity, const std::vector<std::string>& usedChannels);

}  // namespace mainwnd
