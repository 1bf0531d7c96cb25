// The stand-in IDE as a program:
//   standin_ide hold                 the IDE windows, until the process is ended
//   standin_ide demo SHOTS_FOLDER [right|left|none|auto] [relayout]
//                                    the whole job: type 1 and type 2, each in and
//                                    out on a fresh IDE with the tools panel on that
//                                    side, none, or hidden automatically, with the
//                                    state, Handles.ini, the menu handed to SetMenu
//                                    and a screenshot after each step; with
//                                    "relayout", also after the IDE laid itself out
//                                    again while in the fullscreen layout
#include <windows.h>

#include <string>
#include <vector>

#include "standin/relay_trace.h"
#include "standin/standin_ide.h"
#include "test_support.h"

namespace {

void Print(const std::wstring& text) {
  const std::string line = Narrow(text) + "\n";  // the demo's text is ASCII
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void PrintRun(const process_run& run) {
  for (const message_box_seen& box : run.boxes) Print(L"  message box \"" + box.caption + L"\": " + box.text);
  Print(L"  exit code " + std::to_wstring(run.exit_code) + (run.finished ? L"" : L" (ended after the time-out)"));
}

// Saves the whole screen as a 24-bit BMP.
void SaveScreenshot(const std::wstring& path) {
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info{sizeof info, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  DWORD row = static_cast<DWORD>((width * 3 + 3) & ~3);
  std::string pixels(static_cast<size_t>(row) * height, '\0');
  GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof info + pixels.size()), 0, 0,
                        sizeof(BITMAPFILEHEADER) + sizeof info};
  std::string bytes(reinterpret_cast<char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<char*>(&info), sizeof info).append(pixels);
  WriteBytes(path, bytes);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

std::wstring Decimal(const void* handle) { return std::to_wstring(reinterpret_cast<intptr_t>(handle)); }

// Handles.ini as it is now, each line indented.
void PrintHandlesIni(const std::wstring& folder) {
  std::string ini = ReadBytes(folder + L"Handles.ini");
  if (ini.rfind("\xEF\xBB\xBF", 0) == 0) ini.erase(0, 3);
  std::wstring text = L"  Handles.ini after its UTF-8 byte-order mark:";
  for (char c : ini) {  // the record is ASCII
    if (c != '\r') text += c == '\n' ? std::wstring(L"\n    ") : std::wstring(1, static_cast<wchar_t>(c));
  }
  Print(text);
}

// What the run handed to SetMenu for the window: Wine's relay trace shows it
// where Wine cannot attach a menu owned by another process.
void PrintMenuCalls(const process_run& run, uint64_t mark, const ide_window_set& w) {
  if (!RunningUnderWine()) return Print(L"  the window has menu " + Decimal(GetMenu(w.main_window)));
  for (const set_menu_call& call : SetMenuCallsSince(mark)) {
    if (call.process_id != run.process_id || call.window != w.main_window) continue;
    Print(L"  Corvalin called SetMenu(window, " + Decimal(call.menu) + L") (Wine's relay trace)" +
          (call.menu && call.menu == w.menu ? L": the IDE's menu, which Wine cannot attach from elsewhere" : L""));
  }
}

// Each cycle on a fresh stand-in IDE: under Wine the first one keeps no menu,
// and the second entering run would have none to record. With "relayout", the
// IDE lays itself out again in the fullscreen layout, as a user's work makes
// it: another source tab, a new file, the error log hidden.
int Demo(const std::wstring& shots, const std::wstring& panel, bool relayout) {
  ide_options configuration;
  configuration.panel = panel == L"left"   ? panel_side::left
                        : panel == L"none" ? panel_side::none
                        : panel == L"auto" ? panel_side::auto_hidden
                                           : panel_side::right;
  scratch_folder tool_folder;
  const std::wstring tool = InstallTool(tool_folder.path);
  const run_options options{.folder = tool_folder.path};
  standin_ide* ide = nullptr;
  int shot = 0;
  auto picture = [&](const wchar_t* name) {
    const ide_window_set& w = WindowsOf(ide);
    const UINT flags = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW;
    OnIdeThread(ide, [&] { RedrawWindow(w.main_window, nullptr, nullptr, flags); });
    Sleep(700);  // let the X server draw before the picture is taken
    SaveScreenshot(shots + std::to_wstring(shot++) + L"-" + name + L".bmp");
  };
  auto cycle = [&](const wchar_t* argument, const wchar_t* type_name, const wchar_t* which) {
    StopStandinIde(ide);
    ide = StartStandinIde(configuration);
    const ide_window_set& w = WindowsOf(ide);
    Print(std::wstring(L"A ") + which + L" stand-in IDE: window " + Decimal(w.main_window) + L", menu " +
          Decimal(w.menu));
    Print(L"  " + DescribeIdeState(ReadIdeState(w)));
    picture(L"normal");
    for (bool entering : {true, false}) {
      Print(std::wstring(L"Corvalin.exe ") + argument + (entering ? L"  (enters)" : L"  (leaves)"));
      const uint64_t mark = RelayTraceMark();
      const process_run run = LaunchTool(ide, tool, argument, {}, options);
      IdeDoes(ide, ide_event::settled);
      PrintRun(run);
      Print(L"  " + DescribeIdeState(ReadIdeState(w)));
      PrintHandlesIni(tool_folder.path);
      PrintMenuCalls(run, mark, w);
      picture(entering ? type_name : (std::wstring(type_name) + L"-left").c_str());
      if (!entering || !relayout) continue;
      for (ide_event event : {ide_event::source_tab_changed, ide_event::new_file, ide_event::error_log_toggled}) {
        IdeDoes(ide, event);
      }
      Print(L"The IDE changed its source tab, opened a new file and hid its error log:\n  " +
            DescribeIdeState(ReadIdeState(w)));
      picture((std::wstring(type_name) + L"-relaid").c_str());
    }
  };
  cycle(L"/fullscreentype=1", L"type1", L"new");
  cycle(L"/fullscreentype=2", L"type2", L"fresh");
  StopStandinIde(ide);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> arguments(argv + 1, argv + argc);
  std::wstring mode = arguments.empty() ? L"" : arguments[0];
  if (!arguments.empty()) arguments.erase(arguments.begin());
  if (mode == L"hold") {
    StartStandinIde({});
    Sleep(INFINITE);  // until the process is ended
  }
  if (mode == L"demo" && !arguments.empty()) {
    arguments.resize(3);
    return Demo(arguments[0], arguments[1], arguments[2] == L"relayout");
  }
  Print(L"usage: standin_ide hold | demo SHOTS_FOLDER [right|left|none|auto] [relayout]");
  return 2;
}
