#include "standin/standin_ide.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "driver/switch.h"
#include "environment/environment.h"
#include "handle.h"

struct standin_ide {
  ide_options options;
  ide_window_set windows;
  unique_handle thread;
  DWORD thread_id;
  unique_handle ready;
  HWND panel = nullptr;       // splitter 5's panel part: the tab control, or the container holding it
  HWND tools_part = nullptr;  // splitter 5's other part: the log splitter, the container, or a dummy
  HWND log_part = nullptr;    // the log splitter's part above the error log: the container, or a dummy
  HWND tools_dummy = nullptr, log_dummy = nullptr;
  std::vector<HWND> editors;  // one per open source; windows.editor is the active one
  int tool_bar_height = 0, status_bar_height = 0, menu_height = 0;  // measured once, at start
  int rows = 1;
  bool panel_shown = false, log_shown = true;
  DWORD pause_at_next_style_change_ms = 0;
  remembered_window remembered{};
};

namespace {

constexpr UINT RunActionMessage = WM_APP + 1;
constexpr UINT PauseMessage = WM_APP + 2;
constexpr UINT QueuedSizeMessage = WM_APP + 3;  // the size event the IDE's main loop takes later
// Logical pixels.
constexpr int TabRowHeight = 22, TabBarMargin = 3;  // one row: 25
constexpr int PanelWidth = 240;
constexpr int HiddenPanelWidth = 25, StripWidth = 22;
constexpr int ErrorLogHeight = 80;
constexpr int SplitterBar = 6;
constexpr UINT PlaceFlags = SWP_NOZORDER | SWP_NOACTIVATE;

struct ide_action {
  const std::function<void()>* action;
  HANDLE done;
};

standin_ide* IdeOf(HWND window) { return reinterpret_cast<standin_ide*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

void Place(HWND window, int x, int y, int width, int height) {
  if (window) SetWindowPos(window, nullptr, x, y, std::max(width, 0), std::max(height, 0), PlaceFlags);
}

int Height(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r.bottom - r.top;
}

const wchar_t SourceText[] =
    L"; Main.pb: the first line\r\n\r\nEnableExplicit\r\nXIncludeFile \"Tools.pbi\"\r\n\r\nProcedure Greet(Name$)\r\n"
    L"  MessageRequester(\"Hello\", \"Hello, \" + Name$ + \"!\")\r\nEndProcedure\r\n\r\nGreet(\"World\")\r\n";

// The file tab bar at the top of the container, as high as its rows of tabs;
// the active editor below the bar's height as it is now, whether the bar is
// shown or not.
void LayOutSourceContainer(const standin_ide& ide) {
  const ide_window_set& w = ide.windows;
  RECT area{};
  GetClientRect(w.container, &area);
  Place(w.file_tab_bar, 0, 0, area.right, Scaled(TabRowHeight * ide.rows + TabBarMargin));
  const int bar = w.file_tab_bar ? Height(w.file_tab_bar) : 0;
  Place(w.editor, 0, bar, area.right, area.bottom - bar);
}

// The IDE's own layout: the content below the tool bar's place when the
// setting shows it, as high as the window less the heights measured at start.
// It never asks what is visible or attached now. The collapsed tools panel
// leaves a strip on the right for its vertical tabs, from the file tab bar's
// bottom edge down.
void LayOutMainWindow(standin_ide& ide) {
  const ide_window_set& w = ide.windows;
  RECT inner{};  // as the IDE's runtime reports the window's size: the menu bar included
  GetClientRect(w.main_window, &inner);
  const int top = ide.options.show_tool_bar ? ide.tool_bar_height : 0;
  const int menu = GetMenu(w.main_window) ? ide.menu_height : 0;
  if (!IsZoomed(w.main_window) && !IsIconic(w.main_window)) {
    RECT window{};
    GetWindowRect(w.main_window, &window);
    ide.remembered = {window.left, window.top, inner.right, inner.bottom + menu};
  }
  const int height = inner.bottom + menu - top - ide.status_bar_height - ide.menu_height;
  int width = inner.right;
  if (ide.options.panel == panel_side::auto_hidden && w.splitter) {
    width -= Scaled(HiddenPanelWidth);
    const int bar = w.file_tab_bar ? Height(w.file_tab_bar) : 0;
    Place(GetParent(w.tools_strip), width + 1, top + bar, Scaled(StripWidth), height - bar);
    Place(w.tools_strip, 0, 0, Scaled(StripWidth), height);
  }
  const HWND content = ide.panel_shown ? w.splitter : ide.log_shown ? w.log_splitter : w.container;
  Place(content, 0, top, width, height);
  LayOutSourceContainer(ide);
}

// A splitter places its two parts itself when its size changes: splitter 5 the
// panel at its fixed width on one side, its other part beside it; the log
// splitter the error log at its fixed height below its other part. Holding the
// container, it fits the editor to it, as the IDE does on the splitter's event.
void LayOutSplitter(const standin_ide& ide, HWND splitter) {
  const ide_window_set& w = ide.windows;
  RECT area{};
  GetClientRect(splitter, &area);
  const int bar = Scaled(SplitterBar);
  if (splitter == w.log_splitter) {
    const int log = Scaled(ErrorLogHeight);
    Place(ide.log_part, 0, 0, area.right, area.bottom - log - bar);
    Place(w.error_log, 0, area.bottom - log, area.right, log);
  } else {
    const int panel = ide.panel ? Scaled(PanelWidth) : 0;
    const bool left = ide.options.panel == panel_side::left;
    Place(ide.panel, left ? 0 : area.right - panel, 0, panel, area.bottom);
    if (ide.panel != w.tab_control) Place(w.tab_control, 0, 0, panel, area.bottom);
    const int rest = area.right - (panel ? panel + bar : 0);
    Place(ide.tools_part, left ? area.right - rest : 0, 0, rest, area.bottom);
  }
  if (GetParent(w.container) == splitter) LayOutSourceContainer(ide);
}

// A splitter given another part: the part it held goes to the splitter's parent.
void SetSplitterPart(const standin_ide& ide, HWND splitter, HWND& part, HWND new_part) {
  SetParent(part, GetParent(splitter));
  SetParent(new_part, splitter);
  part = new_part;
  LayOutSplitter(ide, splitter);
}

void ShowErrorLog(standin_ide& ide, bool show) {
  ide_window_set& w = ide.windows;
  if (show) {
    if (ide.panel_shown) SetSplitterPart(ide, w.splitter, ide.tools_part, w.log_splitter);
    SetSplitterPart(ide, w.log_splitter, ide.log_part, w.container);
    ShowWindow(w.log_splitter, SW_SHOW);
  } else {
    ShowWindow(w.log_splitter, SW_HIDE);
    SetSplitterPart(ide, w.log_splitter, ide.log_part, ide.log_dummy);
    if (ide.panel_shown) SetSplitterPart(ide, w.splitter, ide.tools_part, w.container);
  }
  ide.log_shown = show;
  LayOutMainWindow(ide);
}

// No tools panel, or one that hides itself: the log splitter out of splitter 5,
// which is hidden; the strip of vertical tabs shown, laid out only when the
// panel hides itself (0 by 0 pixels otherwise).
void HideToolsPanel(standin_ide& ide) {
  ide_window_set& w = ide.windows;
  SetSplitterPart(ide, w.splitter, ide.tools_part, ide.tools_dummy);
  ShowWindow(GetParent(w.tools_strip), SW_SHOW);
  if (ide.options.panel == panel_side::none) ShowWindow(ide.panel, SW_HIDE);
  ShowWindow(w.splitter, SW_HIDE);
  ide.panel_shown = false;
}

void ActivateEditor(standin_ide& ide, size_t index) {
  ShowWindow(ide.windows.editor, SW_HIDE);
  ide.windows.editor = ide.editors[index % ide.editors.size()];
  ShowWindow(ide.windows.editor, SW_SHOW);
  LayOutMainWindow(ide);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_CLOSE) return 0;  // the test decides when the IDE ends
  standin_ide* ide = IdeOf(window);
  if (!ide) return DefWindowProcW(window, message, w, l);
  if (message == WM_SIZE && w != SIZE_MINIMIZED) {
    SendMessageW(ide->windows.tool_bar, TB_AUTOSIZE, 0, 0);
    SendMessageW(ide->windows.status_bar, WM_SIZE, 0, 0);
    LayOutMainWindow(*ide);  // the size event bound in real time
    PostMessageW(window, QueuedSizeMessage, 0, 0);
  }
  if (message == QueuedSizeMessage) LayOutMainWindow(*ide);
  if (message == WM_STYLECHANGED && InSendMessage()) {  // changed by the tool, not by the IDE itself
    const DWORD pause = std::exchange(ide->pause_at_next_style_change_ms, 0);
    if (pause || ide->options.pause_at_style_change_ms) Sleep(pause ? pause : ide->options.pause_at_style_change_ms);
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

HWND MakeTabControl(HWND parent, intptr_t pb_id, DWORD style = TCS_MULTILINE) {
  HWND tabs = Child(WC_TABCONTROLW, WS_VISIBLE | style, parent, pb_id);
  int index = 0;
  for (const wchar_t* name : {L"Procedures", L"Project", L"Explorer", L"Issues", L"Templates"}) {
    TCITEMW item{TCIF_TEXT, 0, 0, const_cast<wchar_t*>(name), 0, 0, 0};
    SendMessageW(tabs, TCM_INSERTITEMW, index++, reinterpret_cast<LPARAM>(&item));
  }
  return tabs;
}

// Splitter 5 with the tools panel, and the log splitter beside it.
void MakeToolsSplitter(standin_ide& ide) {
  const ide_options& o = ide.options;
  ide_window_set& w = ide.windows;
  w.splitter = Child(L"PureSplitter", WS_VISIBLE | WS_CLIPCHILDREN, w.main_window, o.splitter_id);
  ide.panel_shown = true;
  if (!o.tab_control) return;
  ide.panel = o.tab_control_as_grandchild ? Child(L"PureContainer", WS_VISIBLE, w.splitter) : nullptr;
  w.tab_control = MakeTabControl(ide.panel ? ide.panel : w.splitter, 2);
  if (!ide.panel) ide.panel = w.tab_control;
}

// The window tree as the IDE makes it; the strip of vertical tabs, in a
// container of its own, before splitter 5.
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
  SetWindowLongPtrW(w.main_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&ide));
  if (o.tool_bar) w.tool_bar = MakeToolBar(w.main_window, o.show_tool_bar);
  w.status_bar = Child(STATUSCLASSNAMEW, WS_VISIBLE | SBARS_SIZEGRIP, w.main_window, 0, L"Line: 1   Column: 1");
  w.tools_strip = MakeTabControl(Child(L"PureContainer", 0, w.main_window), 0,
                                 TCS_MULTILINE | TCS_VERTICAL | TCS_RIGHT);
  ide.tools_dummy = Child(L"PureContainer", 0, w.main_window);
  ide.log_dummy = Child(L"PureContainer", 0, w.main_window);
  if (o.splitter) MakeToolsSplitter(ide);
  w.log_splitter = Child(L"PureSplitter", WS_VISIBLE | WS_CLIPCHILDREN, w.splitter ? w.splitter : w.main_window, 6);
  w.container = Child(L"PureContainer", WS_VISIBLE | WS_CLIPCHILDREN, w.log_splitter, 7);
  if (o.file_tab_bar) w.file_tab_bar = Child(L"PureCanvas", WS_VISIBLE, w.container, o.file_tab_bar_id);
  w.editor = Child(L"EDIT", WS_VISIBLE | ES_MULTILINE | WS_VSCROLL, w.container, 0, SourceText);
  ide.editors = {w.editor};
  w.error_log = Child(L"LISTBOX", WS_VISIBLE | WS_BORDER, w.log_splitter, 4);
  SendMessageW(w.error_log, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"[10:12:31] The program was ended."));
  ide.tools_part = w.log_splitter;
  ide.log_part = w.container;
  ide.rows = o.file_tab_rows;
  for (HWND window : {w.splitter, w.log_splitter}) {
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&ide));
  }
  ide.tool_bar_height = Height(w.tool_bar);  // none: 0
  ide.status_bar_height = Height(w.status_bar);
  ide.menu_height = MeasuredMenuHeight();
  if (w.splitter && o.panel != panel_side::right && o.panel != panel_side::left) HideToolsPanel(ide);
  SendMessageW(w.status_bar, WM_SIZE, 0, 0);
  LayOutMainWindow(ide);
  if (o.visible) ShowWindow(w.main_window, o.maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  UpdateWindow(w.main_window);
}

void RebuildMenu(ide_window_set& w) {
  const HMENU old = w.menu;
  SetMenu(w.main_window, w.menu = MakeMenu());
  if (old) DestroyMenu(old);
}

void HandleIdeEvent(standin_ide& i, ide_event what) {
  ide_window_set& w = i.windows;
  switch (what) {
    case ide_event::settled: break;
    case ide_event::queued_size_event: LayOutMainWindow(i); break;
    case ide_event::source_tab_changed:
      ActivateEditor(i, std::find(i.editors.begin(), i.editors.end(), w.editor) - i.editors.begin() + 1);
      break;
    case ide_event::new_file:
      i.editors.push_back(Child(L"EDIT", ES_MULTILINE | WS_VSCROLL, w.container, 0, L"; a new file\r\n"));
      ActivateEditor(i, i.editors.size() - 1);
      break;
    case ide_event::error_log_toggled: ShowErrorLog(i, !i.log_shown); break;
    case ide_event::row_count_changed:
      i.rows = i.rows == 1 ? 2 : 1;
      LayOutMainWindow(i);  // the bar takes its new height; its resize event follows
      PostMessageW(w.main_window, QueuedSizeMessage, 0, 0);
      break;
    case ide_event::preferences_applied:
      if (w.tool_bar) {
        DestroyWindow(w.tool_bar);
        w.tool_bar = MakeToolBar(w.main_window, i.options.show_tool_bar);
      }
      RebuildMenu(w);
      LayOutMainWindow(i);
      break;
    case ide_event::menu_rebuilt: RebuildMenu(w); break;
    case ide_event::minimized_and_restored:
      ShowWindow(w.main_window, SW_MINIMIZE);
      ShowWindow(w.main_window, SW_RESTORE);
      break;
    case ide_event::hidden_and_shown_maximized:
      ShowWindow(w.main_window, SW_HIDE);
      ShowWindow(w.main_window, SW_SHOWMAXIMIZED);
      break;
  }
}

void HandleMessage(MSG& message) {
  if (message.hwnd == nullptr && message.message == RunActionMessage) {
    auto* action = reinterpret_cast<ide_action*>(message.lParam);
    (*action->action)();
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

// Windows made by a thread of a DPI-aware program are at the system's DPI. Wine
// makes every program per-monitor aware, whatever it declares or asks for, and
// tells other programs that such windows are at 96 DPI: the thread asks for
// system awareness itself (Windows 10 1607 and later, and Wine).
void BeSystemDpiAware() {
  using set_context = HANDLE(WINAPI*)(HANDLE);
  auto set = reinterpret_cast<set_context>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")));
  if (set) set(reinterpret_cast<HANDLE>(-2));  // DPI_AWARENESS_CONTEXT_SYSTEM_AWARE
}

DWORD WINAPI IdeThread(void* parameter) {
  standin_ide& ide = *static_cast<standin_ide*>(parameter);
  BeSystemDpiAware();
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

}  // namespace

std::wstring Describe(const RECT& r) {
  return L"(" + std::to_wstring(r.left) + L", " + std::to_wstring(r.top) + L") " + std::to_wstring(r.right - r.left) +
         L"x" + std::to_wstring(r.bottom - r.top);
}

int Scaled(int logical) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return MulDiv(logical, dpi, 96);
}

int MeasuredMenuHeight() { return GetSystemMetrics(SM_CYMENU); }

standin_ide* StartStandinIde(const ide_options& options) {
  SetProcessDPIAware();  // as the IDE is built: its windows are at the system's DPI
  auto* ide = new standin_ide{};
  ide->options = options;
  ide->ready.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ide->thread.reset(CreateThread(nullptr, 0, IdeThread, ide, 0, &ide->thread_id));
  WaitForSingleObject(ide->ready.get(), INFINITE);
  return ide;
}

const ide_window_set& WindowsOf(const standin_ide* ide) { return ide->windows; }

void OnIdeThread(standin_ide* ide, const std::function<void()>& action) {
  const unique_handle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  ide_action request{&action, done.get()};
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

// The event, then whatever it posted.
void IdeDoes(standin_ide* ide, ide_event event) {
  OnIdeThread(ide, [ide, event] {
    HandleIdeEvent(*ide, event);
    HandlePendingMessages();
  });
}

void PauseAtNextStyleChange(standin_ide* ide, DWORD milliseconds) {
  OnIdeThread(ide, [ide, milliseconds] { ide->pause_at_next_style_change_ms = milliseconds; });
}

remembered_window RememberedWindow(standin_ide* ide) {
  remembered_window remembered{};
  OnIdeThread(ide, [ide, &remembered] {
    HandlePendingMessages();
    remembered = ide->remembered;
  });
  return remembered;
}

RECT SeenPart(HWND control) {
  RECT seen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
  seen.right = seen.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
  seen.bottom = seen.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  RECT own{};
  GetWindowRect(control, &own);
  IntersectRect(&seen, &seen, &own);
  for (HWND parent = GetParent(control); parent; parent = GetParent(parent)) {
    RECT client{};
    GetClientRect(parent, &client);
    MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&client), 2);
    IntersectRect(&seen, &seen, &client);
  }
  const HWND top = GetAncestor(control, GA_ROOT);
  RECT region{}, window{};
  if (GetWindowRgnBox(top, &region) != ERROR && GetWindowRect(top, &window)) {
    OffsetRect(&region, window.left, window.top);
    IntersectRect(&seen, &seen, &region);
  }
  if (!IsWindowVisible(control)) SetRectEmpty(&seen);
  return seen;
}

ide_state ReadIdeState(const ide_window_set& w) {
  ide_state s{};
  s.style = GetWindowLongPtrW(w.main_window, GWL_STYLE);
  s.menu = GetMenu(w.main_window);
  s.menu_property = GetPropW(w.main_window, MenuHandleProperty);
  s.tool_bar_visible = w.tool_bar && (GetWindowLongPtrW(w.tool_bar, GWL_STYLE) & WS_VISIBLE);
  s.file_tab_bar_visible = w.file_tab_bar && (GetWindowLongPtrW(w.file_tab_bar, GWL_STYLE) & WS_VISIBLE);
  s.maximized = IsZoomed(w.main_window);
  const HWND m = w.main_window;
  s.layout = {RectIn(w.tool_bar, m),  RectIn(w.status_bar, m),   RectIn(w.splitter, m),
              RectIn(w.log_splitter, m), RectIn(w.container, m), RectIn(w.file_tab_bar, m),
              RectIn(w.editor, m),    RectIn(w.tab_control, m),  RectIn(w.error_log, m),
              RectIn(GetParent(w.tools_strip), m)};
  return s;
}

std::wstring DescribeIdeState(const ide_state& s) {
  auto yes_no = [](bool b) { return std::wstring(b ? L"yes" : L"no"); };
  const ide_layout& l = s.layout;
  return L"border " + yes_no(s.style & WS_BORDER) + L", caption frame " + yes_no(s.style & WS_DLGFRAME) +
         L", menu " + yes_no(s.menu != nullptr) + L", tool bar " + yes_no(s.tool_bar_visible) + L", file tab bar " +
         yes_no(s.file_tab_bar_visible) + L", maximized " + yes_no(s.maximized) + L"; in the client area: tool bar " +
         Describe(l.tool_bar) + L", splitter " + Describe(l.splitter) + L", log splitter " + Describe(l.log_splitter) +
         L", file tab bar " + Describe(l.file_tab_bar) + L", editor " + Describe(l.editor) + L", tab control " +
         Describe(l.tab_control) + L", status bar " + Describe(l.status_bar);
}

process_run LaunchTool(standin_ide* ide, const std::wstring& exe, const std::wstring& arguments,
                       const tool_setting& setting, run_options options) {
  const std::wstring main_window = std::to_wstring(reinterpret_cast<intptr_t>(ide->windows.main_window));
  options.environment.insert(options.environment.begin(),
                             {{L"PB_TOOL_IDE", ExecutablePath()}, {L"PB_TOOL_MainWindow", main_window}});
  if (!setting.wait_until_tool_quits) return RunProcess(exe, arguments, options);
  process_run run{};
  options.handle_messages = HandlePendingMessages;
  auto wait = [&] {  // on the IDE's thread: the window disabled, or hidden, while the tool runs
    const HWND window = ide->windows.main_window;
    const bool maximized = IsZoomed(window);
    if (setting.hide_editor) ShowWindow(window, SW_HIDE); else EnableWindow(window, FALSE);
    run = RunProcess(exe, arguments, options);
    if (setting.hide_editor) ShowWindow(window, maximized ? SW_SHOWMAXIMIZED : SW_SHOW);
    else EnableWindow(window, TRUE);
  };
  OnIdeThread(ide, wait);
  return run;
}

