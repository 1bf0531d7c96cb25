// Finding the IDE main window of the parent process and the four controls the
// switch changes.
#pragma once

#include <windows.h>

#include <cstdint>

struct ide_windows {
  HWND main_window;
  HWND tool_bar;
  HWND file_tab_bar;
  HWND splitter;
  HWND tab_control;
};

extern ide_windows IdeWindows;

// Fills IdeWindows; at the first window not found shows its "Error" message and
// ends the run.
void DiscoverIdeWindows(int64_t parent_process_id);
