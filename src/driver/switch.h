// The fullscreen switch of the IDE main window, and back.
#pragma once

#include <windows.h>

#include <string>

#include "driver/discovery.h"

enum class layout_type { type_1, type_2, other };

// The window-manager calls the switch makes, so that its decisions can be
// checked without a window of another process.
struct window_calls {
  LONG_PTR (*get_style)(HWND window);
  void (*set_style)(HWND window, LONG_PTR style);
  HMENU (*get_menu)(HWND window);
  void (*set_menu)(HWND window, HMENU menu);
  void (*show_window)(HWND window, int command);
  RECT (*window_rect)(HWND window);
  POINT (*monitor_origin)(HWND window);
  void (*set_window_pos)(HWND window, int x, int y, int width, int height, UINT flags);
  HANDLE (*get_property)(HWND window, const wchar_t* name);
  void (*set_property)(HWND window, const wchar_t* name, HANDLE value);
  void (*remove_property)(HWND window, const wchar_t* name);
};

extern const window_calls SystemWindowCalls;

// The window property that keeps the menu handle on the IDE window itself while
// it is in the fullscreen layout, in case "Handles.ini" cannot keep it.
constexpr const wchar_t* MenuHandleProperty = L"Corvalin.MenuHandle";

layout_type LayoutType(const std::wstring& layout_argument);
std::wstring HandleGroupName(HWND main_window);
// Where the type 1 layout puts the tab control: its screen position made relative
// to the monitor that holds the main window, 50 pixels lower.
POINT TabControlPosition(RECT tab_control_on_screen, POINT monitor_origin);

// Every window call of the switch waits until the IDE's thread has handled it.
// The switch starts only when the IDE answers within IdeAnswerTimeoutMs, and
// the tool ends (exit code 0) if the switch has not finished within
// SwitchTimeoutMs, so that an IDE that stops handling messages cannot keep it
// waiting for ever.
constexpr unsigned IdeAnswerTimeoutMs = 5000;
constexpr unsigned SwitchTimeoutMs = 15000;
bool IdeAnswers(HWND main_window);
// The switch between IdeAnswers and the end of the time allowed for it.
void SwitchLayoutGuarded(const ide_windows& windows, const std::wstring& layout_argument);

void SwitchLayout(const ide_windows& windows, const std::wstring& layout_argument);
void SwitchLayoutWith(const window_calls& calls, const ide_windows& windows, const std::wstring& layout_argument);
