#include "driver/switch.h"

#include "driver/run.h"
#include "fault/fault_handler.h"
#include "handle.h"
#include "prefs/preference_file.h"

namespace {

constexpr const wchar_t* HandlesFile = L"Handles.ini";
constexpr const wchar_t* MenuHandleKey = L"MenuHandle";

constexpr int TypeOneSplitterTop = -25;
constexpr int TypeOneBottomMargin = 15;
constexpr int TypeTwoSplitterTop = 30;
constexpr int TabControlDrop = 50;

constexpr UINT MoveAndSizeFlags = SWP_NOZORDER | SWP_FRAMECHANGED;
constexpr UINT MoveOnlyFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED;
constexpr UINT RefreshFrameFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW;

void RecordMenuHandle(HWND main_window, HMENU menu) {
  PreferenceFile::Open(HandlesFile, BlankLineBetweenGroups);
  PreferenceFile::SelectGroup(HandleGroupName(main_window));
  PreferenceFile::WriteInt(MenuHandleKey, reinterpret_cast<intptr_t>(menu));
  PreferenceFile::Close();
}

HMENU RecordedMenuHandle(HWND main_window) {
  intptr_t menu = 0;
  if (PreferenceFile::Open(HandlesFile, BlankLineBetweenGroups)) {
    PreferenceFile::SelectGroup(HandleGroupName(main_window));
    menu = static_cast<intptr_t>(PreferenceFile::ReadInt(MenuHandleKey, 0));
  }
  PreferenceFile::Close();  // also after a failed open: it ends the file's turn
  return reinterpret_cast<HMENU>(menu);
}

void SetStyleBorder(HWND window, bool border) {
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  SetWindowLongPtrW(window, GWL_STYLE, border ? style | WS_BORDER : style & ~static_cast<LONG_PTR>(WS_BORDER));
}

POINT MonitorOrigin(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info)) return {0, 0};
  return {info.rcMonitor.left, info.rcMonitor.top};
}

void EnterFullscreen(const ide_windows& w, layout_type type) {
  HMENU menu = GetMenu(w.main_window);
  RecordMenuHandle(w.main_window, menu);
  if (menu) SetPropW(w.main_window, MenuHandleProperty, menu);
  SetStyleBorder(w.main_window, false);
  if (type == layout_type::type_1) {
    ShowWindow(w.tool_bar, SW_HIDE);
    ShowWindow(w.file_tab_bar, SW_HIDE);
  }
  if (type != layout_type::other) SetMenu(w.main_window, nullptr);
}

void LeaveFullscreen(const ide_windows& w) {
  HMENU menu = MenuToRestore(RecordedMenuHandle(w.main_window), GetPropW(w.main_window, MenuHandleProperty));
  SetStyleBorder(w.main_window, true);
  ShowWindow(w.tool_bar, SW_SHOW);
  ShowWindow(w.file_tab_bar, SW_SHOW);
  // A menu attached now stays: the one recorded, or one the IDE built again
  // while in the fullscreen layout (the recorded handle is gone then).
  if (menu && !GetMenu(w.main_window)) SetMenu(w.main_window, menu);
  RemovePropW(w.main_window, MenuHandleProperty);
}

// After the maximize, so that the positions hold in the maximized window.
void PlaceControls(const ide_windows& w, layout_type type) {
  RECT window{};
  GetWindowRect(w.main_window, &window);
  if (const auto splitter = SplitterPlacement(type, window)) {
    SetWindowPos(w.splitter, nullptr, splitter->x, splitter->y, splitter->width, splitter->height, splitter->flags);
  }
  if (type == layout_type::type_1) {
    RECT tab{};
    GetWindowRect(w.tab_control, &tab);
    const POINT to = TabControlPosition(tab, MonitorOrigin(w.main_window));
    SetWindowPos(w.tab_control, nullptr, to.x, to.y, 0, 0, MoveOnlyFlags);
  }
}

// A fault report that is up stays until the user closes it; the fault handler
// ends the process then.
DWORD WINAPI EndToolAfterTimeout(void*) {
  Sleep(SwitchTimeoutMs);
  if (!ReportingFault()) ExitTool();
  return 0;
}

// The turn this run holds: a named mutex, owned by the thread that switches.
HANDLE HeldTurn = nullptr;

std::wstring SwitchTurnName(HWND main_window) { return L"Local\\Corvalin.SwitchTurn." + HandleGroupName(main_window); }

// Waits for the window's turn. A run that was ended while switching leaves the
// mutex abandoned, which hands the turn on all the same. False when the turn
// does not come in time or cannot be had at all (the name taken by an object of
// another kind, for one).
bool TakeSwitchTurn(HWND main_window) {
  unique_handle mutex{CreateMutexW(nullptr, FALSE, SwitchTurnName(main_window).c_str())};
  if (!mutex) return false;
  const DWORD result = WaitForSingleObject(mutex.get(), TurnTimeoutMs);
  if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) return false;
  HeldTurn = mutex.release();
  return true;
}

void ReleaseSwitchTurn() {
  if (!HeldTurn) return;
  ReleaseMutex(HeldTurn);
  CloseHandle(HeldTurn);
  HeldTurn = nullptr;
}

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

std::optional<window_placement> SplitterPlacement(layout_type type, RECT w) {
  if (type == layout_type::type_1) {
    return window_placement{0, TypeOneSplitterTop, w.right - w.left, w.bottom - w.top - TypeOneBottomMargin,
                            MoveAndSizeFlags};
  }
  if (type == layout_type::type_2) return window_placement{0, TypeTwoSplitterTop, 0, 0, MoveOnlyFlags};
  return std::nullopt;
}

POINT TabControlPosition(RECT tab_control_on_screen, POINT monitor_origin) {
  return {tab_control_on_screen.left - monitor_origin.x, tab_control_on_screen.top - monitor_origin.y + TabControlDrop};
}

void SwitchLayout(const ide_windows& w, const std::wstring& layout_argument) {
  const layout_type type = LayoutType(layout_argument);
  const bool entering = (GetWindowLongPtrW(w.main_window, GWL_STYLE) & WS_BORDER) != 0;
  if (entering) EnterFullscreen(w, type); else LeaveFullscreen(w);
  ShowWindow(w.main_window, SW_SHOWNORMAL);
  ShowWindow(w.main_window, SW_SHOWMAXIMIZED);
  if (entering) PlaceControls(w, type);
  SetWindowPos(w.main_window, nullptr, 0, 0, 0, 0, RefreshFrameFlags);
}

void SwitchLayoutGuarded(const ide_windows& windows, const std::wstring& layout_argument) {
  if (!TakeSwitchTurn(windows.main_window)) return;  // the window stays as it is
  if (IdeAnswers(windows.main_window)) {          // not when it is busy or hung
    // Not waited for: the process ends right after the switch, and with it the thread.
    unique_handle watchdog{CreateThread(nullptr, 0, EndToolAfterTimeout, nullptr, 0, nullptr)};
    SwitchLayout(windows, layout_argument);
  }
  ReleaseSwitchTurn();
}

void ReleaseTurnAndReport() {
  ReleaseSwitchTurn();
  ReportFatalError();
}
