#include "standin/process_runner.h"

#include <algorithm>
#include <set>

#include "handle.h"
#include "standin/relay_trace.h"

namespace {

std::wstring EnvironmentBlock(const run_options& options) {
  std::vector<std::wstring> entries;
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* p = block; *p; p += wcslen(p) + 1) entries.emplace_back(p);
  FreeEnvironmentStringsW(block);
  auto changes = options.environment;
  if (RunningUnderWine() && !RelayTraceFile().empty()) {
    changes.insert(changes.begin(), {L"WINEDEBUG", RelayTraceDebugSetting});  // the options may set it again
  }
  for (const auto& [name, value] : changes) {
    const std::wstring prefix = name + L"=";
    std::erase_if(entries,
                  [&](const std::wstring& e) { return _wcsnicmp(e.c_str(), prefix.c_str(), prefix.size()) == 0; });
    if (value) entries.push_back(prefix + *value);
  }
  std::wstring result;
  for (const std::wstring& entry : entries) result += entry + L'\0';
  return result + L'\0';
}

struct box_search {
  const run_options* options;
  HANDLE process;
  DWORD process_id;
  std::set<HWND>* handled;
  std::vector<message_box_seen>* boxes;
};

BOOL CALLBACK CloseBoxesOf(HWND window, LPARAM parameter) {
  auto& search = *reinterpret_cast<box_search*>(parameter);
  if (!IsVisibleWindowOf(window, search.process_id, L"#32770")) return TRUE;
  if (!search.handled->insert(window).second) return TRUE;
  wchar_t caption[256] = {};
  GetWindowTextW(window, caption, 256);
  std::wstring text(8192, L'\0');
  text.resize(GetDlgItemTextW(window, 0xFFFF, text.data(), static_cast<int>(text.size())));
  search.boxes->push_back({caption, text});
  const run_options& o = *search.options;
  if (!o.on_box || o.on_box(search.process, search.boxes->back(), o.context)) {
    PostMessageW(window, WM_COMMAND, IDOK, 0);
  }
  return TRUE;
}

// Lets the suspended children go at once and waits for them all, closing their
// boxes; ends a child still running at the time-out.
void LetGoAndWait(const child_process* children, std::vector<process_run>& runs, const run_options& options) {
  for (size_t i = 0; i < runs.size(); ++i) {
    if (runs[i].started) ResumeThread(children[i].thread.get());
  }
  std::set<HWND> handled;
  const ULONGLONG deadline = GetTickCount64() + options.timeout_ms;
  for (size_t i = 0; i < runs.size(); ++i) {
    if (!runs[i].started) continue;
    runs[i].finished = true;
    while (WaitForSingleObject(children[i].process.get(), 10) == WAIT_TIMEOUT) {
      if (options.handle_messages) options.handle_messages();
      for (size_t j = i; j < runs.size(); ++j) {  // every run still going may show a box
        if (!runs[j].started) continue;
        box_search search{&options, children[j].process.get(), runs[j].process_id, &handled, &runs[j].boxes};
        EnumWindows(CloseBoxesOf, reinterpret_cast<LPARAM>(&search));
      }
      if (GetTickCount64() > deadline) {
        TerminateProcess(children[i].process.get(), 99);
        WaitForSingleObject(children[i].process.get(), INFINITE);
        runs[i].finished = false;
        break;
      }
    }
    GetExitCodeProcess(children[i].process.get(), &runs[i].exit_code);
  }
}

// Attributes that make a new process the child of `parent`; they live in `storage`.
LPPROC_THREAD_ATTRIBUTE_LIST ParentAttribute(HANDLE& parent, std::vector<char>& storage) {
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  storage.assign(size, '\0');
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  if (!InitializeProcThreadAttributeList(list, 1, 0, &size) ||
      !UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_PARENT_PROCESS, &parent, sizeof parent, nullptr,
                                 nullptr)) {
    return nullptr;
  }
  return list;
}

}  // namespace

bool IsVisibleWindowOf(HWND window, DWORD process_id, const wchar_t* class_name) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return owner == process_id && wcscmp(name, class_name) == 0 && IsWindowVisible(window);
}

child_process StartChild(const std::wstring& exe, const std::wstring& arguments, DWORD flags,
                         const std::wstring& folder, HANDLE parent, wchar_t* environment) {
  std::wstring command_line = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  std::vector<char> attributes;
  if (parent) {
    if (!(startup.lpAttributeList = ParentAttribute(parent, attributes))) return {};
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  if (environment) flags |= CREATE_UNICODE_ENVIRONMENT;
  PROCESS_INFORMATION started{};
  // Wine now and then fails to set a new process up ("failed to map the shared
  // user data"): such a start is tried once more.
  for (int attempt = 0; attempt < 2 && !started.hProcess; ++attempt) {
    CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, flags, environment,
                   folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, &started);
  }
  if (startup.lpAttributeList) DeleteProcThreadAttributeList(startup.lpAttributeList);
  return {unique_child(started.hProcess), unique_handle(started.hThread), started.dwProcessId};
}

std::vector<process_run> RunProcessesAtOnce(const std::wstring& exe, const std::vector<std::wstring>& arguments,
                                             const run_options& options, std::vector<HANDLE> parents,
                                             std::vector<std::wstring> exes) {
  std::vector<process_run> runs(arguments.size());
  std::vector<child_process> children(arguments.size());
  std::wstring environment = EnvironmentBlock(options);
  parents.resize(arguments.size());
  exes.resize(arguments.size());
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::wstring& program = exes[i].empty() ? exe : exes[i];
    children[i] = StartChild(program, arguments[i], CREATE_SUSPENDED, options.folder, parents[i], environment.data());
    runs[i].started = static_cast<bool>(children[i].process);
    runs[i].process_id = children[i].id;
  }
  LetGoAndWait(children.data(), runs, options);
  return runs;
}

process_run ResumeAndWait(const child_process& suspended, const run_options& options) {
  std::vector<process_run> runs(1);
  runs[0].started = true;
  runs[0].process_id = suspended.id;
  LetGoAndWait(&suspended, runs, options);
  return runs[0];
}

process_run RunProcess(const std::wstring& exe, const std::wstring& arguments, const run_options& options) {
  return RunProcessesAtOnce(exe, {arguments}, options)[0];
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}
