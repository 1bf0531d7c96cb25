#include "driver/discovery.h"

#include <string>

#include "driver/run.h"
#include "message.h"

ide_windows IdeWindows{};

namespace {

constexpr LONG_PTR CaptionBits = WS_BORDER | WS_DLGFRAME;  // either one marks the IDE window
constexpr intptr_t FileTabBarId = 1;
constexpr intptr_t SplitterId = 5;
constexpr int ClassNameLength = 1024;

int64_t SearchedProcessId = 0;

std::wstring ReadClassName(HWND window) {
  std::wstring name(ClassNameLength, L' ');
  GetClassNameW(window, name.data(), ClassNameLength);
  return name.substr(0, name.find(L'\0'));
}

bool IsControl(HWND window, const wchar_t* class_name, intptr_t id) {
  return ReadClassName(window) == class_name &&
         reinterpret_cast<intptr_t>(GetPropW(window, L"PB_ID")) == id;
}

BOOL StoreIfMatch(bool match, HWND window, LPARAM target) {
  if (!match) return TRUE;
  *reinterpret_cast<HWND*>(target) = window;
  return FALSE;
}

[[noreturn]] void Fail(const wchar_t* text) {
  ShowMessage(L"Error", text, MB_OK | MB_ICONERROR);
  ExitTool();
}

// Enumeration callbacks: each stores a match at the HWND whose address is `target`.
BOOL CALLBACK IsIdeMainWindow(HWND window, LPARAM target) {
  if ((GetWindowLongPtrW(window, GWL_STYLE) & CaptionBits) == 0) return TRUE;
  if ((GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) == 0) return TRUE;
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != SearchedProcessId) return TRUE;
  return StoreIfMatch(ReadClassName(window) == L"WindowClass_2", window, target);
}

BOOL CALLBACK IsFileTabBar(HWND window, LPARAM target) {
  return StoreIfMatch(IsControl(window, L"PureCanvas", FileTabBarId), window, target);
}

BOOL CALLBACK IsSplitter(HWND window, LPARAM target) {
  return StoreIfMatch(IsControl(window, L"PureSplitter", SplitterId), window, target);
}

}  // namespace

void DiscoverIdeWindows(int64_t parent_process_id) {
  ide_windows& w = IdeWindows;
  SearchedProcessId = parent_process_id;
  EnumWindows(IsIdeMainWindow, reinterpret_cast<LPARAM>(&w.main_window));
  if (!w.main_window) Fail(L"The PureBasic or SpiderBasic window could not be determined.");
  w.tool_bar = FindWindowExW(w.main_window, nullptr, L"ToolbarWindow32", nullptr);
  if (!w.tool_bar) Fail(L"ToolbarWindow32 could not be detected.");
  EnumChildWindows(w.main_window, IsFileTabBar, reinterpret_cast<LPARAM>(&w.file_tab_bar));
  if (!w.file_tab_bar) Fail(L"TabBar could not be detected.");
  EnumChildWindows(w.main_window, IsSplitter, reinterpret_cast<LPARAM>(&w.splitter));
  if (!w.splitter) Fail(L"PureSplitter could not be detected.");
  w.tab_control = FindWindowExW(w.splitter, nullptr, L"SysTabControl32", nullptr);
  if (!w.tab_control) Fail(L"SysTabControl32 could not be detected.");
}
