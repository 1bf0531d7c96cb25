// The switch's decisions as values; what it does to a real window is checked
// end to end (switch_e2e_test.cpp).
#include <gtest/gtest.h>

#include <tuple>

#include "driver/switch.h"

TEST(MenuToRestore, TheHandleKeptOnTheWindowWinsOverTheFile) {
  const HMENU original = reinterpret_cast<HMENU>(0x20022), stale = reinterpret_cast<HMENU>(0x30033);
  EXPECT_EQ(MenuToRestore(stale, original), original) << "the file was overwritten since";
  EXPECT_EQ(MenuToRestore(original, nullptr), original) << "the property was lost, the file holds";
  EXPECT_EQ(MenuToRestore(nullptr, original), original) << "the file was deleted or never written";
  EXPECT_EQ(MenuToRestore(nullptr, nullptr), nullptr) << "none: an attached menu stays";
}

TEST(SplitterPlacement, TypeOneFillsTheWindowTypeTwoOnlyMoves) {
  const RECT maximized = {-8, -8, 1288, 792};
  auto fields = [](const window_placement& p) { return std::tuple(p.x, p.y, p.width, p.height, p.flags); };
  const auto one = SplitterPlacement(layout_type::type_1, maximized);
  ASSERT_TRUE(one.has_value());
  EXPECT_EQ(fields(*one), std::tuple(0, -25, 1296, 800 - 15, static_cast<UINT>(SWP_NOZORDER | SWP_FRAMECHANGED)));
  const auto two = SplitterPlacement(layout_type::type_2, maximized);
  ASSERT_TRUE(two.has_value());
  EXPECT_EQ(std::tuple(two->x, two->y, two->flags),
            std::tuple(0, 30, static_cast<UINT>(SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED))) << "keeps its size";
  EXPECT_FALSE(SplitterPlacement(layout_type::other, maximized).has_value());
}

TEST(TabControlPosition, IsTheScreenPositionOnTheWindowsMonitor) {
  POINT p = TabControlPosition({100, 600, 900, 730}, {0, 0});
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, 650);
  p = TabControlPosition({-1180, 620, -380, 750}, {-1280, 0});
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, 670);
  p = TabControlPosition({2020, 400, 2820, 530}, {1920, -200});
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, 650);
}

TEST(HandleGroupName, IsSignedDecimal) {
  EXPECT_EQ(HandleGroupName(reinterpret_cast<HWND>(0x10020)), L"65568");
  EXPECT_EQ(HandleGroupName(reinterpret_cast<HWND>(static_cast<intptr_t>(-5))), L"-5");
  EXPECT_EQ(HandleGroupName(nullptr), L"0");
}
