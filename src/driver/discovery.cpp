#include "driver/discovery.h"

#include <cstdint>
#include <string>

namespace {

constexpr LONG_PTR CaptionBits = WS_BORDER | WS_DLGFRAME;  // either one marks the IDE window
constexpr intptr_t FileTabBarId = 1;
constexpr intptr_t SplitterId = 5;
constexpr int ClassNameLength = 1024;

// What IsIdeMainWindow looks for, and where it stores the match.
struct main_window_search {
  DWORD parent_process_id;
  HWND* main_window;
};

std::wstring ReadClassName(HWND window) {
  std::wstring name(ClassNameLength, L' ');
  GetClassNameW(window, name.data(), ClassNameLength);
  return name.substr(0, name.find(L'\0'));
}

// The property first: it rules out nearly every control of the IDE, each of
// which carries one, without reading a class name from the other process.
bool IsControl(HWND window, const wchar_t* class_name, intptr_t id) {
  return reinterpret_cast<intptr_t>(GetPropW(window, L"PB_ID")) == id && ReadClassName(window) == class_name;
}

BOOL StoreIfMatch(bool match, HWND window, HWND* target) {
  if (!match) return TRUE;
  *target = window;
  return FALSE;
}

// Enumeration callbacks, each told through its LPARAM what it needs: this one a
// main_window_search, the other two the address of the handle they fill.
BOOL CALLBACK IsIdeMainWindow(HWND window, LPARAM parameter) {
  const auto& search = *reinterpret_cast<const main_window_search*>(parameter);
  if ((GetWindowLongPtrW(window, GWL_STYLE) & CaptionBits) == 0) return TRUE;
  if ((GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) == 0) return TRUE;
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search.parent_process_id) return TRUE;
  return StoreIfMatch(ReadClassName(window) == L"WindowClass_2", window, search.main_window);
}

BOOL CALLBACK IsFileTabBar(HWND window, LPARAM target) {
  return StoreIfMatch(IsControl(window, L"PureCanvas", FileTabBarId), window, reinterpret_cast<HWND*>(target));
}

BOOL CALLBACK IsSplitter(HWND window, LPARAM target) {
  return StoreIfMatch(IsControl(window, L"PureSplitter", SplitterId), window, reinterpret_cast<HWND*>(target));
}

}  // namespace

discovered_windows DiscoverIdeWindows(DWORD parent_process_id) {
  ide_windows w{};
  const main_window_search search{parent_process_id, &w.main_window};
  EnumWindows(IsIdeMainWindow, reinterpret_cast<LPARAM>(&search));
  if (!w.main_window) return {w, L"The PureBasic or SpiderBasic window could not be determined."};
  w.tool_bar = FindWindowExW(w.main_window, nullptr, L"ToolbarWindow32", nullptr);
  if (!w.tool_bar) return {w, L"ToolbarWindow32 could not be detected."};
  EnumChildWindows(w.main_window, IsFileTabBar, reinterpret_cast<LPARAM>(&w.file_tab_bar));
  if (!w.file_tab_bar) return {w, L"TabBar could not be detected."};
  EnumChildWindows(w.main_window, IsSplitter, reinterpret_cast<LPARAM>(&w.splitter));
  if (!w.splitter) return {w, L"PureSplitter could not be detected."};
  w.tab_control = FindWindowExW(w.splitter, nullptr, L"SysTabControl32", nullptr);
  if (!w.tab_control) return {w, L"SysTabControl32 could not be detected."};
  return {w, nullptr};
}
