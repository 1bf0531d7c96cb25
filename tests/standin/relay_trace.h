// Which menu handles programs handed to SetMenu, read from Wine's relay trace.
// Wine cannot attach a menu to a window of another process, so under Wine the
// trace is how a test sees the menu a leaving run hands back. Under CTest,
// cmake/wine-traced.sh sends the test program's standard error, and so its
// children's, to the file named by CORVALIN_RELAY_TRACE; the runner turns the
// trace on for each child it starts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct set_menu_call {
  DWORD process_id;
  HWND window;
  HMENU menu;
};

// The trace file, as a Windows path; empty when there is none.
std::wstring RelayTraceFile();
// The position in the trace now: calls after it are those of later runs.
uint64_t RelayTraceMark();
// The SetMenu calls traced since `mark`, in the order they were made.
std::vector<set_menu_call> SetMenuCallsSince(uint64_t mark);
// The value of WINEDEBUG that traces a child's SetMenu calls with its process id.
constexpr const wchar_t* RelayTraceDebugSetting = L"+pid,+relay";
