#include <gtest/gtest.h>

#include "driver/run.h"
#include "driver/switch.h"

TEST(FirstArgument, TakesTheTokenAfterTheProgramPath) {
  EXPECT_EQ(FirstArgument(LR"(C:\Tools\Corvalin.exe /fullscreentype=1)"), L"/fullscreentype=1");
  EXPECT_EQ(FirstArgument(LR"("C:\Program Files\Corvalin.exe" /fullscreentype=2)"), L"/fullscreentype=2");
  EXPECT_EQ(FirstArgument(LR"(Corvalin.exe    /fullscreentype=1)"), L"/fullscreentype=1") << "runs of spaces";
  EXPECT_EQ(FirstArgument(L"Corvalin.exe /fullscreentype=1 /fullscreentype=2"), L"/fullscreentype=1");
}

TEST(FirstArgument, RemovesQuotesAroundTheArgumentOrInsideIt) {
  EXPECT_EQ(FirstArgument(LR"(Corvalin.exe "/fullscreentype=1")"), L"/fullscreentype=1");
  EXPECT_EQ(FirstArgument(LR"(Corvalin.exe /fullscreentype="2")"), L"/fullscreentype=2");
  EXPECT_EQ(FirstArgument(LR"(Corvalin.exe /full"screen type"=2 x)"), L"/fullscreen type=2") << "quoted space";
  // A quoted token ends at its closing quote; the next token starts right after it.
  EXPECT_EQ(FirstArgument(LR"("Corvalin.exe"/fullscreentype=1)"), L"/fullscreentype=1");
}

TEST(FirstArgument, OnlySpacesSeparate) {
  EXPECT_EQ(FirstArgument(L"Corvalin.exe\t/fullscreentype=1"), L"");
  EXPECT_EQ(FirstArgument(L"Corvalin.exe /a\tb"), L"/a\tb");
  EXPECT_EQ(FirstArgument(L"Corvalin.exe \x00A0/fullscreentype=1"), L"\x00A0/fullscreentype=1");
}

TEST(FirstArgument, EmptyWhenThereIsNone) {
  EXPECT_EQ(FirstArgument(L""), L"");
  EXPECT_EQ(FirstArgument(L"Corvalin.exe"), L"");
  EXPECT_EQ(FirstArgument(L"Corvalin.exe    "), L"");
  EXPECT_EQ(FirstArgument(LR"(Corvalin.exe "")"), L"") << "an empty quoted argument";
  EXPECT_EQ(FirstArgument(LR"("C:\unclosed path /fullscreentype=1)"), L"") << "unclosed quote swallows the line";
  EXPECT_EQ(FirstArgument(LR"(Corvalin.exe "/fullscreentype=1)"), L"/fullscreentype=1") << "unclosed argument quote";
  EXPECT_EQ(FirstArgument(LR"(Corvalin.exe """")"), L"");
}

TEST(FirstArgument, CopesWithLongAndNonBmpText) {
  std::wstring longest = L"Corvalin.exe " + std::wstring(32767 - 13, L'x');
  EXPECT_EQ(FirstArgument(longest).size(), 32767u - 13);
  std::wstring quotes(32767, L'"');
  EXPECT_EQ(FirstArgument(quotes), L"");
  const std::wstring emoji = L"\xD83D\xDE00";  // U+1F600 as a surrogate pair
  EXPECT_EQ(FirstArgument(L"Corvalin.exe " + emoji + L"=1"), emoji + L"=1");
}

TEST(LayoutType, MatchesTheWholeLowerCaseArgumentOnly) {
  EXPECT_EQ(LayoutType(L"/fullscreentype=1"), layout_type::type_1);
  EXPECT_EQ(LayoutType(L"/fullscreentype=2"), layout_type::type_2);
  EXPECT_EQ(LayoutType(L"/fullscreentype=02"), layout_type::other);
  EXPECT_EQ(LayoutType(L"/fullscreentype=1 "), layout_type::other);
  EXPECT_EQ(LayoutType(L"/FULLSCREENTYPE=2"), layout_type::other) << "lower-casing happens when reading";
}
