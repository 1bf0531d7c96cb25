// A stand-in for the host IDE: the windows the tool looks for, owned by a thread
// of this process that pumps messages, plus a runner that starts a program as
// this process's child, closes its message boxes and reports what it saw.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct ide_options {
  std::wstring main_class = L"WindowClass_2";
  bool visible = true;
  LONG_PTR caption_bits = WS_CAPTION;  // WS_CAPTION, WS_DLGFRAME alone, or 0
  bool maximized = true;
  bool menu = true;
  bool tool_bar = true;
  bool file_tab_bar = true;
  intptr_t file_tab_bar_id = 1;  // the "PB_ID" property; 0 sets none
  bool splitter = true;
  intptr_t splitter_id = 5;
  bool tab_control = true;
  bool tab_control_as_grandchild = false;  // inside a panel inside the splitter
  RECT normal_bounds = {60, 40, 860, 600};
  // As an IDE does, the controls are laid out again whenever the main window or
  // the splitter changes size (WM_SIZE): tool bar and file tab bar across the
  // top where visible, the splitter filling the rest, inside it the editor above
  // the tab control docked at its bottom. Off: the controls keep the places
  // they were created at, whatever happens to the window.
  bool relayout = true;
  // Hostile behaviour when the main window's style is changed by another process:
  DWORD pause_at_style_change_ms = 0;    // the IDE's thread stops handling messages this long
  bool destroy_at_style_change = false;  // the main window is destroyed
};

struct ide_window_set {
  HWND main_window;
  HWND tool_bar;
  HWND file_tab_bar;
  HWND splitter;
  HWND tab_control;
  HMENU menu;
};

struct standin_ide;

standin_ide* StartStandinIde(const ide_options& options);
const ide_window_set& WindowsOf(const standin_ide* ide);
// Runs `action` on the IDE's own thread and waits for it.
void RunOnIdeThread(standin_ide* ide, void (*action)(void* context), void* context);
// The IDE's thread stops handling messages for `milliseconds`, from now.
void PauseIde(standin_ide* ide, DWORD milliseconds);
void StopStandinIde(standin_ide* ide);

struct ide_state {
  LONG_PTR style;
  HMENU menu;
  HANDLE menu_property;
  bool tool_bar_visible;
  bool file_tab_bar_visible;
  bool maximized;
  RECT splitter;     // in the main window's client coordinates
  RECT tab_control;  // in the splitter's client coordinates
};

ide_state ReadIdeState(const ide_window_set& windows);
std::wstring DescribeIdeState(const ide_state& state);

// A visible window of this class owned by the process.
bool IsVisibleWindowOf(HWND window, DWORD process_id, const wchar_t* class_name);

struct message_box_seen {
  std::wstring caption;
  std::wstring text;
};

struct run_options {
  std::wstring folder;  // the child's start folder; empty: this process's
  // Variables to set, or with no value to remove, in the child's environment.
  std::vector<std::pair<std::wstring, std::optional<std::wstring>>> environment;
  DWORD timeout_ms = 30000;
  // Called for each new box of the child; false leaves the box open.
  bool (*on_box)(HANDLE process, const message_box_seen& box, void* context) = nullptr;
  void* context = nullptr;
};

struct process_run {
  bool started;
  bool finished;  // false: it was still running at the time-out and was ended
  DWORD exit_code;
  DWORD process_id;
  std::vector<message_box_seen> boxes;
};

// Under Wine with a relay trace file, each child's SetMenu calls are traced
// (relay_trace.h) unless `options` sets WINEDEBUG itself.
process_run RunProcess(const std::wstring& exe, const std::wstring& arguments, const run_options& options = {});
// One run of `exe` for each entry of `arguments`, all started together (made
// suspended, then let go at once) and waited for together.
std::vector<process_run> RunProcessesAtOnce(const std::wstring& exe, const std::vector<std::wstring>& arguments,
                                             const run_options& options = {});
// The same for a process made suspended elsewhere; its handles stay the caller's.
process_run ResumeAndWait(const PROCESS_INFORMATION& suspended, const run_options& options = {});

// Whether this runs under Wine, where a menu cannot be attached to a window of
// another process.
bool RunningUnderWine();
