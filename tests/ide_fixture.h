// A test with a stand-in IDE in this process and Corvalin.exe installed in a
// scratch folder of its own, started as this process's child.
#pragma once

#include <gtest/gtest.h>

#include "standin/relay_trace.h"
#include "standin/standin_ide.h"
#include "test_support.h"

constexpr const wchar_t* TypeOne = L"/fullscreentype=1";
constexpr const wchar_t* TypeTwo = L"/fullscreentype=2";

// The normal layout, maximized, the kept handle removed; the menu aside.
inline ::testing::AssertionResult NormalLayout(const ide_state& s) {
  if ((s.style & WS_BORDER) && (s.style & WS_DLGFRAME) && s.tool_bar_visible && s.file_tab_bar_visible &&
      s.maximized && !s.menu_property) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << Narrow(DescribeIdeState(s)) << ", kept handle " << s.menu_property;
}

// The window as it was `before`: the same style, menu, bars and kept handle.
inline ::testing::AssertionResult Untouched(const ide_state& before, const ide_state& now) {
  if (now.style == before.style && now.menu == before.menu && now.tool_bar_visible == before.tool_bar_visible &&
      now.file_tab_bar_visible == before.file_tab_bar_visible && now.menu_property == before.menu_property) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << Narrow(DescribeIdeState(now)) << ", not " << Narrow(DescribeIdeState(before));
}

// The fullscreen layout of type 1, both bars hidden, or of type 2, the file tab
// bar shown: no border, no menu.
inline ::testing::AssertionResult FullscreenLayout(const ide_state& s, bool type_1) {
  const bool bars = type_1 ? !s.tool_bar_visible && !s.file_tab_bar_visible : s.file_tab_bar_visible;
  if (!(s.style & WS_BORDER) && !s.menu && bars) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << Narrow(DescribeIdeState(s));
}

// The IDE's normal layout as it was before entering, control by control, with
// the tool bar shown as before and no window region.
inline ::testing::AssertionResult BackAsBefore(const ide_state& before, const ide_state& now, HWND main_window) {
  RECT region{};
  if (now.layout == before.layout && now.tool_bar_visible == before.tool_bar_visible && now.style == before.style &&
      now.file_tab_bar_visible && now.maximized && !now.menu_property &&
      GetWindowRgnBox(main_window, &region) == ERROR) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << Narrow(DescribeIdeState(now)) << "\nbefore: "
                                       << Narrow(DescribeIdeState(before));
}

// A second stand-in IDE in a process of its own ("standin_ide hold"), ended
// with the record.
struct held_process {
  child_process child;
  HWND main_window = nullptr;
};

// Waits until its window is up, unless made suspended.
inline void StartOtherIde(held_process& held, DWORD flags = 0) {
  held.child = StartChild(BuiltProgram(L"standin_ide.exe"), L"hold", flags);
  ASSERT_TRUE(held.child.process);
  if (flags & CREATE_SUSPENDED) return;
  for (ULONGLONG deadline = GetTickCount64() + 20000; !held.main_window && GetTickCount64() < deadline;) {
    EnumWindows([](HWND window, LPARAM parameter) {
      auto& found = *reinterpret_cast<held_process*>(parameter);
      if (!IsVisibleWindowOf(window, found.child.id, L"WindowClass_2")) return TRUE;
      found.main_window = window;
      return FALSE;
    }, reinterpret_cast<LPARAM>(&held));
    if (!held.main_window) Sleep(10);
  }
  ASSERT_NE(held.main_window, nullptr);
}

class WithStandinIde : public ::testing::Test {
 protected:
  scratch_folder folder;
  std::wstring tool = InstallTool(folder.path);
  unique_standin_ide owned_ide;  // ended when the test ends, however it ends
  standin_ide* ide = nullptr;    // owned_ide's, as the stand-in's functions take it

  uint64_t last_run_trace = 0;  // where the relay trace stood before the last run

  const ide_window_set& StartIde(const ide_options& options = {}) {
    owned_ide.reset(ide = StartStandinIde(options));
    return WindowsOf(ide);
  }
  // A fresh IDE, for each case of a table.
  const ide_window_set& RestartIde(const ide_options& options = {}) {
    owned_ide.reset();
    return StartIde(options);
  }
  // Started in the tool's own folder, as the IDE usually starts it.
  run_options InToolFolder() const { return {.folder = folder.path}; }
  process_run RunTool(const std::wstring& arguments, const run_options& options) {
    last_run_trace = RelayTraceMark();
    return RunProcess(tool, arguments, options);
  }
  process_run RunTool(const std::wstring& arguments) { return RunTool(arguments, InToolFolder()); }
  ide_state State() const { return ReadIdeState(WindowsOf(ide)); }
  std::string HandlesIni() const { return ReadBytes(folder.path + L"Handles.ini"); }

  // The last run, a leaving one, left the window `w` with its menu: attached
  // still or again, or, under Wine, which cannot attach a menu of another
  // process, handed to SetMenu as the relay trace shows.
  ::testing::AssertionResult HandedBackMenu(const ide_window_set& w) const {
    const HMENU now = GetMenu(w.main_window);
    if (now == w.menu) return ::testing::AssertionSuccess();
    if (!RunningUnderWine()) return ::testing::AssertionFailure() << "menu " << now << ", not " << w.menu;
    if (RelayTraceFile().empty()) {
      return ::testing::AssertionFailure() << "no relay trace under Wine: run through cmake/wine-traced.sh";
    }
    const std::vector<set_menu_call> calls = SetMenuCallsSince(last_run_trace);
    if (calls.empty()) return ::testing::AssertionFailure() << "the run made no SetMenu call";
    if (calls.back().window == w.main_window && calls.back().menu == w.menu) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "SetMenu(" << calls.back().window << ", " << calls.back().menu
                                         << "), not the menu " << w.menu;
  }
  // The window `w` in the normal layout after a leaving run that HandedBackMenu.
  ::testing::AssertionResult BackToNormal(const ide_window_set& w) const {
    const ::testing::AssertionResult layout = NormalLayout(ReadIdeState(w));
    return layout ? HandedBackMenu(w) : layout;
  }
};

// A run that ended by itself with exit code 0 and showed no box.
inline ::testing::AssertionResult Quietly(const process_run& run) {
  if (!run.started) return ::testing::AssertionFailure() << "did not start";
  if (!run.finished) return ::testing::AssertionFailure() << "still running at the time-out";
  if (run.exit_code != 0) return ::testing::AssertionFailure() << "exit code " << run.exit_code;
  if (!run.boxes.empty()) return ::testing::AssertionFailure() << "box: " << Narrow(run.boxes[0].text);
  return ::testing::AssertionSuccess();
}

// A run that showed exactly this one box and then ended with exit code 0.
inline ::testing::AssertionResult EndedWithBox(const process_run& run, const std::wstring& caption,
                                               const std::wstring& text) {
  if (!run.finished || run.exit_code != 0) {
    return ::testing::AssertionFailure() << "finished " << run.finished << ", exit code " << run.exit_code;
  }
  if (run.boxes.size() != 1) return ::testing::AssertionFailure() << run.boxes.size() << " boxes";
  if (run.boxes[0].caption != caption || run.boxes[0].text != text) {
    return ::testing::AssertionFailure() << "box \"" << Narrow(run.boxes[0].caption) << "\": "
                                         << Narrow(run.boxes[0].text);
  }
  return ::testing::AssertionSuccess();
}
