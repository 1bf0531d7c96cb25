// The switch's decisions, checked on a recording stand-in for the window
// manager: which calls it makes, in which order, with which values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/switch.h"
#include "prefs/preference_file.h"
#include "test_support.h"

namespace {

HWND const Main = reinterpret_cast<HWND>(0x10020);
HWND const ToolBar = reinterpret_cast<HWND>(0x10022);
HWND const FileTabBar = reinterpret_cast<HWND>(0x10024);
HWND const Splitter = reinterpret_cast<HWND>(0x10026);
HWND const TabControl = reinterpret_cast<HWND>(0x10028);
HMENU const Menu = reinterpret_cast<HMENU>(0x3004A);
const ide_windows Windows = {Main, ToolBar, FileTabBar, Splitter, TabControl};

struct fake_window_manager {
  LONG_PTR style;
  HMENU menu;
  HANDLE property;
  RECT main_rect;
  RECT tab_rect;
  POINT monitor;
  std::vector<std::wstring> calls;
};
fake_window_manager Fake;

std::wstring Name(HWND w) {
  return w == Main ? L"main" : w == ToolBar ? L"tool_bar" : w == FileTabBar ? L"file_tab_bar"
       : w == Splitter ? L"splitter" : w == TabControl ? L"tab_control" : L"?";
}
std::wstring Number(intptr_t v) { return std::to_wstring(v); }
void Record(const std::wstring& call) { Fake.calls.push_back(call); }

const window_calls Recording = {
    [](HWND) { return Fake.style; },
    [](HWND w, LONG_PTR s) { Fake.style = s; Record(L"SetStyle " + Name(w) + L" " + Number(s)); },
    [](HWND) { return Fake.menu; },
    [](HWND w, HMENU m) { Record(L"SetMenu " + Name(w) + L" " + Number(reinterpret_cast<intptr_t>(m))); },
    [](HWND w, int c) { Record(L"ShowWindow " + Name(w) + L" " + Number(c)); },
    [](HWND w) { return w == Main ? Fake.main_rect : Fake.tab_rect; },
    [](HWND) { return Fake.monitor; },
    [](HWND w, int x, int y, int cx, int cy, UINT f) {
      Record(L"SetWindowPos " + Name(w) + L" " + Number(x) + L" " + Number(y) + L" " + Number(cx) + L" " +
             Number(cy) + L" " + Number(f));
    },
    [](HWND, const wchar_t*) { return Fake.property; },
    [](HWND, const wchar_t* n, HANDLE v) {
      Fake.property = v;
      Record(std::wstring(L"SetProp ") + n + L" " + Number(reinterpret_cast<intptr_t>(v)));
    },
    [](HWND, const wchar_t* n) {
      Fake.property = nullptr;
      Record(std::wstring(L"RemoveProp ") + n);
    },
};

constexpr LONG_PTR Normal = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
constexpr LONG_PTR Fullscreen = Normal & ~WS_BORDER;

class SwitchDecisions : public ::testing::Test {
 protected:
  scratch_folder folder;
  current_directory_change inside{folder.path};
  void SetUp() override {
    Fake = {Normal, Menu, nullptr, {-8, -8, 1288, 808}, {100, 600, 900, 730}, {0, 0}, {}};
  }
  std::vector<std::wstring> Switch(const std::wstring& argument) {
    Fake.calls.clear();
    SwitchLayoutWith(Recording, Windows, argument);
    return Fake.calls;
  }
  std::string HandlesIni() { return ReadBytes(folder.path + L"Handles.ini"); }
};

using calls = std::vector<std::wstring>;
const std::wstring Restore = L"ShowWindow main 1", Maximize = L"ShowWindow main 3";
const std::wstring RefreshFrame = L"SetWindowPos main 0 0 0 0 103";

}  // namespace

TEST_F(SwitchDecisions, TypeOneEntersAndRecordsTheMenu) {
  EXPECT_EQ(Switch(L"/fullscreentype=1"),
            (calls{L"SetProp Corvalin.MenuHandle 196682", L"SetStyle main " + Number(Fullscreen),
                   L"ShowWindow tool_bar 0", L"ShowWindow file_tab_bar 0", L"SetMenu main 0", Restore, Maximize,
                   L"SetWindowPos splitter 0 -25 1296 801 36", L"SetWindowPos tab_control 100 650 0 0 37",
                   RefreshFrame}));
  EXPECT_EQ(HandlesIni(), "\xEF\xBB\xBF\r\n[65568]\r\nMenuHandle = 196682\r\n");
}

TEST_F(SwitchDecisions, TypeTwoEntersAndMovesOnlyTheSplitter) {
  EXPECT_EQ(Switch(L"/fullscreentype=2"),
            (calls{L"SetProp Corvalin.MenuHandle 196682", L"SetStyle main " + Number(Fullscreen), L"SetMenu main 0",
                   Restore, Maximize, L"SetWindowPos splitter 0 30 0 0 37", RefreshFrame}));
}

TEST_F(SwitchDecisions, AnotherArgumentOnlyClearsTheBorder) {
  EXPECT_EQ(Switch(L"/fullscreentype=3"), (calls{L"SetProp Corvalin.MenuHandle 196682",
                                                 L"SetStyle main " + Number(Fullscreen), Restore, Maximize,
                                                 RefreshFrame}));
  EXPECT_EQ(HandlesIni(), "\xEF\xBB\xBF\r\n[65568]\r\nMenuHandle = 196682\r\n") << "recorded all the same";
}

TEST_F(SwitchDecisions, LeavingRestoresWhateverTheArgument) {
  for (const wchar_t* argument : {L"/fullscreentype=1", L"/fullscreentype=2", L"x"}) {
    Fake.style = Normal;
    Switch(L"/fullscreentype=2");
    ASSERT_EQ(Fake.style, Fullscreen);
    EXPECT_EQ(Switch(argument), (calls{L"SetStyle main " + Number(Normal), L"ShowWindow tool_bar 5",
                                       L"ShowWindow file_tab_bar 5", L"SetMenu main 196682",
                                       L"RemoveProp Corvalin.MenuHandle", Restore, Maximize, RefreshFrame}))
        << argument;
  }
}

TEST_F(SwitchDecisions, TheMenuComesBackFromTheFileAlone) {
  Fake.style = Fullscreen;
  WriteBytes(folder.path + L"Handles.ini", "[65568]\r\nMenuHandle = 777\r\n");
  Switch(L"/fullscreentype=1");
  EXPECT_EQ(Fake.calls[3], L"SetMenu main 777");
}

TEST_F(SwitchDecisions, TheWindowPropertyKeepsTheMenuWhenTheFileIsLost) {
  Switch(L"/fullscreentype=1");
  DeleteFileW((folder.path + L"Handles.ini").c_str());
  EXPECT_EQ(Switch(L"/fullscreentype=1")[3], L"SetMenu main 196682");
  EXPECT_FALSE(Exists(folder.path + L"Handles.ini")) << "leaving never creates the file";
  EXPECT_EQ(Fake.property, nullptr);
}

TEST_F(SwitchDecisions, ThePropertyWinsOverAStaleFile) {
  Switch(L"/fullscreentype=1");
  WriteBytes(folder.path + L"Handles.ini", "[65568]\r\nMenuHandle = 12\r\n");
  EXPECT_EQ(Switch(L"/fullscreentype=1")[3], L"SetMenu main 196682");
}

TEST_F(SwitchDecisions, WithNeitherFileNorPropertyTheMenuStaysAway) {
  Fake.style = Fullscreen;
  EXPECT_EQ(Switch(L"/fullscreentype=1")[3], L"SetMenu main 0");
  Fake.style = Fullscreen;
  WriteBytes(folder.path + L"Handles.ini", "[1]\r\nMenuHandle = 12\r\n");
  EXPECT_EQ(Switch(L"/fullscreentype=1")[3], L"SetMenu main 0") << "another window's group";
}

TEST_F(SwitchDecisions, AWindowWithoutMenuRecordsZeroAndSetsNoProperty) {
  Fake.menu = nullptr;
  calls made = Switch(L"/fullscreentype=2");
  EXPECT_EQ(made[0], L"SetStyle main " + Number(Fullscreen));
  EXPECT_EQ(HandlesIni(), "\xEF\xBB\xBF\r\n[65568]\r\nMenuHandle = 0\r\n");
}

TEST_F(SwitchDecisions, OnlyTheBorderBitChanges) {
  Fake.style = WS_POPUP | WS_VISIBLE | WS_BORDER | WS_CLIPCHILDREN;
  Switch(L"/fullscreentype=1");
  EXPECT_EQ(Fake.style, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
  Switch(L"/fullscreentype=1");
  EXPECT_EQ(Fake.style, WS_POPUP | WS_VISIBLE | WS_BORDER | WS_CLIPCHILDREN);
}

TEST_F(SwitchDecisions, TheTabControlStaysOnItsMonitor) {
  Fake.monitor = {1920, -200};
  Fake.main_rect = {1912, -208, 3208, 592};
  Fake.tab_rect = {2020, 400, 2820, 530};
  EXPECT_EQ(Switch(L"/fullscreentype=1")[7], L"SetWindowPos splitter 0 -25 1296 785 36");
  EXPECT_EQ(Fake.calls[8], L"SetWindowPos tab_control 100 650 0 0 37");
}

TEST(TabControlPosition, IsTheScreenPositionOnThePrimaryMonitor) {
  POINT p = TabControlPosition({100, 600, 900, 730}, {0, 0});
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, 650);
  p = TabControlPosition({-1180, 620, -380, 750}, {-1280, 0});
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, 670);
}

TEST(HandleGroupName, IsSignedDecimal) {
  EXPECT_EQ(HandleGroupName(reinterpret_cast<HWND>(0x10020)), L"65568");
  EXPECT_EQ(HandleGroupName(reinterpret_cast<HWND>(static_cast<intptr_t>(-5))), L"-5");
  EXPECT_EQ(HandleGroupName(nullptr), L"0");
}
