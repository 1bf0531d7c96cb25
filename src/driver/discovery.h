// Finding the IDE main window of the parent process and the four controls the
// switch changes.
#pragma once

#include <windows.h>

struct ide_windows {
  HWND main_window;
  HWND tool_bar;
  HWND file_tab_bar;
  HWND splitter;
  HWND tab_control;
};

struct discovered_windows {
  ide_windows windows;
  const wchar_t* missing;  // the "Error" message for the first window not found; none when all were found
};

// The IDE main window of the parent process and its controls.
discovered_windows DiscoverIdeWindows(DWORD parent_process_id);
