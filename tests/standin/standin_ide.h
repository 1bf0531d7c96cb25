// A stand-in for the host IDE: its main window's tree, layout and menu, owned
// by a thread of this process that pumps messages; the ways the IDE starts a
// tool; and a runner that starts a program as this process's child, closes its
// message boxes and reports what it saw.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

enum class panel_side { right, left, none };
// When the IDE's main loop takes the size event that WM_SIZE queued: as soon
// as it gets to it (racing the calls of a tool that is switching the window),
// or only when the test lets it (ide_event::queued_size_event).
enum class queued_size_event { posted, held };

struct ide_options {
  panel_side panel = panel_side::right;  // the tools panel beside the editor area
  bool show_tool_bar = true;             // the IDE's setting: the layout leaves room for the tool bar
  queued_size_event size_event = queued_size_event::posted;
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

// The tool finds the first five; splitter is splitter 5, the menu the IDE's
// newest (a rebuild replaces it).
struct ide_window_set {
  HWND main_window, tool_bar, file_tab_bar, splitter, tab_control;
  HMENU menu;
  HWND status_bar, log_splitter, container, editor, error_log;
};

struct standin_ide;

standin_ide* StartStandinIde(const ide_options& options);
const ide_window_set& WindowsOf(const standin_ide* ide);
// Runs `action` on the IDE's own thread and waits for it.
void RunOnIdeThread(standin_ide* ide, void (*action)(void* context), void* context);
// The IDE's thread stops handling messages for `milliseconds`, from now.
void PauseIde(standin_ide* ide, DWORD milliseconds);
void StopStandinIde(standin_ide* ide);

// What the IDE does on its own thread between two presses, waited for: handle
// what it was sent or posted; take a held size event, show or hide the error
// log (a layout each); a new menu attached, the old one destroyed; a source tab
// changed (the container's layout only).
enum class ide_event { settled, queued_size_event, error_log_toggled, menu_rebuilt, source_tab_changed };
void IdeDoes(standin_ide* ide, ide_event event);

// The controls' rectangles in the main window's client coordinates.
struct ide_layout {
  RECT tool_bar, status_bar, splitter, log_splitter, container, file_tab_bar, editor, tab_control, error_log;
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
// The part of the control a user sees on the screen: its screen rectangle cut
// by every parent's client area and the screen; empty when it or a parent is hidden.
RECT SeenPart(HWND control);
// The screen rectangle of the tab control's first tab header.
RECT FirstTabHeader(HWND tab_control);
// Logical pixels in physical ones at the system's display scale.
int Scaled(int logical);

// A visible window of this class owned by the process.
bool IsVisibleWindowOf(HWND window, DWORD process_id, const wchar_t* class_name);

struct message_box_seen {
  std::wstring caption, text;
};

struct run_options {
  std::wstring folder;  // the child's start folder; empty: this process's
  // Variables to set, or with no value to remove, in the child's environment.
  std::vector<std::pair<std::wstring, std::optional<std::wstring>>> environment = {};
  DWORD timeout_ms = 30000;
  // Called for each new box of the child; false leaves the box open.
  bool (*on_box)(HANDLE process, const message_box_seen& box, void* context) = nullptr;
  void* context = nullptr;
  // The waiting thread handles its window messages every 10 ms, as an IDE
  // that waits until its tool quits.
  bool handle_messages = false;
};

struct process_run {
  bool started, finished;  // not finished: still running at the time-out, and ended
  DWORD exit_code, process_id;
  std::vector<message_box_seen> boxes;
};

// Under Wine with a relay trace file, each child's SetMenu calls are traced
// (relay_trace.h) unless `options` sets WINEDEBUG itself.
process_run RunProcess(const std::wstring& exe, const std::wstring& arguments, const run_options& options = {});
// One run of `exe` for each entry of `arguments`, all started together (made
// suspended, then let go at once) and waited for together. Run i is made the
// child of `parents[i]` where that is given (another IDE starting it), else of
// this process.
std::vector<process_run> RunProcessesAtOnce(const std::wstring& exe, const std::vector<std::wstring>& arguments,
                                             const run_options& options = {}, std::vector<HANDLE> parents = {});
// Attributes that make a new process the child of `parent`; they live in `storage`.
LPPROC_THREAD_ATTRIBUTE_LIST ParentAttribute(HANDLE& parent, std::vector<char>& storage);
// The same for a process made suspended elsewhere; its handles stay the caller's.
process_run ResumeAndWait(const PROCESS_INFORMATION& suspended, const run_options& options = {});

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

// Whether this runs under Wine, where a menu cannot be attached to a window of
// another process.
bool RunningUnderWine();
