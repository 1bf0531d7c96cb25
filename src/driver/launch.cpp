#include "driver/launch.h"

#include <tlhelp32.h>

#include <cwchar>

#include "environment/environment.h"
#include "handle.h"

namespace {

struct command_line_cursor {
  std::wstring_view text;
  size_t position;
};

// The next token, or false at the end. Only the space separates tokens; a
// double quote keeps spaces inside a token.
bool NextToken(command_line_cursor& cursor, std::wstring_view& token) {
  std::wstring_view s = cursor.text;
  size_t& i = cursor.position;
  while (i < s.size() && s[i] == L' ') ++i;
  if (i >= s.size()) return false;
  if (s[i] == L'"') {
    size_t start = ++i;
    while (i < s.size() && s[i] != L'"') ++i;
    token = s.substr(start, i - start);
    if (i < s.size()) ++i;  // the next token starts right after the closing quote
    return true;
  }
  size_t start = i;
  bool quoted = false;
  while (i < s.size() && (quoted || s[i] != L' ')) {
    if (s[i] == L'"') quoted = !quoted;
    ++i;
  }
  token = s.substr(start, i - start);
  return true;
}

// A parent that has ended leaves its id free for a newer process: only a
// process created before this one can have started it.
bool StartedBeforeThisProcess(DWORD process_id) {
  unique_handle process{OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id)};
  FILETIME created{}, self_created{}, unused{};
  return process && GetProcessTimes(process.get(), &created, &unused, &unused, &unused) &&
         GetProcessTimes(GetCurrentProcess(), &self_created, &unused, &unused, &unused) &&
         CompareFileTime(&created, &self_created) <= 0;
}

// The IDE names its main window to every tool it starts, in decimal.
bool OwnsNamedMainWindow(DWORD process_id) {
  const std::wstring text = EnvironmentValue(L"PB_TOOL_MainWindow");
  wchar_t* end = nullptr;
  const auto window = reinterpret_cast<HWND>(static_cast<intptr_t>(wcstoll(text.c_str(), &end, 10)));
  DWORD owner = 0;
  return !text.empty() && *end == L'\0' && window && GetWindowThreadProcessId(window, &owner) && owner == process_id;
}

}  // namespace

std::wstring FirstArgument(std::wstring_view command_line) {
  command_line_cursor cursor{command_line, 0};
  std::wstring_view program, token;
  if (!NextToken(cursor, program) || !NextToken(cursor, token)) return {};
  std::wstring argument;
  argument.reserve(token.size());
  for (wchar_t c : token) {
    if (c != L'"') argument += c;
  }
  return argument;
}

std::wstring ReadLayoutArgument() {
  std::wstring argument = FirstArgument(GetCommandLineW());
  if (!argument.empty()) CharLowerW(argument.data());
  return argument;
}

DWORD FindParentProcessId() {
  unique_file snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
  if (!snapshot) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID != self) continue;
    const DWORD parent = entry.th32ParentProcessID;
    // Creation times follow the wall clock, which may have been set back since
    // the IDE started: the window the IDE named decides first.
    return OwnsNamedMainWindow(parent) || StartedBeforeThisProcess(parent) ? parent : 0;
  }
  return 0;
}

