// The switch's decisions as values; what it does to a real window is checked
// end to end (switch_e2e_test.cpp).
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "driver/switch.h"

TEST(MenuToRestore, IsTheFilesWhenTheWindowKeepsNone) {
  const HMENU original = reinterpret_cast<HMENU>(0x20022);
  EXPECT_EQ(MenuToRestore(original, nullptr), original) << "the property was lost, the file holds";
}

// The client area the window gets is the monitor's width, from `hidden_top`
// above the monitor's top down to its bottom, whatever the frame: maximized at
// 96 DPI (the 8-pixel frame off the screen), with a caption and a thin frame, on
// a monitor above and left of the primary one.
TEST(TypeOneWindowRect, PutsTheClientAreaOnTheMonitorWithItsTopAboveIt) {
  const struct { RECT window, client, monitor; int hidden_top; RECT placed; } cases[] = {
      {{-8, -8, 1288, 808}, {0, 0, 1280, 800}, {0, 0, 1280, 800}, 51, {-8, -59, 1288, 808}},
      {{100, 50, 700, 500}, {104, 73, 696, 480}, {0, 0, 1920, 1080}, 26, {-4, -49, 1924, 1100}},
      {{-1240, -1020, 0, -200}, {-1232, -1012, -8, -208}, {-1280, -1024, 0, 0}, 76, {-1288, -1108, 8, 8}},
  };
  for (const auto& c : cases) {
    const RECT placed = TypeOneWindowRect(c.window, c.client, c.monitor, c.hidden_top);
    EXPECT_EQ(std::tuple(placed.left, placed.top, placed.right, placed.bottom),
              std::tuple(c.placed.left, c.placed.top, c.placed.right, c.placed.bottom));
  }
}

TEST(BarsToShow, AreThoseVisibleOnEnteringOrBothWithoutARecord) {
  for (const shown_bars bars : {shown_bars{true, true}, {false, true}, {true, false}, {false, false}}) {
    const shown_bars back = BarsToShow(ShownBarsRecord(bars));
    EXPECT_EQ(std::pair(back.tool_bar, back.file_tab_bar), std::pair(bars.tool_bar, bars.file_tab_bar));
    EXPECT_NE(ShownBarsRecord(bars), nullptr) << "a window property cannot keep 0";
  }
  const shown_bars none = BarsToShow(nullptr);
  EXPECT_TRUE(none.tool_bar && none.file_tab_bar);
}

TEST(HandleGroupName, IsSignedDecimal) {
  EXPECT_EQ(HandleGroupName(reinterpret_cast<HWND>(0x10020)), L"65568");
  EXPECT_EQ(HandleGroupName(reinterpret_cast<HWND>(static_cast<intptr_t>(-5))), L"-5");
  EXPECT_EQ(HandleGroupName(nullptr), L"0");
}
