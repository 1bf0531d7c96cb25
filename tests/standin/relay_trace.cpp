#include "standin/relay_trace.h"

#include <cstdio>
#include <cstring>

#include "test_support.h"

std::wstring RelayTraceFile() {
  wchar_t value[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(L"CORVALIN_RELAY_TRACE", value, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring path = value;
  if (path[0] == L'/') {  // a Unix path, as the wrapper script sets it: drive Z: is the root
    for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
    path = L"Z:" + path;
  }
  return path;
}

uint64_t RelayTraceMark() {
  const int64_t size = FileSize(RelayTraceFile());  // no trace: -1
  return size < 0 ? 0 : static_cast<uint64_t>(size);
}

// A line reads "0104:0108:Call user32.SetMenu(0001004e,00000000) ret=14001bb5c":
// process id, thread id, then the window and the menu, all hexadecimal.
std::vector<set_menu_call> SetMenuCallsSince(uint64_t mark) {
  std::vector<set_menu_call> calls;
  const std::string trace = ReadBytes(RelayTraceFile());  // no trace: "<missing>", which holds no call
  if (mark > trace.size()) return calls;
  const char* const call = ":Call user32.SetMenu(";
  for (size_t at = trace.find(call, mark); at != std::string::npos; at = trace.find(call, at + 1)) {
    const size_t line = trace.rfind('\n', at) + 1;  // npos + 1 is 0: the first line
    unsigned long process = 0;
    unsigned long long window = 0, menu = 0;
    if (std::sscanf(trace.c_str() + line, "%lx:", &process) != 1) continue;
    if (std::sscanf(trace.c_str() + at + std::strlen(call), "%llx,%llx", &window, &menu) != 2) continue;
    calls.push_back({static_cast<DWORD>(process), reinterpret_cast<HWND>(window), reinterpret_cast<HMENU>(menu)});
  }
  return calls;
}
