// The fullscreen switch of the IDE main window, and back.
#pragma once

#include <windows.h>

#include <string>

#include "driver/discovery.h"
#include "driver/run_stage.h"

enum class layout_type { type_1, type_2, other };

// The window property that keeps the menu handle on the IDE window itself while
// it is in the fullscreen layout, in case "Handles.ini" cannot keep it.
constexpr const wchar_t* MenuHandleProperty = L"Corvalin.MenuHandle";

// Runs that overlap take turns per IDE window: a run waits at most TurnTimeoutMs
// for its turn and leaves the window as it is when the turn does not come or
// cannot be had. With the turn, it switches only when the IDE answers within
// IdeAnswerTimeoutMs, and from then on within the switch's time limit (run_end.h).
constexpr unsigned TurnTimeoutMs = 15000;
constexpr unsigned IdeAnswerTimeoutMs = 5000;

// The switch's decisions, as values.
layout_type LayoutType(const std::wstring& layout_argument);
std::wstring HandleGroupName(HWND main_window);
// The menu a leaving run attaches: the handle kept on the window wins over the
// file's, which may be stale or lost. None when neither has one.
HMENU MenuToRestore(HMENU recorded_in_file, HANDLE kept_on_window);

// Which bars a leaving run shows again, kept on the IDE window while it is in
// the fullscreen layout: those that were visible when it entered. A window
// without the record (entered by an older build) gets both.
constexpr const wchar_t* ShownBarsProperty = L"Corvalin.ShownBars";
struct shown_bars {
  bool tool_bar, file_tab_bar;
};
HANDLE ShownBarsRecord(shown_bars bars);
shown_bars BarsToShow(HANDLE record);

// The window's normal (restored) rectangle as it was before entering, kept on
// the IDE window while it is in the fullscreen layout and given back on leaving.
// None when a coordinate or size does not fit in 16 bits.
constexpr const wchar_t* NormalRectProperty = L"Corvalin.NormalRect";
HANDLE NormalRectRecord(RECT normal);
bool NormalRectOf(HANDLE record, RECT& normal);
// The restored window at `normal`'s place whose client area, in the frame it
// has now (`insets_now`, the window less its client area on each side), has the
// size it had in the frame it had before (`insets_before`), with the menu bar's
// `menu_dropped` pixels, which the switch took off, added.
RECT KeptInnerSizeRect(RECT normal, RECT insets_before, RECT insets_now, int menu_dropped);

// Where type 1 puts the main window, from its own frame (its window and client
// rectangles on the screen): the client area as wide as the monitor and down to
// its bottom, its top `hidden_top` pixels above the monitor's top.
RECT TypeOneWindowRect(RECT window, RECT client, RECT monitor, int hidden_top);

// Reads and sets the IDE's windows in the IDE window's own DPI awareness, so
// that what is read and what is set are the same pixels whatever the system
// scales between programs of different awareness. Windows 10 1607 and later;
// before, the process's own awareness holds.
void WorkInDpiAwarenessOf(HWND window);
// Which way a switch goes: a main window with its border enters the fullscreen layout.
bool EntersFullscreen(HWND main_window);
// The switch's window calls, once its way is known. Entering, `menu` is the
// window's own, already recorded; leaving, the one "Handles.ini" recorded.
void SwitchWindows(const ide_windows& windows, layout_type type, bool entering, HMENU menu);

// The switch: its way, the menu recorded in "Handles.ini" or read back, and
// the window calls.
void SwitchLayout(const ide_windows& windows, const std::wstring& layout_argument, stage_hook hook);
// The switch inside its turn, when the IDE answers, within the time allowed.
void SwitchLayoutGuarded(const ide_windows& windows, const std::wstring& layout_argument, stage_hook hook);
// The run's report procedure: a fault on the thread that switches gives up its
// turns first (the file's, unsaved, and the window's), so that later presses
// need not wait until the report is closed.
void ReleaseTurnAndReport();
