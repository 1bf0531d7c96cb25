#include "ide_fixture.h"

namespace {

RECT WindowRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

POINT ClientOrigin(HWND window) {
  POINT p{0, 0};
  ClientToScreen(window, &p);
  return p;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

std::string Decimal(const void* handle) { return std::to_string(reinterpret_cast<intptr_t>(handle)); }

std::string RecordFor(HWND window, HMENU menu) {
  std::string record = "[";  // appended piece by piece: GCC 12 warns falsely on "[" + string
  record.append(Decimal(window)).append("]\r\nMenuHandle = ").append(Decimal(menu)).append("\r\n");
  return record;
}

// The normal layout, as after leaving: under Wine the menu cannot come back
// from another process, on Windows it does.
void ExpectNormalLayout(const ide_state& s, const ide_window_set& w) {
  EXPECT_NE(s.style & WS_BORDER, 0);
  EXPECT_NE(s.style & WS_DLGFRAME, 0);
  EXPECT_TRUE(s.tool_bar_visible);
  EXPECT_TRUE(s.file_tab_bar_visible);
  EXPECT_TRUE(s.maximized);
  EXPECT_EQ(s.menu_property, nullptr) << "the kept handle is removed after the restore";
  EXPECT_EQ(s.menu, RunningUnderWine() ? nullptr : w.menu);
}

}  // namespace

using Switch = WithStandinIde;

TEST_F(Switch, TypeOneCycle) {
  const ide_window_set& w = StartIde();
  const ide_state before = State();
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  const ide_state in = State();
  EXPECT_EQ(in.style, before.style & ~WS_BORDER) << "only the border bit changes";
  EXPECT_EQ(in.menu, nullptr);
  EXPECT_EQ(in.menu_property, w.menu);
  EXPECT_FALSE(in.tool_bar_visible);
  EXPECT_FALSE(in.file_tab_bar_visible);
  EXPECT_TRUE(in.maximized);
  const RECT window = WindowRect(w.main_window);
  EXPECT_EQ(in.splitter.left, 0);
  EXPECT_EQ(in.splitter.top, -25);
  EXPECT_EQ(Width(in.splitter), Width(window));
  EXPECT_EQ(Height(in.splitter), Height(window) - 15);
  // The tab control's screen position at the move, taken as splitter coordinates, 50 lower.
  const POINT splitter_origin = ClientOrigin(w.splitter);
  EXPECT_EQ(in.tab_control.left, before.tab_control.left + splitter_origin.x);
  EXPECT_EQ(in.tab_control.top, before.tab_control.top + splitter_origin.y + 50);
  EXPECT_EQ(Width(in.tab_control), Width(before.tab_control));
  EXPECT_EQ(HandlesIni(), "\xEF\xBB\xBF\r\n" + RecordFor(w.main_window, w.menu)) << "a fresh Handles.ini";

  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  const ide_state out = State();
  ExpectNormalLayout(out, w);
  EXPECT_EQ(out.style, before.style);
  EXPECT_EQ(out.splitter.top, in.splitter.top) << "leaving does not move the splitter back";
  EXPECT_EQ(HandlesIni(), "\xEF\xBB\xBF\r\n" + RecordFor(w.main_window, w.menu)) << "leaving writes nothing";
}

TEST_F(Switch, TypeTwoCycle) {
  const ide_window_set& w = StartIde();
  const ide_state before = State();
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=2")));
  const ide_state in = State();
  EXPECT_EQ(in.style & WS_BORDER, 0);
  EXPECT_EQ(in.menu, nullptr);
  EXPECT_TRUE(in.tool_bar_visible);
  EXPECT_TRUE(in.file_tab_bar_visible);
  EXPECT_TRUE(in.maximized);
  EXPECT_EQ(in.splitter.left, 0);
  EXPECT_EQ(in.splitter.top, 30);
  EXPECT_EQ(Width(in.splitter), Width(before.splitter));
  EXPECT_EQ(Height(in.splitter), Height(before.splitter));
  EXPECT_EQ(in.tab_control.top, before.tab_control.top) << "type 2 leaves the tab control";
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=2")));
  ExpectNormalLayout(State(), w);
}

TEST_F(Switch, TypeTwoInTypeOneOut) {
  const ide_window_set& w = StartIde();
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=2")));
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  ExpectNormalLayout(State(), w);
}

TEST_F(Switch, AnotherArgumentClearsOnlyTheBorderAndComesBack) {
  const ide_window_set& w = StartIde();
  const ide_state before = State();
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=3")));
  const ide_state in = State();
  EXPECT_EQ(in.style, before.style & ~WS_BORDER);
  EXPECT_EQ(in.menu, w.menu) << "the menu stays";
  EXPECT_TRUE(in.tool_bar_visible && in.file_tab_bar_visible);
  EXPECT_EQ(in.splitter.top, before.splitter.top);
  EXPECT_EQ(in.tab_control.top, before.tab_control.top);
  EXPECT_EQ(HandlesIni(), "\xEF\xBB\xBF\r\n" + RecordFor(w.main_window, w.menu));
  ASSERT_TRUE(Quietly(RunTool(L"something")));
  const ide_state out = State();
  EXPECT_EQ(out.style, before.style);
  EXPECT_EQ(out.menu, w.menu) << "it never left the window";
}

TEST_F(Switch, LetterCaseAndQuotesDoNotMatter) {
  StartIde();
  ASSERT_TRUE(Quietly(RunTool(L"/FULLSCREENTYPE=2")));
  EXPECT_EQ(State().splitter.top, 30);
  ASSERT_TRUE(Quietly(RunTool(L"\"/FullScreenType=1\"")));
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=\"1\" /fullscreentype=2")));
  EXPECT_EQ(State().splitter.top, -25) << "the first argument chose type 1";
  EXPECT_FALSE(State().tool_bar_visible);
}

TEST_F(Switch, AWindowThatWasNotMaximizedEndsMaximized) {
  ide_options options;
  options.maximized = false;
  const ide_window_set& w = StartIde(options);
  ASSERT_FALSE(State().maximized);
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  EXPECT_TRUE(State().maximized);
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  ExpectNormalLayout(State(), w);
}

namespace {
void Hide(void* window) { ShowWindow(static_cast<HWND>(window), SW_HIDE); }
void Show(void* window) { ShowWindow(static_cast<HWND>(window), SW_SHOWMAXIMIZED); }
}  // namespace

TEST_F(Switch, TwoWindowsKeepTwoGroups) {
  standin_ide* second = StartStandinIde({});
  const ide_window_set& a = StartIde();
  const ide_window_set& b = WindowsOf(second);
  // The tool takes the first visible IDE window: hide the other one for each run.
  RunOnIdeThread(second, Hide, b.main_window);
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  RunOnIdeThread(second, Show, b.main_window);
  RunOnIdeThread(ide, Hide, a.main_window);
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=2")));
  EXPECT_EQ(HandlesIni(), "\xEF\xBB\xBF\r\n" + RecordFor(a.main_window, a.menu) + "\r\n" +
                              RecordFor(b.main_window, b.menu));
  EXPECT_EQ(ReadIdeState(a).menu_property, a.menu);
  EXPECT_EQ(ReadIdeState(b).menu_property, b.menu);
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=2")));
  ExpectNormalLayout(ReadIdeState(b), b);
  RunOnIdeThread(second, Hide, b.main_window);
  RunOnIdeThread(ide, Show, a.main_window);
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  ExpectNormalLayout(ReadIdeState(a), a);
  StopStandinIde(second);
}

TEST_F(Switch, LeavingAfterHandlesIniWasDeleted) {
  const ide_window_set& w = StartIde();
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  ASSERT_TRUE(DeleteFileW((folder.path + L"Handles.ini").c_str()));
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  ExpectNormalLayout(State(), w);
  EXPECT_FALSE(Exists(folder.path + L"Handles.ini"));
}

TEST_F(Switch, AHandlesIniThatCannotBeWritten) {
  const ide_window_set& w = StartIde();
  const std::string stale = "\xEF\xBB\xBF\r\n[1]\r\nMenuHandle = 2\r\n";
  WriteBytes(folder.path + L"Handles.ini", stale);
  // Held open for reading without sharing writes: the tool can read it, not write it.
  HANDLE held = CreateFileW((folder.path + L"Handles.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  EXPECT_EQ(HandlesIni(), stale);
  EXPECT_EQ(State().menu_property, w.menu) << "the handle is kept on the window instead";
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  ExpectNormalLayout(State(), w);
  CloseHandle(held);
}
