#include "standin/standin_ide.h"

#include <commctrl.h>

#include <algorithm>
#include <set>

#include "handle.h"
#include "standin/relay_trace.h"

struct standin_ide {
  ide_options options;
  ide_window_set windows;
  unique_handle thread;
  DWORD thread_id;
  unique_handle ready;
  HWND editor = nullptr;     // the splitter's upper child
  HWND tab_panel = nullptr;  // the splitter's lower child: the tab control or the panel holding it
};

namespace {

constexpr UINT RunActionMessage = WM_APP + 1;
constexpr UINT PauseMessage = WM_APP + 2;
constexpr int ToolBarHeight = 28;
constexpr int FileTabBarHeight = 24;
constexpr int TabControlHeight = 130;

struct ide_action {
  void (*action)(void*);
  void* context;
  HANDLE done;
};

constexpr UINT PlaceFlags = SWP_NOZORDER | SWP_NOACTIVATE;

const standin_ide* IdeOf(HWND window) {
  return reinterpret_cast<const standin_ide*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// By its style bit, so that the layout of a hidden main window counts its bars.
bool Shown(HWND control) { return control && (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE); }

// The editor over the splitter's area, the tab control docked at its bottom.
void LayOutSplitter(const standin_ide& ide) {
  const ide_window_set& w = ide.windows;
  RECT area{};
  GetClientRect(w.splitter, &area);
  const int panel = ide.tab_panel ? std::min<int>(TabControlHeight, area.bottom) : 0;
  if (ide.editor) SetWindowPos(ide.editor, nullptr, 0, 0, area.right, area.bottom - panel, PlaceFlags);
  if (!ide.tab_panel) return;
  SetWindowPos(ide.tab_panel, nullptr, 0, area.bottom - panel, area.right, TabControlHeight, PlaceFlags);
  if (ide.tab_panel != w.tab_control) SetWindowPos(w.tab_control, nullptr, 0, 0, area.right, TabControlHeight, PlaceFlags);
}

// Tool bar and file tab bar across the top, each only while it is shown; the
// splitter over the rest of the client area.
void LayOutMainWindow(const standin_ide& ide) {
  const ide_window_set& w = ide.windows;
  RECT client{};
  GetClientRect(w.main_window, &client);
  int top = 0;
  if (Shown(w.tool_bar)) {
    SendMessageW(w.tool_bar, TB_AUTOSIZE, 0, 0);  // the tool bar takes the client's width and its height itself
    RECT bar{};
    GetWindowRect(w.tool_bar, &bar);
    top += bar.bottom - bar.top;
  }
  if (Shown(w.file_tab_bar)) {
    SetWindowPos(w.file_tab_bar, nullptr, 0, top, client.right, FileTabBarHeight, PlaceFlags);
    top += FileTabBarHeight;
  }
  if (!w.splitter) return;
  SetWindowPos(w.splitter, nullptr, 0, top, client.right, std::max<int>(0, client.bottom - top), PlaceFlags);
  LayOutSplitter(ide);  // also when only its place changed
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_CLOSE) return 0;  // the test decides when the IDE ends
  const standin_ide* ide = IdeOf(window);
  if (message == WM_SIZE && w != SIZE_MINIMIZED && ide && ide->options.relayout) LayOutMainWindow(*ide);
  if (message == WM_STYLECHANGED && InSendMessage() && ide) {  // changed by the tool, not by the IDE itself
    if (ide->options.pause_at_style_change_ms) Sleep(ide->options.pause_at_style_change_ms);
    if (ide->options.destroy_at_style_change) DestroyWindow(window);
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

LRESULT CALLBACK SplitterProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  const standin_ide* ide = IdeOf(window);
  if (message == WM_SIZE && ide && ide->options.relayout) LayOutSplitter(*ide);
  return DefWindowProcW(window, message, w, l);
}

void PaintFileTabs(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  const wchar_t* names[] = {L"Main.pb", L"Tools.pbi", L"Dialogs.pbf"};
  SetBkMode(dc, TRANSPARENT);
  int x = 4;
  for (int i = 0; i < 3; ++i) {
    RECT tab = {x, 2, x + 110, client.bottom};
    FillRect(dc, &tab, GetSysColorBrush(i == 0 ? COLOR_WINDOW : COLOR_3DLIGHT));
    FrameRect(dc, &tab, GetSysColorBrush(COLOR_3DSHADOW));
    DrawTextW(dc, names[i], -1, &tab, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    x += 114;
  }
  EndPaint(window, &paint);
}

LRESULT CALLBACK CanvasProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_PAINT) {
    PaintFileTabs(window);
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

void RegisterClassOnce(const wchar_t* name, WNDPROC procedure, int background) {
  WNDCLASSEXW c{};
  c.cbSize = sizeof c;
  if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &c)) return;
  c.lpfnWndProc = procedure;
  c.hInstance = GetModuleHandleW(nullptr);
  c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  c.hbrBackground = GetSysColorBrush(background);
  c.lpszClassName = name;
  RegisterClassExW(&c);
}

HMENU MakeMenu() {
  HMENU bar = CreateMenu();
  const wchar_t* titles[] = {L"&File", L"&Edit", L"&Project", L"&Compiler", L"&Debugger", L"&Tools", L"&Help"};
  for (const wchar_t* title : titles) {
    HMENU popup = CreatePopupMenu();
    AppendMenuW(popup, MF_STRING, 100, L"&New");
    AppendMenuW(popup, MF_STRING, 101, L"&Open...");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), title);
  }
  return bar;
}

HWND Child(const wchar_t* class_name, const wchar_t* text, DWORD style, HWND parent, int x, int y, int w, int h) {
  return CreateWindowExW(0, class_name, text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, x, y, w, h, parent,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

HWND MakeToolBar(HWND parent) {
  HWND bar = Child(TOOLBARCLASSNAMEW, L"", TBSTYLE_FLAT | CCS_NODIVIDER, parent, 0, 0, 0, 0);
  SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  TBADDBITMAP bitmaps = {HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
  SendMessageW(bar, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&bitmaps));
  const int images[] = {STD_FILENEW, STD_FILEOPEN, STD_FILESAVE, -1, STD_CUT, STD_COPY, STD_PASTE, -1,
                        STD_UNDO, STD_REDOW, -1, STD_FIND, STD_PRINT, STD_HELP};
  for (int image : images) {
    TBBUTTON button{};
    button.iBitmap = image < 0 ? 0 : image;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = image < 0 ? BTNS_SEP : BTNS_BUTTON;
    SendMessageW(bar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
  }
  SendMessageW(bar, TB_AUTOSIZE, 0, 0);
  return bar;
}

const wchar_t EditorText[] =
    L"; Main.pb\r\n\r\nEnableExplicit\r\n\r\nProcedure Greet(Name$)\r\n  MessageRequester(\"Hello\", "
    L"\"Hello, \" + Name$ + \"!\")\r\nEndProcedure\r\n\r\nGreet(\"World\")\r\n";

void MakeSplitter(standin_ide& ide, int width, int height) {
  const ide_options& o = ide.options;
  ide_window_set& w = ide.windows;
  int top = ToolBarHeight + FileTabBarHeight;
  w.splitter = Child(L"PureSplitter", L"", WS_CLIPCHILDREN, w.main_window, 0, top, width, height - top);
  SetWindowLongPtrW(w.splitter, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&ide));
  if (o.splitter_id) SetPropW(w.splitter, L"PB_ID", reinterpret_cast<HANDLE>(o.splitter_id));
  int editor_height = height - top - TabControlHeight;
  ide.editor = Child(L"EDIT", EditorText, ES_MULTILINE | WS_VSCROLL | WS_BORDER, w.splitter, 0, 0, width, editor_height);
  if (!o.tab_control) return;
  HWND tab_parent = w.splitter;
  int tab_y = editor_height;
  if (o.tab_control_as_grandchild) {
    tab_parent = Child(L"STATIC", L"", 0, w.splitter, 0, editor_height, width, TabControlHeight);
    tab_y = 0;
  }
  w.tab_control = Child(WC_TABCONTROLW, L"", 0, tab_parent, 0, tab_y, width, TabControlHeight);
  ide.tab_panel = o.tab_control_as_grandchild ? tab_parent : w.tab_control;
  const wchar_t* tabs[] = {L"Compiler output", L"Debugger", L"Search results"};
  for (int i = 0; i < 3; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(tabs[i]);
    SendMessageW(w.tab_control, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
}

void MakeWindows(standin_ide& ide) {
  const ide_options& o = ide.options;
  ide_window_set& w = ide.windows;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterClassOnce(o.main_class.c_str(), MainWindowProc, COLOR_APPWORKSPACE);
  RegisterClassOnce(L"PureCanvas", CanvasProc, COLOR_BTNFACE);
  RegisterClassOnce(L"PureSplitter", SplitterProc, COLOR_BTNFACE);
  const RECT& b = o.normal_bounds;
  LONG_PTR style = (WS_OVERLAPPEDWINDOW & ~WS_CAPTION) | o.caption_bits | WS_CLIPCHILDREN;
  if (o.caption_bits == 0) style |= WS_POPUP;  // an overlapped window always gets a caption
  w.menu = o.menu ? MakeMenu() : nullptr;
  w.main_window = CreateWindowExW(0, o.main_class.c_str(), L"Stand-in IDE - Main.pb", static_cast<DWORD>(style),
                                  b.left, b.top, b.right - b.left, b.bottom - b.top, nullptr, w.menu,
                                  GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(w.main_window, GWL_STYLE, style);
  SetWindowLongPtrW(w.main_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&ide));
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  int width = work.right - work.left, height = work.bottom - work.top - 60;
  if (o.tool_bar) w.tool_bar = MakeToolBar(w.main_window);
  if (o.file_tab_bar) {
    w.file_tab_bar = Child(L"PureCanvas", L"", 0, w.main_window, 0, ToolBarHeight, width, FileTabBarHeight);
    if (o.file_tab_bar_id) SetPropW(w.file_tab_bar, L"PB_ID", reinterpret_cast<HANDLE>(o.file_tab_bar_id));
  }
  if (o.splitter) MakeSplitter(ide, width, height);
  if (o.relayout) LayOutMainWindow(ide);
  if (o.visible) ShowWindow(w.main_window, o.maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  UpdateWindow(w.main_window);
}

DWORD WINAPI IdeThread(void* parameter) {
  standin_ide& ide = *static_cast<standin_ide*>(parameter);
  MakeWindows(ide);
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here
  SetEvent(ide.ready.get());
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd == nullptr && message.message == RunActionMessage) {
      auto* action = reinterpret_cast<ide_action*>(message.lParam);
      action->action(action->context);
      SetEvent(action->done);
      continue;
    }
    if (message.hwnd == nullptr && message.message == PauseMessage) {
      Sleep(static_cast<DWORD>(message.wParam));
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  DestroyWindow(ide.windows.main_window);
  UnregisterClassW(ide.options.main_class.c_str(), GetModuleHandleW(nullptr));
  return 0;
}

RECT RectInClient(HWND window, HWND parent) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

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
    std::wstring prefix = name + L"=";
    for (auto it = entries.begin(); it != entries.end();) {
      bool same = it->size() >= prefix.size() && CompareStringOrdinal(it->c_str(), static_cast<int>(prefix.size()),
                                                                      prefix.c_str(), -1, TRUE) == CSTR_EQUAL;
      it = same ? entries.erase(it) : it + 1;
    }
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

}  // namespace

bool IsVisibleWindowOf(HWND window, DWORD process_id, const wchar_t* class_name) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return owner == process_id && wcscmp(name, class_name) == 0 && IsWindowVisible(window);
}

standin_ide* StartStandinIde(const ide_options& options) {
  auto* ide = new standin_ide{options, {}, {}, 0, unique_handle{CreateEventW(nullptr, TRUE, FALSE, nullptr)}};
  ide->thread.reset(CreateThread(nullptr, 0, IdeThread, ide, 0, &ide->thread_id));
  WaitForSingleObject(ide->ready.get(), INFINITE);
  return ide;
}

const ide_window_set& WindowsOf(const standin_ide* ide) { return ide->windows; }

void RunOnIdeThread(standin_ide* ide, void (*action)(void*), void* context) {
  const unique_handle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  ide_action request{action, context, done.get()};
  PostThreadMessageW(ide->thread_id, RunActionMessage, 0, reinterpret_cast<LPARAM>(&request));
  WaitForSingleObject(done.get(), INFINITE);
}

void PauseIde(standin_ide* ide, DWORD milliseconds) {
  PostThreadMessageW(ide->thread_id, PauseMessage, milliseconds, 0);
}

void StopStandinIde(standin_ide* ide) {
  if (!ide) return;
  PostThreadMessageW(ide->thread_id, WM_QUIT, 0, 0);
  WaitForSingleObject(ide->thread.get(), INFINITE);
  delete ide;
}

ide_state ReadIdeState(const ide_window_set& w) {
  ide_state s{};
  s.style = GetWindowLongPtrW(w.main_window, GWL_STYLE);
  s.menu = GetMenu(w.main_window);
  s.menu_property = GetPropW(w.main_window, L"Corvalin.MenuHandle");
  s.tool_bar_visible = Shown(w.tool_bar);
  s.file_tab_bar_visible = Shown(w.file_tab_bar);
  s.maximized = IsZoomed(w.main_window);
  if (w.splitter) s.splitter = RectInClient(w.splitter, w.main_window);
  if (w.tab_control) s.tab_control = RectInClient(w.tab_control, GetParent(w.tab_control));
  return s;
}

std::wstring DescribeIdeState(const ide_state& s) {
  auto yes_no = [](bool b) { return std::wstring(b ? L"yes" : L"no"); };
  auto rect = [](const RECT& r) {
    return L"(" + std::to_wstring(r.left) + L", " + std::to_wstring(r.top) + L") " +
           std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top);
  };
  return L"border " + yes_no(s.style & WS_BORDER) + L", caption frame " + yes_no(s.style & WS_DLGFRAME) +
         L", menu " + yes_no(s.menu != nullptr) + L", tool bar " + yes_no(s.tool_bar_visible) +
         L", file tab bar " + yes_no(s.file_tab_bar_visible) + L", maximized " + yes_no(s.maximized) +
         L", splitter " + rect(s.splitter) + L", tab control " + rect(s.tab_control);
}

namespace {

// Lets the suspended children go at once and waits for them all, closing their
// boxes; ends a child still running at the time-out.
void LetGoAndWait(const std::vector<PROCESS_INFORMATION>& children, std::vector<process_run>& runs,
                  const run_options& options) {
  for (size_t i = 0; i < runs.size(); ++i) {
    if (runs[i].started) ResumeThread(children[i].hThread);
  }
  std::set<HWND> handled;
  const ULONGLONG deadline = GetTickCount64() + options.timeout_ms;
  for (size_t i = 0; i < runs.size(); ++i) {
    if (!runs[i].started) continue;
    runs[i].finished = true;
    while (WaitForSingleObject(children[i].hProcess, 10) == WAIT_TIMEOUT) {
      for (size_t j = i; j < runs.size(); ++j) {  // every run still going may show a box
        if (!runs[j].started) continue;
        box_search search{&options, children[j].hProcess, runs[j].process_id, &handled, &runs[j].boxes};
        EnumWindows(CloseBoxesOf, reinterpret_cast<LPARAM>(&search));
      }
      if (GetTickCount64() > deadline) {
        TerminateProcess(children[i].hProcess, 99);
        WaitForSingleObject(children[i].hProcess, INFINITE);
        runs[i].finished = false;
        break;
      }
    }
    GetExitCodeProcess(children[i].hProcess, &runs[i].exit_code);
  }
}

}  // namespace

std::vector<process_run> RunProcessesAtOnce(const std::wstring& exe, const std::vector<std::wstring>& arguments,
                                             const run_options& options) {
  std::vector<process_run> runs(arguments.size());
  std::vector<PROCESS_INFORMATION> children(arguments.size());
  std::vector<unique_handle> owned;  // closes the children's handles
  std::wstring environment = EnvironmentBlock(options);
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::wstring command_line = L"\"" + exe + L"\"" + (arguments[i].empty() ? L"" : L" " + arguments[i]);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    runs[i].started = CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                                     CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED, environment.data(),
                                     options.folder.empty() ? nullptr : options.folder.c_str(), &startup,
                                     &children[i]);
    owned.emplace_back(children[i].hProcess);
    owned.emplace_back(children[i].hThread);
    runs[i].process_id = children[i].dwProcessId;
  }
  LetGoAndWait(children, runs, options);
  return runs;
}

process_run ResumeAndWait(const PROCESS_INFORMATION& suspended, const run_options& options) {
  std::vector<process_run> runs(1);
  runs[0].started = true;
  runs[0].process_id = suspended.dwProcessId;
  LetGoAndWait({suspended}, runs, options);
  return runs[0];
}

process_run RunProcess(const std::wstring& exe, const std::wstring& arguments, const run_options& options) {
  return RunProcessesAtOnce(exe, {arguments}, options)[0];
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}
