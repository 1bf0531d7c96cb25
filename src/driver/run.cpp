#include "driver/run.h"

#include <windows.h>
#include <tlhelp32.h>

#include "coverage.h"
#include "fault/fault_handler.h"

std::wstring layout_argument;
int64_t parent_process_id = 0;

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

struct snapshot_handle {
  HANDLE handle;
  ~snapshot_handle() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

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

uint32_t FindParentProcessId() {
  snapshot_handle snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
  if (snapshot.handle == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = Process32FirstW(snapshot.handle, &entry); more; more = Process32NextW(snapshot.handle, &entry)) {
    if (entry.th32ProcessID == self) return entry.th32ParentProcessID;
  }
  return 0;
}

int ShowMessage(const std::wstring& caption, const std::wstring& text, uint32_t flags) {
  HWND owner = GetForegroundWindow();
  DWORD owner_process = 0;
  if (owner) GetWindowThreadProcessId(owner, &owner_process);
  if (owner_process != GetCurrentProcessId()) owner = nullptr;
  return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}

void ExitTool() {
  RemoveFaultHandler();
  FlushCoverage();
  ExitProcess(0);
}
