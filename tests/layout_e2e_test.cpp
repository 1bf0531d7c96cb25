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

// Where the first line of the editor is, from the top of the screen.
int FirstLineFromTop(const ide_window_set& w) { return SeenPart(w.editor).top; }

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

}  // namespace

// The tool started as the IDE starts it, in the active source's folder.
class Layouts : public WithStandinIde {
 protected:
  scratch_folder source;
  tool_setting setting;
  process_run Press(const wchar_t* type) {
    last_run_trace = RelayTraceMark();
    return LaunchTool(ide, tool, type, setting, {.folder = source.path});
  }
};

// Each configuration in type 1 and type 2 in, and out with the other type, on
// a fresh IDE whose queued size event waits: first what the tool's moves give,
// then, after the IDE's own layout, what leaving gives.
TEST_F(Layouts, EachConfigurationInAndOut) {
  const panel_side sides[] = {panel_side::right, panel_side::left, panel_side::none};
  const int tab_bar = Scaled(25);
  RecordProperty("file_tab_bar", tab_bar);
  for (int i = 0; i < 12; ++i) {  // each side of the panel, with and without the tool bar, type 1 and type 2
    const panel_side panel = sides[i / 4];
    const bool shows_tool_bar = i / 2 % 2 == 0, one = i % 2 == 0;
    SCOPED_TRACE(::testing::Message() << "panel " << (i < 4 ? "right" : i < 8 ? "left" : "none") << ", tool bar "
                                      << shows_tool_bar << ", type " << (one ? 1 : 2));
    const ide_window_set& w = RestartIde({.panel = panel, .show_tool_bar = shows_tool_bar,
                                         .size_event = queued_size_event::held});
    DeleteFileW((folder.path + L"Handles.ini").c_str());
    const ide_state before = State();
    const int tool_bar = shows_tool_bar ? Height(before.layout.tool_bar) : 0;
    const bool side = panel != panel_side::none;
    ASSERT_EQ(Seen(w.tool_bar), shows_tool_bar);
    ASSERT_EQ(TabHeadersSeen(w), side);
    ASSERT_TRUE(Quietly(Press(L""))) << "no argument: the windows found, nothing changed";
    EXPECT_TRUE(State().style == before.style && State().menu == w.menu);
    EXPECT_TRUE(SameLayout(before.layout, State().layout, side));
    EXPECT_FALSE(Exists(folder.path + L"Handles.ini"));
    ASSERT_TRUE(Quietly(Press(one ? TypeOne : TypeTwo)));
    const ide_state in = State();
    EXPECT_EQ(in.style, before.style & ~WS_BORDER) << "only the border bit changes";
    EXPECT_EQ(in.menu, nullptr);
    EXPECT_EQ(in.menu_property, w.menu);
    EXPECT_EQ(Seen(w.tool_bar), !one && shows_tool_bar);
    EXPECT_EQ(Seen(w.file_tab_bar), !one);
    EXPECT_EQ(TabHeadersSeen(w), side);
    if (one && side) {
      // Under Wine above 100 %, the file tab bar's place shows above the editor.
      EXPECT_EQ(FirstLineFromTop(w), tab_bar - ToolPixels(25)) << "the editor's first line at the top of the screen";
      EXPECT_EQ(in.layout.splitter.top, -ToolPixels(25));
      const RECT seen = SeenPart(w.splitter), splitter = in.layout.splitter;
      if (ToolPixels(96) == Scaled(96)) {  // Wine above 100 % narrows it by its scaling
        EXPECT_LT(seen.right - seen.left, splitter.right - splitter.left) << "as wide as the window with its frame";
      }
    } else if (side) {
      EXPECT_EQ(in.layout.splitter.top, ToolPixels(30));
      EXPECT_EQ(FirstLineFromTop(w), ToolPixels(30) + tab_bar) << "the file tab bar right above the editor";
    } else {
      // Splitter 5 is hidden: the tool's move shows nowhere. The IDE's layout
      // of the borderless window stays, with strips where hidden bars are.
      EXPECT_FALSE(Seen(w.splitter));
      EXPECT_EQ(in.layout.log_splitter.top, tool_bar);
      EXPECT_EQ(FirstLineFromTop(w), tool_bar + tab_bar);
    }
    const std::string recorded = HandlesIni();
    IdeDoes(ide, ide_event::queued_size_event);
    ASSERT_TRUE(Quietly(Press(one ? TypeTwo : TypeOne)));
    IdeDoes(ide, ide_event::queued_size_event);
    const ide_state out = State();
    EXPECT_EQ(out.style, before.style);
    EXPECT_TRUE(BackToNormal(w));
    EXPECT_TRUE(SameLayout(before.layout, out.layout, side)) << Narrow(DescribeIdeState(out));
    EXPECT_TRUE(Seen(w.file_tab_bar));
    EXPECT_EQ(HandlesIni(), recorded) << "leaving writes nothing";
    EXPECT_FALSE(Exists(source.path + L"Handles.ini")) << "kept in the tool's folder";
    // The tool shows the tool bar, which the IDE's setting hid, over the file tab bar.
    RECT overlap{};
    EXPECT_TRUE(Seen(w.tool_bar));
    EXPECT_EQ(IntersectRect(&overlap, &out.layout.tool_bar, &out.layout.file_tab_bar), !shows_tool_bar);
  }
}

// Between two presses the IDE changes a source tab, takes its queued size
// event, hides and shows its error log, builds its menu again (the recorded
// one destroyed): the presses go on, with the IDE's newest menu.
TEST_F(Layouts, TheIdeLaysItselfOutAndRebuildsItsMenuInFullscreen) {
  const ide_window_set& w = StartIde({.size_event = queued_size_event::held});
  const ide_state before = State();
  const int tool_bar = Height(before.layout.tool_bar), tab_bar = Scaled(25);
  const HMENU first = w.menu;
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  IdeDoes(ide, ide_event::source_tab_changed);
  EXPECT_EQ(FirstLineFromTop(w), 0) << "a source tab changed lays out the container only";
  IdeDoes(ide, ide_event::queued_size_event);
  // The IDE's layout: strips where the hidden tool bar and file tab bar are.
  EXPECT_EQ(State().layout.splitter.top, tool_bar);
  EXPECT_EQ(FirstLineFromTop(w), tool_bar + tab_bar);
  EXPECT_FALSE(Seen(w.tool_bar) || Seen(w.file_tab_bar));
  EXPECT_TRUE(TabHeadersSeen(w));
  IdeDoes(ide, ide_event::error_log_toggled);
  EXPECT_FALSE(Seen(w.error_log));
  EXPECT_EQ(FirstLineFromTop(w), tool_bar + tab_bar);
  IdeDoes(ide, ide_event::error_log_toggled);
  IdeDoes(ide, ide_event::menu_rebuilt);
  const HMENU rebuilt = w.menu;
  EXPECT_FALSE(IsMenu(first));
  EXPECT_EQ(State().menu, rebuilt) << "the menu bar is back in the fullscreen layout";
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  IdeDoes(ide, ide_event::queued_size_event);
  EXPECT_EQ(State().menu, rebuilt);
  for (const set_menu_call& call : SetMenuCallsSince(last_run_trace)) EXPECT_NE(call.menu, first);
  EXPECT_TRUE(SameLayout(before.layout, State().layout, true));
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  EXPECT_EQ(FirstLineFromTop(w), 0) << "the next press puts the editor at the top again";
  EXPECT_NE(HandlesIni().find("MenuHandle = " + std::to_string(reinterpret_cast<intptr_t>(rebuilt)) + "\r\n"),
            std::string::npos);
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  EXPECT_TRUE(HandedBackMenu(w)) << "the new menu";
}

// "Wait until tool quits": the window disabled, the IDE handling its messages
// every 10 ms while the tool runs (its queued size event held: taken at once,
// it comes after the tool's moves in about one run of six). With "hide editor"
// too, the window is hidden: the tool finds none and says so; the window comes
// back as it was.
TEST_F(Layouts, ToolsTheIdeWaitsFor) {
  const ide_window_set& w = StartIde({.size_event = queued_size_event::held, .maximized = false});
  const LONG_PTR style = State().style | WS_MAXIMIZE;
  setting.wait_until_tool_quits = true;
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  EXPECT_TRUE(IsWindowEnabled(w.main_window));
  EXPECT_TRUE(State().maximized) << "also a window that was not maximized";
  EXPECT_EQ(FirstLineFromTop(w), 0);
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  const ide_state normal = State();
  EXPECT_EQ(normal.style, style);
  EXPECT_TRUE(normal.maximized && Seen(w.tool_bar) && Seen(w.file_tab_bar));
  EXPECT_TRUE(HandedBackMenu(w));
  setting.hide_editor = true;
  const std::string recorded = HandlesIni();
  EXPECT_TRUE(EndedWithBox(Press(TypeOne), L"Error", L"The PureBasic or SpiderBasic window could not be determined."));
  EXPECT_TRUE(IsWindowVisible(w.main_window));
  EXPECT_EQ(State().style, style);
  EXPECT_TRUE(State().maximized);
  EXPECT_TRUE(SameLayout(normal.layout, State().layout, true));
  EXPECT_EQ(HandlesIni(), recorded);
}

// Type 1 in and out with the IDE on each monitor in turn (scripts/two-monitors.sh
// makes two): the layout does not depend on where the window is. The editor's
// first line at the monitor's top, the tools panel's first tab header at the
// same place from the monitor's top right corner.
TEST_F(Layouts, OnEachMonitor) {
  std::vector<RECT> monitors;
  EnumDisplayMonitors(nullptr, nullptr, [](HMONITOR, HDC, RECT* monitor, LPARAM list) {
    reinterpret_cast<std::vector<RECT>*>(list)->push_back(*monitor);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&monitors));
  if (monitors.size() < 2) GTEST_SKIP() << "one monitor";
  std::vector<POINT> places;
  for (const RECT& m : monitors) {
    const ide_window_set& w = RestartIde(
        {.size_event = queued_size_event::held, .normal_bounds = {m.left + 60, m.top + 40, m.left + 660, m.top + 440}});
    ASSERT_TRUE(Quietly(Press(TypeOne)));
    RECT editor{};
    GetWindowRect(w.editor, &editor);
    EXPECT_EQ(editor.top, m.top);
    const RECT header = FirstTabHeader(w.tab_control);
    places.push_back({header.right - m.right, header.top - m.top});
    EXPECT_TRUE(places.back().x == places[0].x && places.back().y == places[0].y);
    ASSERT_TRUE(Quietly(Press(TypeOne)));
    EXPECT_TRUE(NormalLayout(State()));
  }
}
