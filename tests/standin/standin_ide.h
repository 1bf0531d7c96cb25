// A stand-in for the host IDE: its main window's tree, its layout and every way
// it lays itself out again, its menu, owned by a thread of this process that
// pumps messages; and the ways the IDE starts a tool.
#pragma once

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>

#include "standin/process_runner.h"

// The tools panel beside the editor area, or none, or hidden automatically
// (shown collapsed: a vertical strip of tabs in its place).
enum class panel_side { right, left, none, auto_hidden };

struct ide_options {
  panel_side panel = panel_side::right;
  bool show_tool_bar = true;  // the IDE's setting: the layout leaves room for the tool bar
  int file_tab_rows = 1;      // rows of tabs in the file tab bar
  std::wstring main_class = L"WindowClass_2";
  bool visible = true;
  LONG_PTR caption_bits = WS_CAPTION;  // WS_CAPTION, WS_DLGFRAME alone, or 0
  bool maximized = true, menu = true, tool_bar = true, file_tab_bar = true;
  intptr_t file_tab_bar_id = 1;  // the "PB_ID" property; 0 sets none
  bool splitter = true;          // splitter 5; without it the log splitter sits on the main window
  intptr_t splitter_id = 5;
  bool tab_control = true;
  bool tab_control_as_grandchild = false;  // inside a container inside splitter 5
  RECT normal_bounds = {60, 40, 860, 600};
  // Hostile behaviour when the main window's style is changed by another process:
  DWORD pause_at_style_change_ms = 0;    // the IDE's thread stops handling messages this long
  bool destroy_at_style_change = false;  // the main window is destroyed
};

// The tool finds the first five; splitter is splitter 5, tab_control the tools
// panel in it, tools_strip the vertical strip of the collapsed panel; the tool
// bar, the editor and the menu are the IDE's newest.
struct ide_window_set {
  HWND main_window, tool_bar, file_tab_bar, splitter, tab_control;
  HMENU menu;
  HWND status_bar, log_splitter, container, editor, error_log, tools_strip;
};

struct standin_ide;

standin_ide* StartStandinIde(const ide_options& options);
const ide_window_set& WindowsOf(const standin_ide* ide);
// Runs `action` on the IDE's own thread and waits for it.
void OnIdeThread(standin_ide* ide, const std::function<void()>& action);
// The IDE's thread stops handling messages for `milliseconds`, from now.
void PauseIde(standin_ide* ide, DWORD milliseconds);
void StopStandinIde(standin_ide* ide);
// An IDE that ends when its owner goes, with a test that fails half-way too.
using unique_standin_ide = unique_any<standin_ide*, &StopStandinIde>;

// What the IDE does between two presses, on its own thread, waited for. Each
// but `settled` and `menu_rebuilt` lays the whole window out again.
enum class ide_event {
  settled,             // it handles what it was sent or posted
  queued_size_event,   // its main loop takes a size event
  source_tab_changed,  // another source becomes the active one
  new_file,            // a new source, its editor the active one
  error_log_toggled,   // shown or hidden
  row_count_changed,   // the file tabs go from one row to two, or back
  preferences_applied, // the tool bar made again and shown as set, the menu rebuilt
  menu_rebuilt,        // a new menu attached, the old one destroyed
  // The window manager fits the maximized window again: after it was minimized
  // and restored (Win+D twice, a task bar click), or hidden and shown maximized
  // (the IDE after a tool that hides it).
  minimized_and_restored,
  hidden_and_shown_maximized,
};
void IdeDoes(standin_ide* ide, ide_event event);
// The IDE's thread stops handling messages for `milliseconds` in the next style
// change another process makes, once.
void PauseAtNextStyleChange(standin_ide* ide, DWORD milliseconds);

// What the IDE remembers of its window for its next start: taken at every
// layout while the window is neither maximized nor minimized, its position and
// its inner size (the client area with the menu bar the IDE measured at start,
// when a menu is attached).
struct remembered_window {
  int x, y, width, height;
};
// Read on the IDE's thread, after what it was sent or posted.
remembered_window RememberedWindow(standin_ide* ide);

// The controls' rectangles in the main window's client coordinates.
struct ide_layout {
  RECT tool_bar, status_bar, splitter, log_splitter, container, file_tab_bar, editor, tab_control, error_log,
      tools_strip;
  bool operator==(const ide_layout& other) const { return memcmp(this, &other, sizeof other) == 0; }
};

struct ide_state {
  LONG_PTR style;
  HMENU menu;
  HANDLE menu_property;
  bool tool_bar_visible, file_tab_bar_visible, maximized;
  ide_layout layout;
};

ide_state ReadIdeState(const ide_window_set& windows);
std::wstring DescribeIdeState(const ide_state& state);
// "(left, top) widthxheight".
std::wstring Describe(const RECT& r);
// The part of the control a user sees on the screen: its screen rectangle cut
// by every parent's client area, the top-level window's region and the screen;
// empty when it or a parent is hidden.
RECT SeenPart(HWND control);
// Logical pixels in physical ones at the system's display scale.
int Scaled(int logical);
// The height the IDE measured for the menu bar at start, which its layout
// takes off the window's height whether a menu is attached or not.
int MeasuredMenuHeight();

// The IDE's settings of an external tool.
struct tool_setting {
  bool wait_until_tool_quits = false;  // the main window disabled, messages handled every 10 ms
  bool hide_editor = false;            // with waiting: hidden instead, shown maximized after
};
// Starts the tool as the IDE does, with its main window and path in the
// environment (PB_TOOL_MainWindow, PB_TOOL_IDE; `options` may set them again),
// from the IDE's thread when it waits.
process_run LaunchTool(standin_ide* ide, const std::wstring& exe, const std::wstring& arguments,
                       const tool_setting& setting, run_options options);
