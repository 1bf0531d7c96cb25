#include <gtest/gtest.h>

#include "driver/launch.h"
#include "driver/switch.h"

// The token after the program path, quotes removed; only spaces separate.
TEST(FirstArgument, TakesTheTokenAfterTheProgramPath) {
  const struct {
    const wchar_t* command_line;
    const wchar_t* argument;
  } cases[] = {
      {LR"(C:\Tools\Corvalin.exe /fullscreentype=1)", L"/fullscreentype=1"},
      {LR"("C:\Program Files\Corvalin.exe" /fullscreentype=2)", L"/fullscreentype=2"},
      {LR"(Corvalin.exe    /fullscreentype=1)", L"/fullscreentype=1"},  // runs of spaces
      {L"Corvalin.exe /fullscreentype=1 /fullscreentype=2", L"/fullscreentype=1"},
      {LR"(Corvalin.exe "/fullscreentype=1")", L"/fullscreentype=1"},
      {LR"(Corvalin.exe /fullscreentype="2")", L"/fullscreentype=2"},
      {LR"(Corvalin.exe /full"screen type"=2 x)", L"/fullscreen type=2"},  // a quoted space
      {LR"("Corvalin.exe"/fullscreentype=1)", L"/fullscreentype=1"},  // the next token starts at the closing quote
      {L"Corvalin.exe\t/fullscreentype=1", L""},
      {L"Corvalin.exe /a\tb", L"/a\tb"},
      {L"Corvalin.exe \x00A0/fullscreentype=1", L"\x00A0/fullscreentype=1"},
      {L"", L""},
      {L"Corvalin.exe", L""},
      {L"Corvalin.exe    ", L""},
      {LR"(Corvalin.exe "")", L""},                                   // an empty quoted argument
      {LR"("C:\unclosed path /fullscreentype=1)", L""},               // an unclosed quote swallows the line
      {LR"(Corvalin.exe "/fullscreentype=1)", L"/fullscreentype=1"},  // an unclosed argument quote
      {LR"(Corvalin.exe """")", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FirstArgument(c.command_line), c.argument) << testing::PrintToString(c.command_line);
  }
}

TEST(FirstArgument, CopesWithLongAndNonBmpText) {
  std::wstring longest = L"Corvalin.exe " + std::wstring(32767 - 13, L'x');
  EXPECT_EQ(FirstArgument(longest).size(), 32767u - 13);
  EXPECT_EQ(FirstArgument(std::wstring(32767, L'"')), L"");
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
