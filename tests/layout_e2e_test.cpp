// What a user sees of the IDE's window in the fullscreen layouts, in each of the
// IDE's configurations and through every way it lays itself out again; and the
// IDE's normal layout back after leaving.
#include <algorithm>
#include <sstream>
#include <vector>

#include "ide_fixture.h"

namespace {

const wchar_t* const SideNames[] = {L"right", L"left", L"none", L"auto-hidden"};

RECT ScreenRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

RECT MonitorOf(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
  return info.rcMonitor;
}

RECT ClientOnScreen(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string Describe(const remembered_window& r) {
  return (std::ostringstream() << "(" << r.x << ", " << r.y << ") " << r.width << "x" << r.height).str();
}

std::vector<RECT> Monitors() {
  std::vector<RECT> monitors;
  EnumDisplayMonitors(nullptr, nullptr, [](HMONITOR, HDC, RECT* monitor, LPARAM list) {
    reinterpret_cast<std::vector<RECT>*>(list)->push_back(*monitor);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

// Nothing of the window's monitor, where the window covers it, is cut out by the
// window's region, and, with `nowhere_else`, nothing of the window shows on
// another monitor.
::testing::AssertionResult WholeOnItsMonitor(HWND window, bool nowhere_else) {
  const RECT on = ScreenRect(window), own = MonitorOf(window);
  HRGN shown = CreateRectRgnIndirect(&on), part = CreateRectRgn(0, 0, 0, 0);
  if (GetWindowRgn(window, part) != ERROR) {
    OffsetRgn(part, on.left, on.top);
    CombineRgn(shown, shown, part, RGN_AND);
  }
  std::string fault;
  for (const RECT& monitor : Monitors()) {
    const bool is_own = EqualRect(&monitor, &own);
    RECT under{}, box{};  // the part of the monitor under the window
    if ((!is_own && !nowhere_else) || !IntersectRect(&under, &monitor, &on)) continue;
    SetRectRgn(part, under.left, under.top, under.right, under.bottom);
    CombineRgn(part, part, shown, is_own ? RGN_DIFF : RGN_AND);
    if (GetRgnBox(part, &box) == NULLREGION) continue;
    fault = (is_own ? "cut out of its monitor: " : "shown on another monitor: ") + Narrow(Describe(box));
  }
  DeleteObject(part);
  DeleteObject(shown);
  if (fault.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << fault;
}

int MenuBarHeight(HWND window) {
  MENUBARINFO bar{};
  bar.cbSize = sizeof bar;
  return GetMenu(window) && GetMenuBarInfo(window, OBJID_MENU, 0, &bar) ? bar.rcBar.bottom - bar.rcBar.top : 0;
}

int BarHeight(const ide_window_set& w) { return ScreenRect(w.file_tab_bar).bottom - ScreenRect(w.file_tab_bar).top; }

bool Seen(HWND control) {
  const RECT seen = SeenPart(control);
  return !IsRectEmpty(&seen);
}

// The pieces of `area`, above the status bar, that no visible control of the
// main window covers: bare window.
std::vector<RECT> BarePieces(const ide_window_set& w, RECT area) {
  area.bottom = SeenPart(w.status_bar).top;
  HRGN bare = CreateRectRgnIndirect(&area);
  for (HWND child = GetWindow(w.main_window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const RECT seen = SeenPart(child);
    HRGN covered = CreateRectRgnIndirect(&seen);
    CombineRgn(bare, bare, covered, RGN_DIFF);
    DeleteObject(covered);
  }
  std::vector<char> data(GetRegionData(bare, 0, nullptr));
  auto* region = reinterpret_cast<RGNDATA*>(data.data());
  GetRegionData(bare, static_cast<DWORD>(data.size()), region);
  DeleteObject(bare);
  const RECT* pieces = reinterpret_cast<const RECT*>(region->Buffer);
  return std::vector<RECT>(pieces, pieces + region->rdh.nCount);
}

// The widest bare piece of the IDE's own layout in its client area: a narrow
// column beside the strip of a collapsed tools panel, or none.
int WidestBarePiece(const ide_window_set& w) {
  int widest = 0;
  for (const RECT& piece : BarePieces(w, ClientOnScreen(w.main_window))) {
    widest = std::max<int>(widest, piece.right - piece.left);
  }
  return widest;
}

// No strip of bare window in the client area on the monitor, above the status
// bar, but the room the IDE leaves there for the menu it measured at start,
// when none is attached.
::testing::AssertionResult NoStrip(const ide_window_set& w, int ide_own_widest) {
  const int menu_room = GetMenu(w.main_window) ? 0 : MeasuredMenuHeight();
  const int status_top = SeenPart(w.status_bar).top;
  RECT area{};
  const RECT monitor = MonitorOf(w.main_window), client = ClientOnScreen(w.main_window);
  IntersectRect(&area, &monitor, &client);
  for (const RECT& piece : BarePieces(w, area)) {
    if (piece.right - piece.left <= ide_own_widest || piece.top >= status_top - menu_room) continue;
    return ::testing::AssertionFailure() << "bare window at " << Describe(piece);
  }
  return ::testing::AssertionSuccess();
}

// What a press fixed on entering, against which every later layout is checked.
struct entered {
  bool type_1, shows_tool_bar;
  int ide_own_widest;         // the widest bare piece of the IDE's normal layout
  int bar = 0;                // the file tab bar's height on entering
  bool panel_lowered = true;  // no layout of splitter 5 since
};

::testing::AssertionResult Failure(const char* what, const RECT& seen) {
  return ::testing::AssertionFailure() << what << ": " << Describe(seen);
}

// Type 1: the editor's first line at the monitor's top, nothing of the tool bar
// or the file tab bar on it, the content as wide as the monitor, the status bar
// at its bottom, all of the monitor shown and nothing on another, no strip, the
// tools panel lowered so that all of it is on the monitor. The window's place
// is fixed on entering: a menu the IDE attaches later, and a file tab bar that
// grew or shrank since, move the editor by as much; a splitter the IDE lays out
// again puts its tools panel back at its top, the file tab bar's height above
// the monitor.
::testing::AssertionResult TypeOneSeen(const ide_window_set& w, const entered& e) {
  const RECT m = MonitorOf(w.main_window), client = ClientOnScreen(w.main_window);
  const int moved = MenuBarHeight(w.main_window) + BarHeight(w) - e.bar;
  if (ScreenRect(w.editor).top != m.top + moved) return Failure("the editor", ScreenRect(w.editor));
  if (Seen(w.tool_bar)) return Failure("the tool bar is seen", SeenPart(w.tool_bar));
  if (Seen(w.file_tab_bar)) return Failure("the file tab bar is seen", SeenPart(w.file_tab_bar));
  if (client.left != m.left || client.right != m.right || client.bottom != m.bottom) {
    return Failure("the client area", client);
  }
  if (ScreenRect(w.status_bar).bottom != m.bottom) return Failure("the status bar", ScreenRect(w.status_bar));
  if (const auto whole = WholeOnItsMonitor(w.main_window, true); !whole) return whole;
  const RECT tabs = ScreenRect(w.tab_control), seen = SeenPart(w.tab_control);
  const bool lowered = EqualRect(&tabs, &seen), ide_own = tabs.top == ScreenRect(w.splitter).top;
  if (IsWindowVisible(w.tab_control) && !(e.panel_lowered ? lowered : ide_own)) return Failure("the tools panel", tabs);
  return NoStrip(w, e.ide_own_widest);
}

// Type 2: the tool bar at the monitor's top (below a menu the IDE attached
// since), the file tab bar and the editor right below it, no strip.
::testing::AssertionResult TypeTwoSeen(const ide_window_set& w, const entered& e) {
  const RECT m = MonitorOf(w.main_window);
  const int top = m.top + MenuBarHeight(w.main_window);
  if (e.shows_tool_bar && SeenPart(w.tool_bar).top != top) return Failure("the tool bar", SeenPart(w.tool_bar));
  const int below = e.shows_tool_bar ? SeenPart(w.tool_bar).bottom : top;
  if (SeenPart(w.file_tab_bar).top != below) return Failure("the file tab bar", SeenPart(w.file_tab_bar));
  if (ScreenRect(w.editor).top != SeenPart(w.file_tab_bar).bottom) return Failure("the editor", ScreenRect(w.editor));
  if (ScreenRect(w.status_bar).bottom != m.bottom) return Failure("the status bar", ScreenRect(w.status_bar));
  return NoStrip(w, e.ide_own_widest);
}

::testing::AssertionResult FullscreenSeen(const ide_window_set& w, const entered& e) {
  return e.type_1 ? TypeOneSeen(w, e) : TypeTwoSeen(w, e);
}

// Every way the IDE lays itself out again, each toggle twice so that the IDE
// ends as it began; last those that lay out splitter 5 itself.
const struct {
  ide_event event;
  const char* name;
  bool lays_out_splitter;
} Relayouts[] = {
    {ide_event::queued_size_event, "queued size event", false},
    {ide_event::source_tab_changed, "source tab changed", false},
    {ide_event::new_file, "new file", false},
    {ide_event::row_count_changed, "row count changed", false},
    {ide_event::row_count_changed, "row count back", false},
    {ide_event::error_log_toggled, "error log hidden", true},
    {ide_event::error_log_toggled, "error log shown", true},
    {ide_event::preferences_applied, "preferences applied (the menu attached)", true},
};

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

// Each configuration, type 1 and type 2: entering, then each of the IDE's
// relayouts, then the window manager fitting the window again (after a
// minimize and restore, or after the IDE hid it for a tool: the window is then
// whole on its monitor), then leaving, on a fresh IDE each time. What the IDE
// remembers of its window for its next start stays as it was.
TEST_F(Layouts, LastThroughEveryRelayoutOfEachConfiguration) {
  RecordProperty("file_tab_bar", Scaled(25));
  for (int i = 0; i < 32; ++i) {
    const bool one = i % 2 == 0, shows_tool_bar = i / 2 % 2 == 0;
    const int rows = 1 + i / 4 % 2;
    const auto panel = static_cast<panel_side>(i / 8);
    const bool minimized = rows == 1;
    SCOPED_TRACE(::testing::Message() << "type " << (one ? 1 : 2) << ", panel " << Narrow(SideNames[i / 8])
                                      << ", tool bar " << shows_tool_bar << ", rows " << rows);
    const ide_window_set& w = RestartIde({.panel = panel, .show_tool_bar = shows_tool_bar, .file_tab_rows = rows});
    const ide_state before = State();
    const std::string remembered = Describe(RememberedWindow(ide));
    entered e{one, shows_tool_bar, WidestBarePiece(w)};
    ASSERT_EQ(Seen(w.tool_bar), shows_tool_bar);
    ASSERT_TRUE(Quietly(Press(one ? TypeOne : TypeTwo)));
    e.bar = BarHeight(w);
    EXPECT_TRUE(FullscreenLayout(State(), one));
    EXPECT_TRUE(FullscreenSeen(w, e)) << "entered";
    EXPECT_EQ(Describe(RememberedWindow(ide)), remembered) << "entered";
    for (const auto& relayout : Relayouts) {
      IdeDoes(ide, relayout.event);
      e.panel_lowered = e.panel_lowered && !relayout.lays_out_splitter;
      EXPECT_TRUE(FullscreenSeen(w, e)) << relayout.name;
    }
    IdeDoes(ide, minimized ? ide_event::minimized_and_restored : ide_event::hidden_and_shown_maximized);
    const char* refit = minimized ? "minimized and restored" : "hidden and shown maximized";
    EXPECT_TRUE(IsZoomed(w.main_window)) << refit;
    EXPECT_TRUE(WholeOnItsMonitor(w.main_window, false)) << refit;
    ASSERT_TRUE(Quietly(Press(one ? TypeTwo : TypeOne)));
    IdeDoes(ide, ide_event::settled);
    EXPECT_TRUE(BackAsBefore(before, State(), w.main_window));
    EXPECT_EQ(Describe(RememberedWindow(ide)), remembered) << "left";
  }
}

// The IDE's queued size event, posted as the switch changes the window's size,
// comes before or after the tool's calls as it happens: no press loses to it.
TEST_F(Layouts, NoPressLosesToTheQueuedSizeEvent) {
  for (const bool one : {true, false}) {
    SCOPED_TRACE(one ? "type 1" : "type 2");
    const ide_window_set& w = RestartIde();
    ASSERT_TRUE(Quietly(Press(one ? TypeOne : TypeTwo)));
    ASSERT_TRUE(Quietly(Press(one ? TypeOne : TypeTwo)));
    IdeDoes(ide, ide_event::settled);
    const ide_state normal = State();  // under Wine, without the menu it cannot attach again
    const entered e{one, true, WidestBarePiece(w), BarHeight(w)};
    for (int press = 0; press < 100; press += 2) {
      ASSERT_TRUE(Quietly(Press(one ? TypeOne : TypeTwo)));
      const ::testing::AssertionResult in = FullscreenSeen(w, e);
      ASSERT_TRUE(Quietly(Press(one ? TypeOne : TypeTwo)));
      IdeDoes(ide, ide_event::settled);
      const ::testing::AssertionResult out = BackAsBefore(normal, State(), w.main_window);
      if (!in || !out) ADD_FAILURE() << "press " << press << " lost to the size event: " << (in ? out : in).message();
    }
  }
}

// Between two presses the IDE builds its menu again, the recorded one
// destroyed: the presses go on, with the IDE's newest menu.
TEST_F(Layouts, TheIdeRebuildsItsMenuInFullscreen) {
  const ide_window_set& w = StartIde();
  const HMENU first = w.menu;
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  IdeDoes(ide, ide_event::menu_rebuilt);
  const HMENU rebuilt = w.menu;
  EXPECT_FALSE(IsMenu(first));
  EXPECT_EQ(State().menu, rebuilt) << "the menu bar is back in the fullscreen layout";
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  EXPECT_EQ(State().menu, rebuilt);
  for (const set_menu_call& call : SetMenuCallsSince(last_run_trace)) EXPECT_NE(call.menu, first);
  EXPECT_TRUE(NormalLayout(State()));
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  EXPECT_NE(HandlesIni().find(HandlesRecord(w.main_window, rebuilt)), std::string::npos);
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  EXPECT_TRUE(HandedBackMenu(w)) << "the new menu";
}

// "Wait until tool quits": the window disabled, the IDE handling its messages
// every 10 ms while the tool runs. With "hide editor" too, the window is
// hidden: the tool finds none and says so; the window comes back as it was.
TEST_F(Layouts, ToolsTheIdeWaitsFor) {
  const ide_window_set& w = StartIde({.maximized = false});
  const LONG_PTR style = State().style | WS_MAXIMIZE;
  setting.wait_until_tool_quits = true;
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  EXPECT_TRUE(IsWindowEnabled(w.main_window));
  EXPECT_TRUE(State().maximized) << "also a window that was not maximized";
  EXPECT_TRUE(TypeOneSeen(w, {true, true, 0, BarHeight(w)}));
  ASSERT_TRUE(Quietly(Press(TypeOne)));
  IdeDoes(ide, ide_event::settled);
  const ide_state normal = State();
  EXPECT_EQ(normal.style, style);
  EXPECT_TRUE(NormalLayout(normal));
  EXPECT_TRUE(HandedBackMenu(w));
  setting.hide_editor = true;
  const std::string recorded = HandlesIni();
  EXPECT_TRUE(EndedWithBox(Press(TypeOne), L"Error", L"The PureBasic or SpiderBasic window could not be determined."));
  IdeDoes(ide, ide_event::settled);
  EXPECT_TRUE(IsWindowVisible(w.main_window));
  EXPECT_TRUE(BackAsBefore(normal, State(), w.main_window));
  EXPECT_EQ(HandlesIni(), recorded);
}

// Type 1 in and out with the IDE on each monitor in turn (scripts/two-monitors.sh
// makes them, one beside and one above another): the same layout on each, and
// nothing of the window on another monitor.
TEST_F(Layouts, OnEachMonitor) {
  const std::vector<RECT> monitors = Monitors();
  if (monitors.size() < 2) GTEST_SKIP() << "one monitor";
  for (const RECT& m : monitors) {
    SCOPED_TRACE("the monitor at " + Narrow(Describe(m)));
    const ide_window_set& w = RestartIde({.normal_bounds = {m.left + 60, m.top + 40, m.left + 660, m.top + 440}});
    const ide_state before = State();
    entered e{true, true, WidestBarePiece(w)};
    ASSERT_TRUE(Quietly(Press(TypeOne)));
    e.bar = BarHeight(w);
    const RECT on = MonitorOf(w.main_window);
    EXPECT_TRUE(EqualRect(&on, &m));
    EXPECT_TRUE(TypeOneSeen(w, e)) << "nothing of it on the other monitor";
    ASSERT_TRUE(Quietly(Press(TypeOne)));
    IdeDoes(ide, ide_event::settled);
    EXPECT_TRUE(NormalLayout(State()));
    EXPECT_EQ(State().layout.editor.top, before.layout.editor.top);
  }
}

// From a normal window too, what the IDE remembers of its window stays as it was.
TEST_F(Layouts, ANormalWindowIsRememberedAsItWas) {
  for (const wchar_t* type : {TypeOne, TypeTwo}) {
    SCOPED_TRACE(Narrow(type));
    RestartIde({.maximized = false});
    const std::string remembered = Describe(RememberedWindow(ide));
    ASSERT_TRUE(Quietly(Press(type)));
    EXPECT_EQ(Describe(RememberedWindow(ide)), remembered) << "entered";
    ASSERT_TRUE(Quietly(Press(type)));
    EXPECT_EQ(Describe(RememberedWindow(ide)), remembered) << "left";
  }
}
