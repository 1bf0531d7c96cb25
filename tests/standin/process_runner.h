// Starts programs as children of this process, waits for them, closes their
// message boxes and reports what it saw.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "handle.h"

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
  // Called every 10 ms while waiting: the waiting thread handles its window
  // messages, as an IDE that waits until its tool quits.
  void (*handle_messages)() = nullptr;
};

inline void EndAndCloseProcess(HANDLE process) {
  TerminateProcess(process, 99);
  WaitForSingleObject(process, INFINITE);
  CloseHandle(process);
}
// A child process, ended when its owner goes while it still runs: a test that
// fails half-way leaves nothing running into the next.
using unique_child = unique_any<HANDLE, &EndAndCloseProcess>;

struct child_process {
  unique_child process;  // none: it did not start
  unique_handle thread;
  DWORD id = 0;
};
// Starts `exe` with `arguments` in `folder` (empty: this process's), made
// suspended when `flags` says so, as the child of `parent` where that is
// given, with the environment block `environment` where that is given.
child_process StartChild(const std::wstring& exe, const std::wstring& arguments, DWORD flags = 0,
                         const std::wstring& folder = {}, HANDLE parent = nullptr, wchar_t* environment = nullptr);

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
// this process, and starts `exes[i]` instead of `exe` where that is given.
std::vector<process_run> RunProcessesAtOnce(const std::wstring& exe, const std::vector<std::wstring>& arguments,
                                             const run_options& options = {}, std::vector<HANDLE> parents = {},
                                             std::vector<std::wstring> exes = {});
// The same for one child made suspended with StartChild; it stays the caller's.
process_run ResumeAndWait(const child_process& suspended, const run_options& options = {});

// Whether this runs under Wine, where a menu cannot be attached to a window of
// another process.
bool RunningUnderWine();
