// What a user sees of the IDE's window in each of its configurations after the
// switch, and what the IDE's own doings between two presses give: its queued
// layout, a rebuilt menu, a tool started waiting or hiding the editor.
#include "ide_fixture.h"

namespace {

int Height(const RECT& r) { return r.bottom - r.top; }

bool Seen(HWND control) {
  const RECT seen = SeenPart(control);
  return !IsRectEmpty(&seen);
}

int MonitorTop(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
  return info.rcMonitor.top;
}

// Where the first line of the editor is, from the top of the screen.
int FirstLineFromTop(const ide_window_set& w) { return SeenPart(w.editor).top - MonitorTop(w.main_window); }

bool TabHeadersSeen(const ide_window_set& w) {
  const RECT header = FirstTabHeader(w.tab_control), seen = SeenPart(w.tab_control);
  return Seen(w.tab_control) && header.top >= seen.top && header.bottom <= seen.bottom;
}

// The IDE's own layout of what is seen inside the window. Under Wine the menu
// does not come back, so the status bar sits lower by the menu's height; the
// rest holds. Without a panel, splitter 5 is hidden and keeps the tool's moves.
::testing::AssertionResult SameLayout(ide_layout before, ide_layout now, bool panel) {
  if (RunningUnderWine()) now.status_bar = before.status_bar;
  if (!panel) {
    now.splitter = before.splitter;
    now.tab_control = before.tab_control;
  }
  if (now == before) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the layout changed";
}

// How far a move the tool makes goes in the IDE's pixels. The tool declares no
// DPI awareness, so Windows scales its moves from 96 DPI to the IDE's scale.
// Wine 8 runs every program as DPI-aware and tells other processes that the
// IDE's windows are at 96 DPI: it scales the tool's moves the other way.
int ToolPixels(int pixels) { return RunningUnderWine() ? MulDiv(pixels, 96, Scaled(96)) : Scaled(pixels); }

constexpr const wchar_t* TypeOne = L"/fullscreentype=1";
constexpr const wchar_t* TypeTwo = L"/fullscreentype=2";

}  // namespace

class Layouts : public WithStandinIde {
 protected:
  scratch_folder source;  // the active source's folder: the tools' start folder
  process_run Press(const wchar_t* type) { return RunTool(type, source.path); }
};

// Each configuration in type 1 and type 2, in and out, on a fresh IDE whose
// queued size event waits: first what the tool's moves give, then, after the
// IDE's own layout, what leaving gives.
TEST_F(Layouts, EachConfigurationInAndOut) {
  const struct {
    const char* label;
    panel_side panel;
    bool tool_bar;
  } configurations[] = {
      {"panel right", panel_side::right, true},  {"panel left", panel_side::left, true},
      {"no panel", panel_side::none, true},      {"panel right, no tool bar", panel_side::right, false},
      {"panel left, no tool bar", panel_side::left, false}, {"no panel, no tool bar", panel_side::none, false},
  };
  const int tab_bar = Scaled(25);
  RecordProperty("file_tab_bar", tab_bar);
  for (const auto& c : configurations) {
    for (const wchar_t* type : {TypeOne, TypeTwo}) {
      SCOPED_TRACE(std::string(c.label) + ", " + Narrow(type));
      const ide_window_set& w = RestartIde({.panel = c.panel, .show_tool_bar = c.tool_bar,
                                           .size_event = queued_size_event::held});
      const ide_state before = State();
      const int tool_bar = c.tool_bar ? Height(before.layout.tool_bar) : 0;
      const bool side = c.panel != panel_side::none, one = type == TypeOne;
      ASSERT_EQ(Seen(w.tool_bar), c.tool_bar);
      ASSERT_EQ(TabHeadersSeen(w), side);
      ASSERT_TRUE(Quietly(Press(type)));
      const ide_state in = State();
      EXPECT_EQ(in.style & WS_BORDER, 0);
      EXPECT_EQ(in.menu, nullptr);
      EXPECT_EQ(Seen(w.tool_bar), !one && c.tool_bar);
      EXPECT_EQ(Seen(w.file_tab_bar), !one);
      EXPECT_EQ(TabHeadersSeen(w), side);
      if (one && side) {
        // Under Wine above 100 %, the file tab bar's place shows above the editor.
        EXPECT_EQ(FirstLineFromTop(w), tab_bar - ToolPixels(25)) << "the editor's first line at the top of the screen";
        EXPECT_EQ(in.splitter.top, -ToolPixels(25));
      } else if (side) {
        EXPECT_EQ(in.splitter.top, ToolPixels(30));
        EXPECT_EQ(FirstLineFromTop(w), ToolPixels(30) + tab_bar) << "the file tab bar right above the editor";
      } else {
        // Splitter 5 is hidden: the tool's move shows nowhere. The IDE's layout
        // of the borderless window stays, with strips where hidden bars are.
        EXPECT_FALSE(Seen(w.splitter));
        EXPECT_EQ(in.layout.log_splitter.top, tool_bar);
        EXPECT_EQ(FirstLineFromTop(w), tool_bar + tab_bar);
      }
      IdeDoes(ide, ide_event::queued_size_event);
      ASSERT_TRUE(Quietly(Press(type)));
      IdeDoes(ide, ide_event::queued_size_event);
      const ide_state out = State();
      EXPECT_NE(out.style & WS_BORDER, 0);
      EXPECT_TRUE(out.maximized);
      EXPECT_TRUE(HandedBackMenu(w));
      EXPECT_TRUE(SameLayout(before.layout, out.layout, side)) << Narrow(DescribeIdeState(before)) << "\n"
                                                          << Narrow(DescribeIdeState(out));
      EXPECT_TRUE(Seen(w.file_tab_bar));
      // The tool shows the tool bar, which the IDE's setting hid, over the file tab bar.
      EXPECT_TRUE(Seen(w.tool_bar));
      if (!c.tool_bar) {
        RECT overlap{};
        EXPECT_TRUE(IntersectRect(&overlap, &out.layout.tool_bar, &out.layout.file_tab_bar));
      }
    }
  }
}

// The IDE's queued size event, the error log shown or hidden, a source tab
// changed: the IDE lays itself out in the fullscreen layout. Presses go on.
TEST_F(Layouts, TheIdeLaysItselfOutAgainInFullscreen) {
  const ide_window_set& w = StartIde({.size_event = queued_size_event::held});
  const ide_state before = State();
  const int tool_bar = Height(before.layout.tool_bar), tab_bar = Scaled(25);
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  IdeDoes(ide, ide_event::source_tab_changed);
  EXPECT_EQ(FirstLineFromTop(w), 0) << "a source tab changed lays out the container only";
  IdeDoes(ide, ide_event::queued_size_event);
  // The IDE's layout: strips where the hidden tool bar and file tab bar are.
  EXPECT_EQ(State().splitter.top, tool_bar);
  EXPECT_EQ(FirstLineFromTop(w), tool_bar + tab_bar);
  EXPECT_FALSE(Seen(w.tool_bar) || Seen(w.file_tab_bar));
  EXPECT_TRUE(TabHeadersSeen(w));
  IdeDoes(ide, ide_event::error_log_toggled);
  EXPECT_FALSE(Seen(w.error_log));
  EXPECT_EQ(FirstLineFromTop(w), tool_bar + tab_bar);
  IdeDoes(ide, ide_event::error_log_toggled);
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  IdeDoes(ide, ide_event::queued_size_event);
  EXPECT_TRUE(SameLayout(before.layout, State().layout, true));
  EXPECT_TRUE(HandedBackMenu(w));
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  EXPECT_EQ(FirstLineFromTop(w), 0) << "the next press puts the editor at the top again";
}

// The IDE builds its menu again while in the fullscreen layout: the recorded
// menu is destroyed, the new one attached.
TEST_F(Layouts, AMenuRebuiltInFullscreen) {
  const ide_window_set& w = StartIde({.size_event = queued_size_event::held});
  const ide_state before = State();
  const HMENU first = w.menu;
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  IdeDoes(ide, ide_event::menu_rebuilt);
  const HMENU rebuilt = w.menu;
  EXPECT_FALSE(IsMenu(first));
  EXPECT_EQ(State().menu, rebuilt) << "the menu bar is back in the fullscreen layout";
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  IdeDoes(ide, ide_event::queued_size_event);
  EXPECT_EQ(State().menu, rebuilt);
  EXPECT_TRUE(SameLayout(before.layout, State().layout, true));
  for (const set_menu_call& call : SetMenuCallsSince(last_run_trace)) EXPECT_NE(call.menu, first);
  // The next cycle records and hands back the new menu.
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  EXPECT_NE(HandlesIni().find("MenuHandle = " + std::to_string(reinterpret_cast<intptr_t>(rebuilt)) + "\r\n"),
            std::string::npos);
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  EXPECT_TRUE(HandedBackMenu(w));
}

// With "wait until tool quits" the window is disabled and the IDE handles its
// messages every 10 ms while the tool runs.
TEST_F(Layouts, AToolTheIdeWaitsFor) {
  const ide_window_set& w = StartIde();
  const ide_state before = State();
  setting.wait_until_tool_quits = true;
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  EXPECT_TRUE(IsWindowEnabled(w.main_window));
  EXPECT_EQ(FirstLineFromTop(w), 0);
  EXPECT_FALSE(Seen(w.file_tab_bar));
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  EXPECT_TRUE(SameLayout(before.layout, State().layout, true));
  EXPECT_TRUE(HandedBackMenu(w));
}

// With "hide editor" the IDE hides its window while the tool runs: the tool
// finds none, says so, and the window comes back as it was.
TEST_F(Layouts, AToolThatHidesTheEditorFindsNoWindow) {
  const ide_window_set& w = StartIde();
  const ide_state before = State();
  setting = {.wait_until_tool_quits = true, .hide_editor = true};
  EXPECT_TRUE(EndedWithBox(Press(TypeOne), L"Error", L"The PureBasic or SpiderBasic window could not be determined."));
  const ide_state after = State();
  EXPECT_TRUE(IsWindowVisible(w.main_window));
  EXPECT_TRUE(after.maximized);
  EXPECT_EQ(after.style, before.style);
  EXPECT_TRUE(SameLayout(before.layout, after.layout, true));
  EXPECT_FALSE(Exists(folder.path + L"Handles.ini"));
}
