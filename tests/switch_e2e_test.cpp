#include <algorithm>

#include "handle.h"
#include "ide_fixture.h"

using Switch = WithStandinIde;

TEST_F(Switch, AnotherArgumentClearsOnlyTheBorderAndComesBack) {
  const ide_window_set& w = StartIde();
  const ide_state before = State();
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=3")));
  const ide_state in = State();
  EXPECT_EQ(in.style, before.style & ~WS_BORDER);
  EXPECT_EQ(in.menu, w.menu) << "the menu stays";
  EXPECT_TRUE(in.tool_bar_visible && in.file_tab_bar_visible);
  EXPECT_EQ(HandlesIni(), "\xEF\xBB\xBF\r\n" + HandlesRecord(w.main_window, w.menu));
  ASSERT_TRUE(Quietly(RunTool(L"something")));
  const ide_state out = State();
  EXPECT_EQ(out.style, before.style);
  EXPECT_EQ(out.menu, w.menu) << "it never left the window";
}

TEST_F(Switch, LetterCaseAndQuotesDoNotMatter) {
  StartIde();
  ASSERT_TRUE(Quietly(RunTool(L"/FULLSCREENTYPE=2")));
  EXPECT_TRUE(FullscreenLayout(State(), false));
  ASSERT_TRUE(Quietly(RunTool(L"\"/FullScreenType=1\"")));
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=\"1\" /fullscreentype=2")));
  EXPECT_TRUE(FullscreenLayout(State(), true)) << "the first argument chose type 1";
}

TEST_F(Switch, TwoWindowsKeepTwoGroups) {
  const unique_standin_ide second{StartStandinIde({})};
  const ide_window_set& a = StartIde();
  const ide_window_set& b = WindowsOf(second.get());
  // The tool takes the first visible IDE window: hide the other one for each run.
  OnIdeThread(second.get(), [&] { ShowWindow(b.main_window, SW_HIDE); });
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  OnIdeThread(second.get(), [&] { ShowWindow(b.main_window, SW_SHOWMAXIMIZED); });
  OnIdeThread(ide, [&] { ShowWindow(a.main_window, SW_HIDE); });
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=2")));
  EXPECT_EQ(HandlesIni(), "\xEF\xBB\xBF\r\n" + HandlesRecord(a.main_window, a.menu) + "\r\n" +
                              HandlesRecord(b.main_window, b.menu));
  EXPECT_EQ(ReadIdeState(a).menu_property, a.menu);
  EXPECT_EQ(ReadIdeState(b).menu_property, b.menu);
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=2")));
  EXPECT_TRUE(BackToNormal(b));
  OnIdeThread(second.get(), [&] { ShowWindow(b.main_window, SW_HIDE); });
  OnIdeThread(ide, [&] { ShowWindow(a.main_window, SW_SHOWMAXIMIZED); });
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  EXPECT_TRUE(BackToNormal(a));
}

TEST_F(Switch, LeavingAfterHandlesIniWasDeleted) {
  const ide_window_set& w = StartIde();
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  ASSERT_TRUE(DeleteFileW((folder.path + L"Handles.ini").c_str()));
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  EXPECT_TRUE(BackToNormal(w));
  EXPECT_FALSE(Exists(folder.path + L"Handles.ini"));
}

// Held open by another process for reading: sharing reads only, or nothing, the
// tool can read it or not, but cannot write it; sharing writes too, as a log
// viewer may, the tool writes it in place.
TEST_F(Switch, AHandlesIniHeldOpenForReading) {
  const std::string stale = "\xEF\xBB\xBF\r\n[1]\r\nMenuHandle = 2\r\n";
  const struct {
    const char* label;
    DWORD share;
    bool written;
  } cases[] = {{"sharing reads", FILE_SHARE_READ, false},
               {"sharing nothing", 0, false},
               {"sharing reads and writes", FILE_SHARE_READ | FILE_SHARE_WRITE, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const ide_window_set& w = RestartIde();
    WriteBytes(folder.path + L"Handles.ini", stale);
    unique_file held{CreateFileW((folder.path + L"Handles.ini").c_str(), GENERIC_READ, c.share, nullptr,
                                 OPEN_EXISTING, 0, nullptr)};
    ASSERT_TRUE(held);
    ASSERT_TRUE(Quietly(RunTool(TypeOne)));
    EXPECT_TRUE(FullscreenLayout(State(), true));
    EXPECT_EQ(State().menu_property, w.menu) << "the handle is kept on the window as well";
    ASSERT_TRUE(Quietly(RunTool(TypeOne)));
    EXPECT_TRUE(BackToNormal(w));
    held.reset();
    EXPECT_EQ(HandlesIni(), c.written ? stale + "\r\n" + HandlesRecord(w.main_window, w.menu) : stale);
    EXPECT_EQ(TemporaryFiles(folder.path), 0);
  }
}

TEST_F(Switch, LeavingAfterHandlesIniWasOverwrittenWithAnotherValue) {
  const ide_window_set& w = StartIde();
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=2")));
  const HMENU other = reinterpret_cast<HMENU>(4242);
  WriteBytes(folder.path + L"Handles.ini", "\xEF\xBB\xBF\r\n" + HandlesRecord(w.main_window, other));
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=2")));
  EXPECT_TRUE(BackToNormal(w)) << "the handle kept on the window wins over the file";
}

// Something else removed the border while the menu is attached: there is no
// record of a menu, so the menu stays where it is.
TEST_F(Switch, AFirstPressOnAWindowWithoutBorderKeepsItsMenu) {
  const ide_window_set& w = StartIde({.caption_bits = WS_DLGFRAME});
  ASSERT_NE(GetMenu(w.main_window), nullptr);
  const uint64_t mark = RelayTraceMark();
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  const ide_state s = State();
  EXPECT_NE(s.style & WS_BORDER, 0) << "taken as fullscreen and brought back";
  EXPECT_TRUE(s.tool_bar_visible && s.file_tab_bar_visible);
  EXPECT_EQ(s.menu, w.menu);
  for (const set_menu_call& call : SetMenuCallsSince(mark)) EXPECT_NE(call.menu, nullptr) << "the menu was detached";
}

// The IDE starts a run for each press of the shortcut and does not wait for the
// one before: a double press, or a key held down, starts runs that overlap.
class Overlapping : public WithStandinIde {
 protected:
  // `starts` runs started at once must switch once each, one after the other.
  void StartAtOnce(size_t starts, const wchar_t* argument) {
    const ide_window_set& w = RestartIde();
    DeleteFileW((folder.path + L"Handles.ini").c_str());
    const uint64_t mark = RelayTraceMark();
    for (const process_run& run :
         RunProcessesAtOnce(tool, std::vector<std::wstring>(starts, argument), InToolFolder())) {
      ASSERT_TRUE(Quietly(run));
    }
    const ide_state s = State();
    const bool type_1 = argument == std::wstring(TypeOne);
    EXPECT_TRUE(s.maximized);
    if (starts % 2) {  // border, bars and menu agree on the fullscreen layout
      EXPECT_TRUE(FullscreenLayout(s, type_1));
      if (!RunningUnderWine()) {
        EXPECT_EQ(s.menu_property, w.menu);
      }
    } else {
      EXPECT_TRUE(NormalLayout(s));
      if (!RunningUnderWine()) {
        EXPECT_EQ(s.menu, w.menu);
      }
    }
    if (starts == 2) {
      EXPECT_EQ(HandlesIni(), "\xEF\xBB\xBF\r\n" + HandlesRecord(w.main_window, w.menu));
    }
    if (RunningUnderWine()) {
      // Wine attaches no menu of another process, so only the first cycle shows
      // it: one run detached the menu, then another handed the original back.
      const std::vector<set_menu_call> calls = SetMenuCallsSince(mark);
      ASSERT_GE(calls.size(), 2u);
      EXPECT_EQ(calls[0].menu, nullptr);
      EXPECT_EQ(calls[1].menu, w.menu) << "the first leaving run hands back the original menu";
      EXPECT_NE(calls[1].process_id, calls[0].process_id);
    }
  }
};

// A double press again and again, as its fault shows only in some interleavings
// of the two runs; then more starts at once.
TEST_F(Overlapping, EachStartSwitchesOnce) {
  for (const wchar_t* argument : {TypeOne, TypeTwo}) {
    for (size_t starts : {2u, 2u, 2u, 2u, 2u, 3u, 6u}) {
      SCOPED_TRACE(Narrow(argument) + ", " + std::to_string(starts) + " starts at once");
      StartAtOnce(starts, argument);
    }
  }
}

namespace {
// The folder through drive Z:, which Wine links to the Unix root; empty where
// there is no such spelling of it (not under Wine).
std::wstring ThroughDriveZ(const std::wstring& folder) {
  using unix_name_call = char*(CDECL*)(const wchar_t*);
  const auto unix_name = reinterpret_cast<unix_name_call>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unix_path = unix_name ? unix_name(folder.c_str()) : nullptr;
  if (!unix_path) return {};
  std::wstring path(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, unix_path, -1, nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, unix_path, -1, path.data(), static_cast<int>(path.size()));
  HeapFree(GetProcessHeap(), 0, unix_path);
  path.pop_back();  // its null
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return L"Z:" + path;
}
}  // namespace

// Two IDE windows, each of its own process, pressed at the same moment again
// and again, sharing a Handles.ini of 100,000 groups of other windows: the runs
// take turns at the file, so each entering press adds its window's group and
// keeps every byte that was there, also where the two name the file by two
// spellings of one folder.
TEST_F(Overlapping, TwoWindowsPressedTogetherKeepBothRecords) {
  held_process other;
  StartOtherIde(other);
  if (HasFatalFailure()) return;
  const ide_window_set& w = StartIde();
  std::string seed = "\xEF\xBB\xBF\r\n";
  for (intptr_t group = 1; group <= 100000; ++group) {  // numbers no window handle has
    if (group > 1) seed += "\r\n";
    seed += HandlesRecord(reinterpret_cast<HWND>(1000000000000 + group), reinterpret_cast<HMENU>(group));
  }
  const std::vector<HANDLE> parents = {nullptr, other.child.process.get()};
  // Presses 21 to 30, where there is a second spelling of the tool's folder
  // (under Wine its path through drive Z:): the other window starts the tool
  // by it, both from a folder without the tool.
  const std::wstring through_z = ThroughDriveZ(folder.path);
  const scratch_folder elsewhere;
  for (int press = 1; press <= (through_z.empty() ? 20 : 30); ++press) {
    const bool spelled_apart = press > 20;
    SCOPED_TRACE("press " + std::to_string(press) + (spelled_apart ? ", through drive Z:" : ""));
    const std::vector<std::wstring> tools = {tool, spelled_apart ? through_z + L"Corvalin.exe" : tool};
    const run_options options = spelled_apart ? run_options{.folder = elsewhere.path} : InToolFolder();
    WriteBytes(folder.path + L"Handles.ini", seed);
    const std::string mine = HandlesRecord(w.main_window, GetMenu(w.main_window));
    const std::string others = HandlesRecord(other.main_window, GetMenu(other.main_window));
    for (const process_run& run : RunProcessesAtOnce(tool, {TypeTwo, TypeTwo}, options, parents, tools)) {
      ASSERT_TRUE(Quietly(run));
    }
    ASSERT_EQ(State().style & WS_BORDER, 0);
    ASSERT_EQ(GetWindowLongPtrW(other.main_window, GWL_STYLE) & WS_BORDER, 0);
    const std::string ini = HandlesIni();
    const bool seed_kept = ini.compare(0, seed.size(), seed) == 0;
    const std::string added = seed_kept ? ini.substr(seed.size()) : "";
    EXPECT_TRUE(seed_kept && (added == "\r\n" + mine + "\r\n" + others || added == "\r\n" + others + "\r\n" + mine))
        << "seed kept " << seed_kept << ", this window's group added " << (added.find(mine) != std::string::npos)
        << ", the other's " << (added.find(others) != std::string::npos);
    for (const process_run& run : RunProcessesAtOnce(tool, {TypeTwo, TypeTwo}, options, parents, tools)) {
      ASSERT_TRUE(Quietly(run));
    }
    ASSERT_NE(State().style & WS_BORDER, 0);
    ASSERT_NE(GetWindowLongPtrW(other.main_window, GWL_STYLE) & WS_BORDER, 0);
  }
}

namespace {
DWORD WINAPI TakeTurnAndEnd(void* turn) {
  WaitForSingleObject(turn, INFINITE);
  return 0;  // ends while it owns the mutex: abandoned
}
// The name of the turn that runs take at one IDE window.
std::wstring TurnOf(HWND window) {
  return L"Local\\Corvalin.SwitchTurn." + std::to_wstring(reinterpret_cast<intptr_t>(window));
}
}  // namespace

// Holds a window's turn itself, as a run busy with that window would.
TEST_F(Switch, ARunWhoseTurnDoesNotComeLeavesTheWindowAsItIs) {
  const ide_window_set& w = StartIde();
  const ide_state before = State();
  const unique_handle turn{CreateMutexW(nullptr, TRUE, TurnOf(w.main_window).c_str())};
  ASSERT_TRUE(turn);
  const ULONGLONG start = GetTickCount64();
  ASSERT_TRUE(Quietly(RunTool(TypeOne)));
  EXPECT_GE(GetTickCount64() - start, 14500u) << "the run waited for its turn";
  EXPECT_TRUE(Untouched(before, State()));
  EXPECT_FALSE(Exists(folder.path + L"Handles.ini"));
  ReleaseMutex(turn.get());

  const unique_handle taker{CreateThread(nullptr, 0, TakeTurnAndEnd, turn.get(), 0, nullptr)};
  WaitForSingleObject(taker.get(), INFINITE);
  ASSERT_TRUE(Quietly(RunTool(TypeOne)));
  EXPECT_EQ(State().style & WS_BORDER, 0) << "an abandoned turn is a turn";

  const unique_standin_ide other{StartStandinIde({.visible = false})};
  const unique_handle other_turn{CreateMutexW(nullptr, TRUE, TurnOf(WindowsOf(other.get()).main_window).c_str())};
  ASSERT_TRUE(Quietly(RunTool(TypeOne)));
  EXPECT_NE(State().style & WS_BORDER, 0) << "another window's turn does not hold this one up";
}

// Another program holds an object of another kind under the window's turn name:
// no run can have the turn, and none switches.
TEST_F(Switch, ATurnNameTakenByAnotherKindOfObject) {
  const ide_window_set& w = StartIde();
  const ide_state before = State();
  const unique_handle event{CreateEventW(nullptr, TRUE, FALSE, TurnOf(w.main_window).c_str())};
  for (const process_run& run : RunProcessesAtOnce(tool, {TypeOne, TypeTwo, TypeOne}, InToolFolder())) {
    EXPECT_TRUE(Quietly(run));
  }
  EXPECT_TRUE(Untouched(before, State()));
}
