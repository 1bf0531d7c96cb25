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
  HWND panel = nullptr;  // splitter 5's panel: the tab control, or the container holding it
  int tool_bar_height = 0, status_bar_height = 0, menu_height = 0;  // measured once, at start
  bool log_shown = true;
  bool size_event_held = false;
};

namespace {

constexpr UINT RunActionMessage = WM_APP + 1;
constexpr UINT PauseMessage = WM_APP + 2;
constexpr UINT QueuedSizeMessage = WM_APP + 3;  // the size event the IDE's main loop takes later
// Logical pixels.
constexpr int FileTabBarHeight = 25;
constexpr int PanelWidth = 240;
constexpr int ErrorLogHeight = 80;
constexpr int SplitterBar = 6;
constexpr UINT PlaceFlags = SWP_NOZORDER | SWP_NOACTIVATE;

struct ide_action {
  void (*action)(void*);
  void* context;
  HANDLE done;
};

standin_ide* IdeOf(HWND window) { return reinterpret_cast<standin_ide*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

void Place(HWND window, int x, int y, int width, int height) {
  if (window) SetWindowPos(window, nullptr, x, y, std::max(width, 0), std::max(height, 0), PlaceFlags);
}

const wchar_t SourceText[] =
    L"; Main.pb: the first line\r\n\r\nEnableExplicit\r\nXIncludeFile \"Tools.pbi\"\r\n\r\nProcedure Greet(Name$)\r\n"
    L"  MessageRequester(\"Hello\", \"Hello, \" + Name$ + \"!\")\r\nEndProcedure\r\n\r\nGreet(\"World\")\r\n";

// The file tab bar at the top of the container, the active editor below it,
// whether the bar is shown or not.
void LayOutSourceContainer(const standin_ide& ide) {
  const ide_window_set& w = ide.windows;
  RECT area{};
  GetClientRect(w.container, &area);
  const int bar = Scaled(FileTabBarHeight);
  Place(w.file_tab_bar, 0, 0, area.right, bar);
  Place(w.editor, 0, bar, area.right, area.bottom - bar);
}

// The IDE's own layout: the content below the tool bar's place when the
// setting shows it, as high as the window less the heights measured at start.
// It never asks what is visible or attached now.
void LayOutMainWindow(const standin_ide& ide) {
  const ide_window_set& w = ide.windows;
  RECT inner{};  // as the IDE's runtime reports the window's size: the menu bar included
  GetClientRect(w.main_window, &inner);
  const int top = ide.options.show_tool_bar ? ide.tool_bar_height : 0;
  const int menu = GetMenu(w.main_window) ? ide.menu_height : 0;
  const int height = inner.bottom + menu - top - ide.status_bar_height - ide.menu_height;
  const bool panel = ide.options.panel != panel_side::none && w.splitter;
  Place(panel ? w.splitter : w.log_splitter, 0, top, inner.right, height);
  LayOutSourceContainer(ide);
}

// A splitter places its two parts itself when its size changes: splitter 5 the
// panel at its fixed width on one side, the log splitter beside it; the log
// splitter the error log at its fixed height below the container.
void LayOutSplitter(const standin_ide& ide, HWND splitter) {
  const ide_window_set& w = ide.windows;
  RECT area{};
  GetClientRect(splitter, &area);
  const int bar = Scaled(SplitterBar);
  if (splitter == w.log_splitter) {
    const int log = ide.log_shown ? Scaled(ErrorLogHeight) : 0;
    Place(w.container, 0, 0, area.right, area.bottom - (log ? log + bar : 0));
    Place(w.error_log, 0, area.bottom - log, area.right, log);
    return;
  }
  const int panel = ide.panel ? Scaled(PanelWidth) : 0;
  const bool left = ide.options.panel == panel_side::left;
  Place(ide.panel, left ? 0 : area.right - panel, 0, panel, area.bottom);
  if (ide.panel != w.tab_control) Place(w.tab_control, 0, 0, panel, area.bottom);
  if (GetParent(w.log_splitter) != splitter) return;
  const int rest = area.right - (panel ? panel + bar : 0);
  Place(w.log_splitter, left ? area.right - rest : 0, 0, rest, area.bottom);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_CLOSE) return 0;  // the test decides when the IDE ends
  standin_ide* ide = IdeOf(window);
  if (!ide) return DefWindowProcW(window, message, w, l);
  if (message == WM_SIZE && w != SIZE_MINIMIZED) {
    SendMessageW(ide->windows.tool_bar, TB_AUTOSIZE, 0, 0);
    SendMessageW(ide->windows.status_bar, WM_SIZE, 0, 0);
    LayOutMainWindow(*ide);  // the size event bound in real time
    if (ide->options.size_event == queued_size_event::posted) PostMessageW(window, QueuedSizeMessage, 0, 0);
    ide->size_event_held = true;
  }
  if (message == QueuedSizeMessage) LayOutMainWindow(*ide);
  if (message == WM_STYLECHANGED && InSendMessage()) {  // changed by the tool, not by the IDE itself
    if (ide->options.pause_at_style_change_ms) Sleep(ide->options.pause_at_style_change_ms);
    if (ide->options.destroy_at_style_change) DestroyWindow(window);
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

LRESULT CALLBACK SplitterProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_SIZE && IdeOf(window)) LayOutSplitter(*IdeOf(window), window);
  return DefWindowProcW(window, message, w, l);
}

// The file tabs, drawn: the active one white.
LRESULT CALLBACK CanvasProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message != WM_PAINT) return DefWindowProcW(window, message, w, l);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  SetBkMode(dc, TRANSPARENT);
  const wchar_t* const names[] = {L"Main.pb", L"Tools.pbi", L"Dialogs.pbf"};
  for (int i = 0; i < 3; ++i) {
    RECT tab = {Scaled(4 + 114 * i), Scaled(2), Scaled(114 + 114 * i), paint.rcPaint.bottom};
    FillRect(dc, &tab, GetSysColorBrush(i ? COLOR_3DLIGHT : COLOR_WINDOW));
    FrameRect(dc, &tab, GetSysColorBrush(COLOR_3DSHADOW));
    DrawTextW(dc, names[i], -1, &tab, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  EndPaint(window, &paint);
  return 0;
}

// Once per process: a second registration fails and leaves the first.
void RegisterClassOnce(const wchar_t* name, WNDPROC procedure, int background) {
  const WNDCLASSEXW c{sizeof c, 0, procedure, 0, 0, GetModuleHandleW(nullptr), nullptr, LoadCursorW(nullptr, IDC_ARROW),
                      GetSysColorBrush(background), nullptr, name, nullptr};
  RegisterClassExW(&c);
}

HMENU MakeMenu() {
  HMENU bar = CreateMenu();
  for (const wchar_t* title :
       {L"&File", L"&Edit", L"&Project", L"&Form", L"&Compiler", L"&Debugger", L"&Tools", L"&Help"}) {
    HMENU popup = CreatePopupMenu();
    AppendMenuW(popup, MF_STRING, 100, L"&New");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), title);
  }
  return bar;
}

HWND Child(const wchar_t* class_name, DWORD style, HWND parent, intptr_t pb_id = 0, const wchar_t* text = L"") {
  HWND child = CreateWindowExW(0, class_name, text, WS_CHILD | WS_CLIPSIBLINGS | style, 0, 0, 0, 0, parent, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  if (pb_id) SetPropW(child, L"PB_ID", reinterpret_cast<HANDLE>(pb_id));
  return child;
}

HWND MakeToolBar(HWND parent, bool shown) {
  HWND bar = Child(TOOLBARCLASSNAMEW, (shown ? WS_VISIBLE : 0) | TBSTYLE_FLAT | CCS_TOP | CCS_NODIVIDER, parent);
  SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  TBADDBITMAP bitmaps = {HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
  SendMessageW(bar, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&bitmaps));
  for (int image : {STD_FILENEW, STD_FILEOPEN, STD_FILESAVE, STD_CUT, STD_COPY, STD_PASTE, STD_UNDO, STD_FIND}) {
    TBBUTTON button{image, 0, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0};
    SendMessageW(bar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
  }
  SendMessageW(bar, TB_AUTOSIZE, 0, 0);
  return bar;
}

HWND MakeTabControl(HWND parent, intptr_t pb_id) {
  HWND tabs = Child(WC_TABCONTROLW, WS_VISIBLE | TCS_MULTILINE, parent, pb_id);
  int index = 0;
  for (const wchar_t* name : {L"Procedures", L"Project", L"Explorer", L"Issues", L"Templates"}) {
    TCITEMW item{TCIF_TEXT, 0, 0, const_cast<wchar_t*>(name), 0, 0, 0};
    SendMessageW(tabs, TCM_INSERTITEMW, index++, reinterpret_cast<LPARAM>(&item));
  }
  return tabs;
}

// Splitter 5 with the tools panel and, when the panel is on, the log splitter.
void MakeToolsSplitter(standin_ide& ide) {
  const ide_options& o = ide.options;
  ide_window_set& w = ide.windows;
  const bool panel = o.panel != panel_side::none;
  w.splitter = Child(L"PureSplitter", (panel ? WS_VISIBLE : 0) | WS_CLIPCHILDREN, w.main_window, o.splitter_id);
  if (!o.tab_control) return;
  ide.panel = o.tab_control_as_grandchild ? Child(L"PureContainer", WS_VISIBLE, w.splitter) : nullptr;
  w.tab_control = MakeTabControl(ide.panel ? ide.panel : w.splitter, 2);
  if (!ide.panel) ide.panel = w.tab_control;
}

void MakeWindows(standin_ide& ide) {
  const ide_options& o = ide.options;
  ide_window_set& w = ide.windows;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterClassOnce(o.main_class.c_str(), MainWindowProc, COLOR_APPWORKSPACE);
  RegisterClassOnce(L"PureCanvas", CanvasProc, COLOR_BTNFACE);
  RegisterClassOnce(L"PureSplitter", SplitterProc, COLOR_BTNFACE);
  RegisterClassOnce(L"PureContainer", DefWindowProcW, COLOR_BTNFACE);
  const RECT& b = o.normal_bounds;
  LONG_PTR style = (WS_OVERLAPPEDWINDOW & ~WS_CAPTION) | o.caption_bits | WS_CLIPCHILDREN;
  if (o.caption_bits == 0) style |= WS_POPUP;  // an overlapped window always gets a caption
  w.menu = o.menu ? MakeMenu() : nullptr;
  w.main_window = CreateWindowExW(0, o.main_class.c_str(), L"Stand-in IDE - Main.pb", static_cast<DWORD>(style),
                                  b.left, b.top, b.right - b.left, b.bottom - b.top, nullptr, w.menu,
                                  GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(w.main_window, GWL_STYLE, style);
  if (o.tool_bar) w.tool_bar = MakeToolBar(w.main_window, o.show_tool_bar);
  w.status_bar = Child(STATUSCLASSNAMEW, WS_VISIBLE | SBARS_SIZEGRIP, w.main_window, 0, L"Line: 1   Column: 1");
  if (o.splitter) MakeToolsSplitter(ide);
  const bool in_splitter = w.splitter && o.panel != panel_side::none;
  w.log_splitter = Child(L"PureSplitter", WS_VISIBLE | WS_CLIPCHILDREN, in_splitter ? w.splitter : w.main_window, 6);
  w.container = Child(L"PureContainer", WS_VISIBLE | WS_CLIPCHILDREN, w.log_splitter, 7);
  if (o.file_tab_bar) w.file_tab_bar = Child(L"PureCanvas", WS_VISIBLE, w.container, o.file_tab_bar_id);
  w.editor = Child(L"EDIT", WS_VISIBLE | ES_MULTILINE | WS_VSCROLL, w.container, 0, SourceText);
  w.error_log = Child(L"LISTBOX", WS_VISIBLE | WS_BORDER, w.log_splitter, 4);
  SendMessageW(w.error_log, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"[10:12:31] The program was ended."));
  // The hand-made tab control for a panel that hides itself, hidden.
  MakeTabControl(Child(L"PureContainer", 0, w.main_window), 0);
  const LONG_PTR self = reinterpret_cast<LONG_PTR>(&ide);
  for (HWND window : {w.main_window, w.splitter, w.log_splitter}) SetWindowLongPtrW(window, GWLP_USERDATA, self);
  RECT tool_bar{}, status_bar{};
  GetWindowRect(w.tool_bar, &tool_bar);  // none: empty
  GetWindowRect(w.status_bar, &status_bar);
  ide.tool_bar_height = tool_bar.bottom - tool_bar.top;
  ide.status_bar_height = status_bar.bottom - status_bar.top;
  ide.menu_height = GetSystemMetrics(SM_CYMENU);
  SendMessageW(w.status_bar, WM_SIZE, 0, 0);
  LayOutMainWindow(ide);
  if (o.visible) ShowWindow(w.main_window, o.maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  UpdateWindow(w.main_window);
}

void HandleIdeEvent(standin_ide& i, ide_event what) {
  ide_window_set& w = i.windows;
  if (what == ide_event::queued_size_event && i.size_event_held) LayOutMainWindow(i);
  if (what == ide_event::queued_size_event) i.size_event_held = false;
  if (what == ide_event::error_log_toggled) {
    i.log_shown = !i.log_shown;
    ShowWindow(w.error_log, i.log_shown ? SW_SHOW : SW_HIDE);
    LayOutSplitter(i, w.log_splitter);
    LayOutMainWindow(i);
  }
  if (what == ide_event::menu_rebuilt) {
    const HMENU old = w.menu;
    SetMenu(w.main_window, w.menu = MakeMenu());
    if (old) DestroyMenu(old);
  }
  if (what == ide_event::source_tab_changed) LayOutSourceContainer(i);
}

void HandleMessage(MSG& message) {
  if (message.hwnd == nullptr && message.message == RunActionMessage) {
    auto* action = reinterpret_cast<ide_action*>(message.lParam);
    action->action(action->context);
    SetEvent(action->done);
  } else if (message.hwnd == nullptr && message.message == PauseMessage) {
    Sleep(static_cast<DWORD>(message.wParam));
  } else {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void HandlePendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) HandleMessage(message);
}

DWORD WINAPI IdeThread(void* parameter) {
  standin_ide& ide = *static_cast<standin_ide*>(parameter);
  MakeWindows(ide);
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here
  SetEvent(ide.ready.get());
  while (GetMessageW(&message, nullptr, 0, 0) > 0) HandleMessage(message);
  DestroyWindow(ide.windows.main_window);
  UnregisterClassW(ide.options.main_class.c_str(), GetModuleHandleW(nullptr));
  return 0;
}

RECT RectIn(HWND window, HWND parent) {
  RECT r{};
  if (!window) return r;
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::wstring Describe(const RECT& r) {
  return L"(" + std::to_wstring(r.left) + L", " + std::to_wstring(r.top) + L") " + std::to_wstring(r.right - r.left) +
         L"x" + std::to_wstring(r.bottom - r.top);
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

}  // namespace

int Scaled(int logical) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return MulDiv(logical, dpi, 96);
}

bool IsVisibleWindowOf(HWND window, DWORD process_id, const wchar_t* class_name) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return owner == process_id && wcscmp(name, class_name) == 0 && IsWindowVisible(window);
}

standin_ide* StartStandinIde(const ide_options& options) {
  SetProcessDPIAware();  // as the IDE is built
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

void IdeDoes(standin_ide* ide, ide_event event) {
  std::pair<standin_ide*, ide_event> doing{ide, event};
  RunOnIdeThread(ide, [](void* context) {
    auto [i, what] = *static_cast<std::pair<standin_ide*, ide_event>*>(context);
    HandleIdeEvent(*i, what);
  }, &doing);
}

RECT SeenPart(HWND control) {
  RECT seen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  RECT own{};
  GetWindowRect(control, &own);
  IntersectRect(&seen, &seen, &own);
  for (HWND parent = GetParent(control); parent; parent = GetParent(parent)) {
    RECT client{};
    GetClientRect(parent, &client);
    MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&client), 2);
    IntersectRect(&seen, &seen, &client);
  }
  if (!IsWindowVisible(control)) SetRectEmpty(&seen);
  return seen;
}

RECT FirstTabHeader(HWND tab_control) {
  RECT header{};
  SendMessageW(tab_control, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&header));
  MapWindowPoints(tab_control, nullptr, reinterpret_cast<POINT*>(&header), 2);
  return header;
}

ide_state ReadIdeState(const ide_window_set& w) {
  ide_state s{};
  s.style = GetWindowLongPtrW(w.main_window, GWL_STYLE);
  s.menu = GetMenu(w.main_window);
  s.menu_property = GetPropW(w.main_window, L"Corvalin.MenuHandle");
  s.tool_bar_visible = w.tool_bar && (GetWindowLongPtrW(w.tool_bar, GWL_STYLE) & WS_VISIBLE);
  s.file_tab_bar_visible = w.file_tab_bar && (GetWindowLongPtrW(w.file_tab_bar, GWL_STYLE) & WS_VISIBLE);
  s.maximized = IsZoomed(w.main_window);
  const HWND m = w.main_window;
  s.layout = {RectIn(w.tool_bar, m),  RectIn(w.status_bar, m),   RectIn(w.splitter, m),
              RectIn(w.log_splitter, m), RectIn(w.container, m), RectIn(w.file_tab_bar, m),
              RectIn(w.editor, m),    RectIn(w.tab_control, m),  RectIn(w.error_log, m)};
  return s;
}

std::wstring DescribeIdeState(const ide_state& s) {
  auto yes_no = [](bool b) { return std::wstring(b ? L"yes" : L"no"); };
  const ide_layout& l = s.layout;
  return L"border " + yes_no(s.style & WS_BORDER) + L", caption frame " + yes_no(s.style & WS_DLGFRAME) +
         L", menu " + yes_no(s.menu != nullptr) + L", tool bar " + yes_no(s.tool_bar_visible) + L", file tab bar " +
         yes_no(s.file_tab_bar_visible) + L", maximized " + yes_no(s.maximized) + L"; in the client area: splitter " +
         Describe(l.splitter) + L", log splitter " + Describe(l.log_splitter) + L", file tab bar " +
         Describe(l.file_tab_bar) + L", editor " + Describe(l.editor) + L", tab control " + Describe(l.tab_control);
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
      if (options.handle_messages) HandlePendingMessages();
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

process_run LaunchTool(standin_ide* ide, const std::wstring& exe, const std::wstring& arguments,
                       const tool_setting& setting, run_options options) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring main_window = std::to_wstring(reinterpret_cast<intptr_t>(ide->windows.main_window));
  options.environment.insert(options.environment.begin(),
                             {{L"PB_TOOL_IDE", self}, {L"PB_TOOL_MainWindow", main_window}});
  if (!setting.wait_until_tool_quits) return RunProcess(exe, arguments, options);
  process_run run{};
  options.handle_messages = true;
  auto wait = [&] {  // on the IDE's thread: the window disabled, or hidden, while the tool runs
    const HWND window = ide->windows.main_window;
    const bool maximized = IsZoomed(window);
    if (setting.hide_editor) ShowWindow(window, SW_HIDE); else EnableWindow(window, FALSE);
    run = RunProcess(exe, arguments, options);
    if (setting.hide_editor) ShowWindow(window, maximized ? SW_SHOWMAXIMIZED : SW_SHOW);
    else EnableWindow(window, TRUE);
  };
  RunOnIdeThread(ide, [](void* context) { (*static_cast<decltype(wait)*>(context))(); }, &wait);
  return run;
}

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

std::vector<process_run> RunProcessesAtOnce(const std::wstring& exe, const std::vector<std::wstring>& arguments,
                                             const run_options& options, std::vector<HANDLE> parents) {
  std::vector<process_run> runs(arguments.size());
  std::vector<PROCESS_INFORMATION> children(arguments.size());
  std::vector<unique_handle> owned;  // closes the children's handles
  std::wstring environment = EnvironmentBlock(options);
  parents.resize(arguments.size());
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::wstring command_line = L"\"" + exe + L"\"" + (arguments[i].empty() ? L"" : L" " + arguments[i]);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    std::vector<char> attributes;
    DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED;
    if (parents[i]) {
      startup.lpAttributeList = ParentAttribute(parents[i], attributes);
      flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    runs[i].started = CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, flags,
                                     environment.data(), options.folder.empty() ? nullptr : options.folder.c_str(),
                                     &startup.StartupInfo, &children[i]);
    if (startup.lpAttributeList) DeleteProcThreadAttributeList(startup.lpAttributeList);
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
