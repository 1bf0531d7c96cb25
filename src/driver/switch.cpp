#include "driver/switch.h"

#include "driver/run.h"
#include "prefs/preference_file.h"

namespace {

constexpr const wchar_t* HandlesFile = L"Handles.ini";
constexpr const wchar_t* MenuHandleKey = L"MenuHandle";
constexpr UINT FrameChangeFlags = SWP_NOZORDER | SWP_FRAMECHANGED;
constexpr UINT MoveOnlyFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED;
constexpr UINT RefreshFrameFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW;

LONG_PTR SystemGetStyle(HWND window) { return GetWindowLongPtrW(window, GWL_STYLE); }
void SystemSetStyle(HWND window, LONG_PTR style) { SetWindowLongPtrW(window, GWL_STYLE, style); }
HMENU SystemGetMenu(HWND window) { return GetMenu(window); }
void SystemSetMenu(HWND window, HMENU menu) { SetMenu(window, menu); }
void SystemShowWindow(HWND window, int command) { ShowWindow(window, command); }

RECT SystemWindowRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

POINT SystemMonitorOrigin(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info)) return {0, 0};
  return {info.rcMonitor.left, info.rcMonitor.top};
}

void SystemSetWindowPos(HWND window, int x, int y, int width, int height, UINT flags) {
  SetWindowPos(window, nullptr, x, y, width, height, flags);
}

HANDLE SystemGetProperty(HWND window, const wchar_t* name) { return GetPropW(window, name); }
void SystemSetProperty(HWND window, const wchar_t* name, HANDLE value) { SetPropW(window, name, value); }
void SystemRemoveProperty(HWND window, const wchar_t* name) { RemovePropW(window, name); }

void RecordMenuHandle(HWND main_window, HMENU menu) {
  PreferenceFile::Open(HandlesFile, BlankLineBetweenGroups);
  PreferenceFile::SelectGroup(HandleGroupName(main_window));
  PreferenceFile::WriteInt(MenuHandleKey, reinterpret_cast<intptr_t>(menu));
  PreferenceFile::Close();
}

HMENU RecordedMenuHandle(HWND main_window) {
  if (!PreferenceFile::Open(HandlesFile, BlankLineBetweenGroups)) return nullptr;
  PreferenceFile::SelectGroup(HandleGroupName(main_window));
  intptr_t menu = static_cast<intptr_t>(PreferenceFile::ReadInt(MenuHandleKey, 0));
  PreferenceFile::Close();
  return reinterpret_cast<HMENU>(menu);
}

void EnterFullscreen(const window_calls& calls, const ide_windows& w, layout_type type) {
  HMENU menu = calls.get_menu(w.main_window);
  RecordMenuHandle(w.main_window, menu);
  if (menu) calls.set_property(w.main_window, MenuHandleProperty, menu);
  calls.set_style(w.main_window, calls.get_style(w.main_window) & ~static_cast<LONG_PTR>(WS_BORDER));
  if (type == layout_type::type_1) {
    calls.show_window(w.tool_bar, SW_HIDE);
    calls.show_window(w.file_tab_bar, SW_HIDE);
  }
  if (type != layout_type::other) calls.set_menu(w.main_window, nullptr);
}

void LeaveFullscreen(const window_calls& calls, const ide_windows& w) {
  HMENU menu = RecordedMenuHandle(w.main_window);
  // The entering run kept the handle on this very window as well; it holds even
  // when "Handles.ini" could not be written or was lost since.
  if (HANDLE kept = calls.get_property(w.main_window, MenuHandleProperty)) menu = static_cast<HMENU>(kept);
  calls.set_style(w.main_window, calls.get_style(w.main_window) | WS_BORDER);
  calls.show_window(w.tool_bar, SW_SHOW);
  calls.show_window(w.file_tab_bar, SW_SHOW);
  calls.set_menu(w.main_window, menu);
  calls.remove_property(w.main_window, MenuHandleProperty);
}

void PlaceControls(const window_calls& calls, const ide_windows& w, layout_type type) {
  RECT window = calls.window_rect(w.main_window);
  if (type == layout_type::type_1) {
    calls.set_window_pos(w.splitter, 0, -25, window.right - window.left, window.bottom - window.top - 15,
                         FrameChangeFlags);
    POINT tab = TabControlPosition(calls.window_rect(w.tab_control), calls.monitor_origin(w.main_window));
    calls.set_window_pos(w.tab_control, tab.x, tab.y, 0, 0, MoveOnlyFlags);
  } else if (type == layout_type::type_2) {
    calls.set_window_pos(w.splitter, 0, 30, 0, 0, MoveOnlyFlags);
  }
}

}  // namespace

const window_calls SystemWindowCalls = {
    SystemGetStyle,     SystemSetStyle,     SystemGetMenu,     SystemSetMenu,
    SystemShowWindow,   SystemWindowRect,   SystemMonitorOrigin, SystemSetWindowPos,
    SystemGetProperty,  SystemSetProperty,  SystemRemoveProperty,
};

layout_type LayoutType(const std::wstring& layout_argument) {
  if (layout_argument == L"/fullscreentype=1") return layout_type::type_1;
  if (layout_argument == L"/fullscreentype=2") return layout_type::type_2;
  return layout_type::other;
}

std::wstring HandleGroupName(HWND main_window) {
  return std::to_wstring(reinterpret_cast<intptr_t>(main_window));
}

POINT TabControlPosition(RECT tab_control_on_screen, POINT monitor_origin) {
  return {tab_control_on_screen.left - monitor_origin.x, tab_control_on_screen.top - monitor_origin.y + 50};
}

void SwitchLayoutWith(const window_calls& calls, const ide_windows& windows, const std::wstring& layout_argument) {
  const layout_type type = LayoutType(layout_argument);
  const bool entering = (calls.get_style(windows.main_window) & WS_BORDER) != 0;
  if (entering) EnterFullscreen(calls, windows, type); else LeaveFullscreen(calls, windows);
  calls.show_window(windows.main_window, SW_SHOWNORMAL);
  calls.show_window(windows.main_window, SW_SHOWMAXIMIZED);
  if (entering) PlaceControls(calls, windows, type);
  calls.set_window_pos(windows.main_window, 0, 0, 0, 0, RefreshFrameFlags);
}

void SwitchLayout(const ide_windows& windows, const std::wstring& layout_argument) {
  SwitchLayoutWith(SystemWindowCalls, windows, layout_argument);
}

bool IdeAnswers(HWND main_window) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(main_window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, IdeAnswerTimeoutMs,
                             &result) != 0;
}

namespace {

DWORD WINAPI EndToolUnlessSignalled(void* finished) {
  if (WaitForSingleObject(finished, SwitchTimeoutMs) == WAIT_TIMEOUT) ExitTool();
  return 0;
}

// A thread that ends the tool when the switch takes longer than allowed.
struct switch_watchdog {
  HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = finished ? CreateThread(nullptr, 0, EndToolUnlessSignalled, finished, 0, nullptr) : nullptr;
  ~switch_watchdog() {
    if (finished) SetEvent(finished);
    if (thread) {
      WaitForSingleObject(thread, INFINITE);
      CloseHandle(thread);
    }
    if (finished) CloseHandle(finished);
  }
};

}  // namespace

void SwitchLayoutGuarded(const ide_windows& windows, const std::wstring& layout_argument) {
  if (!IdeAnswers(windows.main_window)) return;  // busy or hung: the window stays as it is
  switch_watchdog watchdog;
  SwitchLayout(windows, layout_argument);
}
