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

// The IDE main window of the parent process and its controls; at the first
// window not found shows its "Error" message and ends the run.
ide_windows DiscoverIdeWindows(DWORD parent_process_id);
