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

void SwitchLayout(const ide_windows& windows, const std::wstring& layout_argument);
void SwitchLayoutWith(const window_calls& calls, const ide_windows& windows, const std::wstring& layout_argument);
