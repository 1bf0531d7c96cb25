#include "driver/switch.h"

#include "driver/run_end.h"
#include "fault/fault_handler.h"
#include "handle.h"
#include "prefs/preference_file.h"

namespace {

constexpr const wchar_t* HandlesFile = L"Handles.ini";
constexpr const wchar_t* MenuHandleKey = L"MenuHandle";

constexpr UINT RefreshFrameFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW;
// A resizable window is held to its maximum tracking size, the monitor's, unless
// the move skips WM_WINDOWPOSCHANGING; the IDE still gets its WM_SIZE.
constexpr UINT TallerThanMonitorFlags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSENDCHANGING;
constexpr UINT PlaceFlags = SWP_NOZORDER | SWP_NOACTIVATE;
constexpr uintptr_t ShownBarsMark = 0x10, ToolBarShown = 1, FileTabBarShown = 2;

void RecordMenuHandle(HWND main_window, HMENU menu) {
  const open_preference_file file = PreferenceFile::Open(HandlesFile, BlankLineBetweenGroups);
  PreferenceFile::SelectGroup(HandleGroupName(main_window));
  PreferenceFile::WriteInt(MenuHandleKey, reinterpret_cast<intptr_t>(menu));
}

HMENU RecordedMenuHandle(HWND main_window) {
  intptr_t menu = 0;
  if (const open_preference_file file = PreferenceFile::Open(HandlesFile, BlankLineBetweenGroups)) {
    PreferenceFile::SelectGroup(HandleGroupName(main_window));
    menu = static_cast<intptr_t>(PreferenceFile::ReadInt(MenuHandleKey, 0));
  }
  return reinterpret_cast<HMENU>(menu);
}

void SetStyleBorder(HWND window, bool border) {
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  SetWindowLongPtrW(window, GWL_STYLE, border ? style | WS_BORDER : style & ~static_cast<LONG_PTR>(WS_BORDER));
}

bool HasVisibleStyle(HWND window) { return (GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

RECT MonitorRect(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
  return info.rcMonitor;
}

// The rectangle of `window` in the client coordinates of `ancestor`.
RECT RectIn(HWND window, HWND ancestor) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, ancestor, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// `menu` is the window's own, already recorded.
void EnterFullscreen(const ide_windows& w, layout_type type, HMENU menu) {
  if (menu) SetPropW(w.main_window, MenuHandleProperty, menu);
  SetPropW(w.main_window, ShownBarsProperty,
           ShownBarsRecord({HasVisibleStyle(w.tool_bar), HasVisibleStyle(w.file_tab_bar)}));
  SetStyleBorder(w.main_window, false);
  if (type == layout_type::type_1) {
    ShowWindow(w.tool_bar, SW_HIDE);
    ShowWindow(w.file_tab_bar, SW_HIDE);
  }
  if (type != layout_type::other) SetMenu(w.main_window, nullptr);
}

// The border goes back last: every run goes by it, so a run cut short before
// it leaves a window that the next press still takes back.
void LeaveFullscreen(const ide_windows& w, HMENU recorded_menu) {
  HMENU menu = MenuToRestore(recorded_menu, GetPropW(w.main_window, MenuHandleProperty));
  const shown_bars bars = BarsToShow(GetPropW(w.main_window, ShownBarsProperty));
  if (bars.tool_bar) ShowWindow(w.tool_bar, SW_SHOW);
  if (bars.file_tab_bar) ShowWindow(w.file_tab_bar, SW_SHOW);
  // A menu attached now stays: the one recorded, or one the IDE built again
  // while in the fullscreen layout (the recorded handle is gone then).
  if (menu && !GetMenu(w.main_window)) SetMenu(w.main_window, menu);
  SetWindowRgn(w.main_window, nullptr, TRUE);
  SetStyleBorder(w.main_window, true);
}

// Removed only once the way back is done: a leaving run cut short leaves them
// to the next press.
void RemoveRecords(HWND main_window) {
  RemovePropW(main_window, MenuHandleProperty);
  RemovePropW(main_window, ShownBarsProperty);
  RemovePropW(main_window, NormalRectProperty);
}

RECT ClientRectOnScreen(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
  return client;
}

// The frame's thickness on each side: the window less its client area.
RECT FrameInsets(HWND window) {
  RECT outer{};
  GetWindowRect(window, &outer);
  const RECT client = ClientRectOnScreen(window);
  return {client.left - outer.left, client.top - outer.top, outer.right - client.right, outer.bottom - client.bottom};
}

// While the window is restored, between the restore and the maximize: the IDE
// remembers the inner size of its restored window at every layout, for its next
// start. The window is sized so that the IDE sees the size it had with border
// and menu, and its normal rectangle is kept on it for the way back, unless a
// leaving run cut short kept it already.
void KeepRememberedSize(HWND main_window, RECT insets_before, int menu_dropped) {
  RECT normal{};
  if (!NormalRectOf(GetPropW(main_window, NormalRectProperty), normal)) {
    GetWindowRect(main_window, &normal);
    SetPropW(main_window, NormalRectProperty, NormalRectRecord(normal));
  }
  const RECT to = KeptInnerSizeRect(normal, insets_before, FrameInsets(main_window), menu_dropped);
  SetWindowPos(main_window, nullptr, to.left, to.top, to.right - to.left, to.bottom - to.top, PlaceFlags);
}

// The normal rectangle the window had before it entered, back while it is restored.
void GiveBackNormalRect(HWND main_window) {
  RECT normal{};
  if (!NormalRectOf(GetPropW(main_window, NormalRectProperty), normal)) return;  // entered by an older build
  SetWindowPos(main_window, nullptr, normal.left, normal.top, normal.right - normal.left, normal.bottom - normal.top,
               PlaceFlags);
}

struct monitor_cut {
  HMONITOR own;
  RECT window;
  HRGN region;  // none until another monitor is in the window's way
};

BOOL CALLBACK CutOutOtherMonitor(HMONITOR monitor, HDC, RECT* area, LPARAM parameter) {
  auto& cut = *reinterpret_cast<monitor_cut*>(parameter);
  RECT overlap{};
  if (monitor == cut.own || !IntersectRect(&overlap, area, &cut.window)) return TRUE;
  if (!cut.region) cut.region = CreateRectRgnIndirect(&cut.window);
  HRGN other = CreateRectRgnIndirect(&overlap);
  if (cut.region && other) CombineRgn(cut.region, cut.region, other, RGN_DIFF);
  if (other) DeleteObject(other);
  return TRUE;
}

// Clips the window, about to be placed at `window`, where it would reach onto
// another monitor, so that nothing of it shows there. Where no other monitor
// lies (one monitor, the common case) it gets no region: when the window
// manager fits the window again, as after a minimize, it stays whole.
void ClipAtOtherMonitors(HWND main_window, RECT window) {
  monitor_cut cut{MonitorFromWindow(main_window, MONITOR_DEFAULTTONEAREST), window, nullptr};
  EnumDisplayMonitors(nullptr, &window, CutOutOtherMonitor, reinterpret_cast<LPARAM>(&cut));
  if (!cut.region) return;
  OffsetRgn(cut.region, -window.left, -window.top);
  if (!SetWindowRgn(main_window, cut.region, TRUE)) DeleteObject(cut.region);
}

// After the maximize: the IDE has laid itself out for the maximized size. The
// window goes up by the file tab bar's bottom edge, so that every layout the IDE
// makes from now on keeps the tool bar and the file tab bar above the screen and
// the editor's first line at its top. The tools panel then goes down by the
// file tab bar's height, so that its tabs show; the IDE has handled the size
// change by the time SetWindowPos returns.
void PlaceTypeOne(const ide_windows& w) {
  const RECT bar = RectIn(w.file_tab_bar, w.main_window);
  RECT window{};
  GetWindowRect(w.main_window, &window);
  const RECT client = ClientRectOnScreen(w.main_window);
  const RECT monitor = MonitorRect(w.main_window);
  const RECT to = TypeOneWindowRect(window, client, monitor, bar.bottom);
  ClipAtOtherMonitors(w.main_window, to);
  SetWindowPos(w.main_window, nullptr, to.left, to.top, to.right - to.left, to.bottom - to.top,
               TallerThanMonitorFlags);
  if (!IsWindowVisible(w.tab_control)) return;  // no panel, or a collapsed one: the IDE lays it out when shown
  const int lower = bar.bottom - bar.top;
  const RECT tab = RectIn(w.tab_control, GetParent(w.tab_control));
  SetWindowPos(w.tab_control, nullptr, tab.left, tab.top + lower, tab.right - tab.left, tab.bottom - tab.top - lower,
               PlaceFlags);
}

// The window's turn this run holds, owned by the thread that switches.
owned_mutex HeldTurn;

std::wstring SwitchTurnName(HWND main_window) { return L"Local\\Corvalin.SwitchTurn." + HandleGroupName(main_window); }

// False when the turn does not come in time or cannot be had at all.
bool TakeSwitchTurn(HWND main_window) {
  HeldTurn = TakeTurn(SwitchTurnName(main_window).c_str(), TurnTimeoutMs);
  return static_cast<bool>(HeldTurn);
}

void ReleaseSwitchTurn() { HeldTurn.reset(); }

bool IdeAnswers(HWND main_window) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(main_window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, IdeAnswerTimeoutMs,
                             &result) != 0;
}

}  // namespace

layout_type LayoutType(const std::wstring& layout_argument) {
  if (layout_argument == L"/fullscreentype=1") return layout_type::type_1;
  if (layout_argument == L"/fullscreentype=2") return layout_type::type_2;
  return layout_type::other;
}

std::wstring HandleGroupName(HWND main_window) { return std::to_wstring(reinterpret_cast<intptr_t>(main_window)); }

HMENU MenuToRestore(HMENU recorded_in_file, HANDLE kept_on_window) {
  return kept_on_window ? static_cast<HMENU>(kept_on_window) : recorded_in_file;
}

HANDLE ShownBarsRecord(shown_bars bars) {
  return reinterpret_cast<HANDLE>(ShownBarsMark | (bars.tool_bar ? ToolBarShown : 0) |
                                  (bars.file_tab_bar ? FileTabBarShown : 0));
}

shown_bars BarsToShow(HANDLE record) {
  const auto value = reinterpret_cast<uintptr_t>(record);
  if (!(value & ShownBarsMark)) return {true, true};
  return {(value & ToolBarShown) != 0, (value & FileTabBarShown) != 0};
}

HANDLE NormalRectRecord(RECT normal) {
  const LONG values[] = {normal.left, normal.top, normal.right - normal.left, normal.bottom - normal.top};
  uint64_t record = 0;
  for (LONG value : values) {
    if (value < INT16_MIN || value > INT16_MAX) return nullptr;
    record = record << 16 | static_cast<uint16_t>(value);
  }
  return reinterpret_cast<HANDLE>(record);
}

bool NormalRectOf(HANDLE record, RECT& normal) {
  const auto bits = reinterpret_cast<uint64_t>(record);
  if (!bits) return false;
  const auto field = [bits](int index) { return static_cast<LONG>(static_cast<int16_t>(bits >> (48 - 16 * index))); };
  normal = {field(0), field(1), field(0) + field(2), field(1) + field(3)};
  return true;
}

RECT KeptInnerSizeRect(RECT normal, RECT insets_before, RECT insets_now, int menu_dropped) {
  const LONG width =
      normal.right - normal.left - insets_before.left - insets_before.right + insets_now.left + insets_now.right;
  const LONG height = normal.bottom - normal.top - insets_before.top - insets_before.bottom + menu_dropped +
                      insets_now.top + insets_now.bottom;
  return {normal.left, normal.top, normal.left + width, normal.top + height};
}

RECT TypeOneWindowRect(RECT window, RECT client, RECT monitor, int hidden_top) {
  return {monitor.left - (client.left - window.left), monitor.top - hidden_top - (client.top - window.top),
          monitor.right + (window.right - client.right), monitor.bottom + (window.bottom - client.bottom)};
}

void WorkInDpiAwarenessOf(HWND window) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  auto get = reinterpret_cast<HANDLE(WINAPI*)(HWND)>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetWindowDpiAwarenessContext")));
  auto set = reinterpret_cast<HANDLE(WINAPI*)(HANDLE)>(
      reinterpret_cast<void*>(GetProcAddress(user32, "SetThreadDpiAwarenessContext")));
  if (get && set) set(get(window));
}

bool EntersFullscreen(HWND main_window) { return (GetWindowLongPtrW(main_window, GWL_STYLE) & WS_BORDER) != 0; }

void SwitchWindows(const ide_windows& w, layout_type type, bool entering, HMENU menu) {
  if (entering) {
    const RECT insets_before = FrameInsets(w.main_window);
    // The IDE counts the menu bar, at the height it measured at start, in its
    // window's inner size while a menu is attached.
    const int menu_dropped = menu && type != layout_type::other ? GetSystemMetrics(SM_CYMENU) : 0;
    EnterFullscreen(w, type, menu);
    ShowWindow(w.main_window, SW_SHOWNORMAL);
    KeepRememberedSize(w.main_window, insets_before, menu_dropped);
  } else {
    LeaveFullscreen(w, menu);
    ShowWindow(w.main_window, SW_SHOWNORMAL);
    GiveBackNormalRect(w.main_window);
  }
  ShowWindow(w.main_window, SW_SHOWMAXIMIZED);
  if (entering && type == layout_type::type_1) PlaceTypeOne(w);
  SetWindowPos(w.main_window, nullptr, 0, 0, 0, 0, RefreshFrameFlags);
  if (!entering) RemoveRecords(w.main_window);
}

void SwitchLayout(const ide_windows& w, const std::wstring& layout_argument, stage_hook hook) {
  const layout_type type = LayoutType(layout_argument);
  WorkInDpiAwarenessOf(w.main_window);
  const bool entering = EntersFullscreen(w.main_window);
  HMENU menu = entering ? GetMenu(w.main_window) : RecordedMenuHandle(w.main_window);
  if (entering) RecordMenuHandle(w.main_window, menu);
  Reached(hook, run_stage::handles_ini_used);
  SwitchWindows(w, type, entering, menu);
  Reached(hook, run_stage::windows_switched);
}

void SwitchLayoutGuarded(const ide_windows& windows, const std::wstring& layout_argument, stage_hook hook) {
  if (!TakeSwitchTurn(windows.main_window)) return;  // the window stays as it is
  Reached(hook, run_stage::turn_taken);
  if (IdeAnswers(windows.main_window)) {  // not when it is busy or hung
    Reached(hook, run_stage::ide_answered);
    StartSwitchClock();
    SwitchLayout(windows, layout_argument, hook);
  }
  ReleaseSwitchTurn();
  Reached(hook, run_stage::turn_released);
}

void ReleaseTurnAndReport() {
  PreferenceFile::CloseWithoutSaving();
  ReleaseSwitchTurn();
  ReportFatalError();
}
