// The floor of a switch: only its window calls, in the order the switch makes
// them, on windows whose handles are given on the command line. No discovery,
// no Handles.ini, no fault handler, no turn: what is left is the process and
// the IDE's work for each call. Built the way Corvalin.exe is.
// Usage: switch_calls TYPE MAIN TOOL_BAR FILE_TAB_BAR SPLITTER TAB_CONTROL MENU
// (TYPE 1 or 2; handles in decimal; MENU is the one a leaving run attaches).
#include <windows.h>

#include <cwchar>

namespace {

struct switch_windows {
  HWND main_window, tool_bar, file_tab_bar, splitter, tab_control;
  HMENU menu;
};

// The numbers after the program's own path.
void ReadNumbers(long long* numbers, int count) {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') p = wcschr(p + 1, L'"') + 1;
  while (*p && *p != L' ') ++p;
  for (int i = 0; i < count; ++i) numbers[i] = std::wcstoll(p, const_cast<wchar_t**>(&p), 10);
}

void SetBorder(HWND window, bool border) {
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  SetWindowLongPtrW(window, GWL_STYLE, border ? style | WS_BORDER : style & ~static_cast<LONG_PTR>(WS_BORDER));
}

void Enter(const switch_windows& w, int type) {
  GetMenu(w.main_window);
  SetBorder(w.main_window, false);
  if (type == 1) {
    ShowWindow(w.tool_bar, SW_HIDE);
    ShowWindow(w.file_tab_bar, SW_HIDE);
  }
  SetMenu(w.main_window, nullptr);
  ShowWindow(w.main_window, SW_SHOWNORMAL);
  ShowWindow(w.main_window, SW_SHOWMAXIMIZED);
  RECT window{};
  GetWindowRect(w.main_window, &window);
  if (type == 1) {
    SetWindowPos(w.splitter, nullptr, 0, -25, window.right - window.left, window.bottom - window.top - 15,
                 SWP_NOZORDER | SWP_FRAMECHANGED);
    RECT tab{};
    GetWindowRect(w.tab_control, &tab);
    SetWindowPos(w.tab_control, nullptr, tab.left, tab.top + 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  } else {
    SetWindowPos(w.splitter, nullptr, 0, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  }
}

void Leave(const switch_windows& w) {
  SetBorder(w.main_window, true);
  ShowWindow(w.tool_bar, SW_SHOW);
  ShowWindow(w.file_tab_bar, SW_SHOW);
  SetMenu(w.main_window, w.menu);
  ShowWindow(w.main_window, SW_SHOWNORMAL);
  ShowWindow(w.main_window, SW_SHOWMAXIMIZED);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  long long n[7] = {};
  ReadNumbers(n, 7);
  const switch_windows w{reinterpret_cast<HWND>(n[1]),  reinterpret_cast<HWND>(n[2]),
                         reinterpret_cast<HWND>(n[3]),  reinterpret_cast<HWND>(n[4]),
                         reinterpret_cast<HWND>(n[5]),  reinterpret_cast<HMENU>(n[6])};
  if (GetWindowLongPtrW(w.main_window, GWL_STYLE) & WS_BORDER) Enter(w, static_cast<int>(n[0])); else Leave(w);
  SetWindowPos(w.main_window, nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  ExitProcess(0);
}
