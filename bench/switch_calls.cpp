// The floor of a switch: only its window calls, made by the tool's own code in
// the order the switch makes them, on windows whose handles are given on the
// command line. No discovery, no Handles.ini, no fault handler, no turn: what
// is left is the process and the IDE's work for each call. Built the way
// Corvalin.exe is.
// Usage: switch_calls ARGUMENT MAIN TOOL_BAR FILE_TAB_BAR SPLITTER TAB_CONTROL MENU
// (ARGUMENT as the tool gets it; handles in decimal; MENU is the one a leaving
// run attaches). Built also with SLEEPING_THREAD, which starts the second
// thread that the tool's time limit needs, to show what that costs.
#include <windows.h>

#include <cwchar>

#include "driver/launch.h"
#include "driver/switch.h"

namespace {

// The numbers after the program's own path and the argument.
void ReadNumbers(long long* numbers, int count) {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') p = wcschr(p + 1, L'"') + 1;
  while (*p && *p != L' ') ++p;
  while (*p == L' ') ++p;
  while (*p && *p != L' ') ++p;
  for (int i = 0; i < count; ++i) numbers[i] = std::wcstoll(p, const_cast<wchar_t**>(&p), 10);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#ifdef SLEEPING_THREAD
  // As the tool's time limit has: a second thread, asleep through the switch.
  CloseHandle(CreateThread(nullptr, 0, [](void*) -> DWORD { Sleep(INFINITE); return 0; }, nullptr, 0, nullptr));
#endif
  long long n[6] = {};
  ReadNumbers(n, 6);
  const ide_windows w{reinterpret_cast<HWND>(n[0]), reinterpret_cast<HWND>(n[1]), reinterpret_cast<HWND>(n[2]),
                      reinterpret_cast<HWND>(n[3]), reinterpret_cast<HWND>(n[4])};
  const layout_type type = LayoutType(FirstArgument(GetCommandLineW()));
  WorkInDpiAwarenessOf(w.main_window);
  const bool entering = EntersFullscreen(w.main_window);
  SwitchWindows(w, type, entering, entering ? GetMenu(w.main_window) : reinterpret_cast<HMENU>(n[5]));
  ExitProcess(0);
}
