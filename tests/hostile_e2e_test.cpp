// Inputs a user's machine can really produce, against the real Corvalin.exe and
// the stand-in IDE. Every run must end by itself with exit code 0 and no box
// (no fault report, no crash), leave the IDE window switched as specified or
// untouched, and damage no file it was not to write.
#include <cstdint>
#include <functional>

#include "handle.h"
#include "ide_fixture.h"
#include "prefs/preference_file.h"

namespace {

enum class layout { untouched, type_1, type_2, border_only };

::testing::AssertionResult HasLayout(const ide_state& before, const ide_state& now, layout expected) {
  if (expected == layout::type_1 || expected == layout::type_2) return FullscreenLayout(now, expected == layout::type_1);
  if (expected == layout::untouched) return Untouched(before, now);
  if (!(now.style & WS_BORDER) && now.menu == before.menu && now.tool_bar_visible && now.file_tab_bar_visible) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << Narrow(DescribeIdeState(now));
}

std::string Repeat(const std::string& piece, size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// The menu handle "Handles.ini" keeps for the window, or -1.
int64_t RecordedMenu(const std::wstring& file, HWND window) {
  const open_preference_file open = PreferenceFile::Open(file, BlankLineBetweenGroups);
  PreferenceFile::SelectGroup(std::to_wstring(reinterpret_cast<intptr_t>(window)));
  return PreferenceFile::ReadInt(L"MenuHandle", -1);  // without the group: -1
}

}  // namespace

class Hostile : public WithStandinIde {
 protected:
  // A run that ended quietly and left the window in `expected`.
  ::testing::AssertionResult Switches(const std::wstring& arguments, layout expected, const run_options& options) {
    const ide_state before = State();
    const ::testing::AssertionResult quietly = Quietly(RunTool(arguments, options));
    return quietly ? HasLayout(before, State(), expected) : quietly;
  }
  // A run that ended quietly and brought the normal layout back.
  ::testing::AssertionResult SwitchesBack(const std::wstring& arguments, const run_options& options) {
    const ::testing::AssertionResult quietly = Quietly(RunTool(arguments, options));
    return quietly ? BackToNormal(WindowsOf(ide)) : quietly;
  }
};
// Times measured against an IDE that stops answering: these run alone, so that they hold.
using HostileSerial = Hostile;

TEST_F(Hostile, CommandLines) {
  const std::wstring prefix = L"\"" + tool + L"\" ";
  const size_t longest = 32766 - prefix.size();  // CreateProcessW takes 32,767 characters with the terminator
  std::wstring repeated;
  while (repeated.size() + 17 <= longest) repeated += L"/fullscreentype=1";
  std::wstring separate;
  while (separate.size() + 18 <= longest) separate += L"/fullscreentype=1 ";
  const struct {
    const char* label;
    std::wstring arguments;
    layout expected;
  } cases[] = {
      {"32,767 characters", L"/fullscreentype=2" + std::wstring(longest - 17, L'x'), layout::border_only},
      {"an unclosed quote", L"\"/fullscreentype=1", layout::type_1},
      {"a quote inside", L"/fullscreen\"type=2", layout::type_2},
      {"only quotes", L"\"\"\"\"", layout::untouched},
      {"one quote", L"\"", layout::untouched},
      {"a tab before", L"\t/fullscreentype=1", layout::border_only},
      {"a no-break space after", L"/fullscreentype=1\u00A0", layout::border_only},
      {"outside the BMP", L"/fullscreentype=\U0001F600", layout::border_only},
      {"a lone surrogate", L"/FULLSCREENTYPE=\xD83D", layout::border_only},
      {"one argument of repetitions", repeated, layout::border_only},
      {"as many separate arguments", separate, layout::type_1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const ide_window_set& w = RestartIde();
    ASSERT_TRUE(Switches(c.arguments, c.expected, InToolFolder()));
    if (c.expected != layout::untouched) {
      ASSERT_TRUE(SwitchesBack(TypeOne, InToolFolder()));
    }
    EXPECT_EQ(RecordedMenu(folder.path + L"Handles.ini", w.main_window),
              c.expected == layout::untouched ? -1 : reinterpret_cast<intptr_t>(w.menu));
    DeleteFileW((folder.path + L"Handles.ini").c_str());
  }
}

TEST_F(Hostile, HandlesIniContents) {
  const std::wstring file = folder.path + L"Handles.ini";
  uint32_t seed = 12345;
  std::string random(64 * 1024, '\0');
  for (char& c : random) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("[1]\r\nMenuHandle = 7\r\n")) utf16.append(1, c).append(1, '\0');
  const std::string big = Repeat("[65537]\r\nMenuHandle = 1234567\r\n\r\n", 50 * 1024 * 1024 / 33);
  const struct {
    const char* label;
    std::function<std::string(HWND)> content;
  } cases[] = {
      {"random bytes", [&](HWND) { return random; }},
      {"NUL bytes", [](HWND) { return std::string(4096, '\0') + "\r\n[1]\r\nk=2\r\n"; }},
      {"invalid UTF-8 after the mark", [](HWND) { return std::string("\xEF\xBB\xBF\xC3\x28[\xFF\xFE]\r\nk\x80=\xC0\r\n"); }},
      {"UTF-16", [&](HWND) { return utf16; }},
      {"50 MB", [&](HWND) { return big; }},
      {"a 1 MB line", [](HWND) { return std::string(1024 * 1024, 'a'); }},
      {"a group name of 100,000 characters", [](HWND) { return "[" + std::string(100000, 'g') + "]\r\nk=1\r\n"; }},
      {"thousands of duplicate groups", [](HWND window) { return Repeat(HandlesRecord(window, reinterpret_cast<HMENU>(1)), 3000); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const ide_window_set& w = RestartIde();
    const std::string original = c.content(w.main_window);
    WriteBytes(file, original);
    ASSERT_TRUE(Switches(TypeTwo, layout::type_2, InToolFolder()));
    EXPECT_EQ(RecordedMenu(file, w.main_window), reinterpret_cast<intptr_t>(w.menu));
    EXPECT_GE(FileSize(file), static_cast<int64_t>(original.size()) / 2) << "the content was kept, not cut";
    ASSERT_TRUE(SwitchesBack(TypeTwo, InToolFolder()));
  }
  // The duplicates after the first group stay as they were.
  const std::string saved = ReadBytes(file);
  size_t stale = 0;
  for (size_t at = 0; (at = saved.find("MenuHandle = 1\r\n", at)) != std::string::npos; ++at) ++stale;
  EXPECT_EQ(stale, 2999u);
}

TEST_F(Hostile, HandlesIniThatCannotBeUsed) {
  const std::wstring file = folder.path + L"Handles.ini";
  const std::string original = "\xEF\xBB\xBF\r\n[1]\r\nMenuHandle = 11\r\n";
  {
    SCOPED_TRACE("a folder of that name");
    RestartIde();
    ASSERT_TRUE(CreateDirectoryW(file.c_str(), nullptr));
    ASSERT_TRUE(Switches(TypeOne, layout::type_1, InToolFolder()));
    ASSERT_TRUE(SwitchesBack(TypeOne, InToolFolder())) << "from the window property";
    EXPECT_TRUE(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryW(file.c_str());
  }
  {
    SCOPED_TRACE("read-only attribute");
    const ide_window_set& w = RestartIde();
    WriteBytes(file, original);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(Switches(TypeTwo, layout::type_2, InToolFolder()));
    // Windows keeps the file as it was; Wine, run as root, writes it anyway.
    const std::string now = ReadBytes(file);
    EXPECT_TRUE(now == original || RecordedMenu(file, w.main_window) == reinterpret_cast<intptr_t>(w.menu));
    EXPECT_EQ(now.substr(0, original.size()), original) << "what was there stays";
    ASSERT_TRUE(SwitchesBack(TypeTwo, InToolFolder()));
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

TEST_F(Hostile, Environments) {
  const std::wstring long_value = L"C:\\" + std::wstring(300, L'a');
  const struct {
    const char* label;
    std::optional<std::wstring> appdata;
  } cases[] = {
      {"appdata unset", std::nullopt},
      {"appdata empty", L""},
      {"appdata a missing folder", folder.path + L"missing\\deeper"},
      {"appdata longer than 260 characters", long_value},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    RestartIde();
    const run_options options{.folder = folder.path, .environment = {{L"APPDATA", c.appdata}}};
    ASSERT_TRUE(Switches(TypeOne, layout::type_1, options));
    ASSERT_TRUE(SwitchesBack(TypeOne, options));
  }
}

// U: is a read-only mount holding a copy of the tool and an empty folder
// "start", when the test session could make one.
TEST_F(Hostile, FoldersThatCannotBeWritten) {
  if (!IsSmallTestDisk(L"U:\\")) GTEST_SKIP() << "no read-only disk as U:";
  {
    SCOPED_TRACE("started in a folder that cannot be written");
    RestartIde();
    ASSERT_TRUE(Switches(TypeTwo, layout::type_2, {.folder = L"U:\\start\\"}));
    EXPECT_TRUE(Exists(folder.path + L"Handles.ini")) << "in the tool's own folder";
    ASSERT_TRUE(SwitchesBack(TypeTwo, {.folder = L"U:\\start\\"}));
  }
  {
    SCOPED_TRACE("started in a folder that cannot be written and holds a Corvalin.exe");
    RestartIde();
    DeleteFileW((folder.path + L"Handles.ini").c_str());
    ASSERT_TRUE(Switches(TypeTwo, layout::type_2, {.folder = L"U:\\"})) << "that folder stays the working folder";
    EXPECT_FALSE(Exists(L"U:\\Handles.ini"));
    EXPECT_FALSE(Exists(folder.path + L"Handles.ini"));
    ASSERT_TRUE(SwitchesBack(TypeTwo, {.folder = L"U:\\"})) << "from the window property";
  }
  {
    SCOPED_TRACE("the tool kept in a folder that cannot be written");
    tool = L"U:\\Corvalin.exe";
    RestartIde();
    ASSERT_TRUE(Switches(TypeOne, layout::type_1, InToolFolder()));
    EXPECT_FALSE(Exists(L"U:\\Handles.ini"));
    ASSERT_TRUE(SwitchesBack(TypeOne, InToolFolder())) << "from the window property";
  }
}

TEST_F(Hostile, TheMainWindowDestroyedWhileTheToolRuns) {
  const ide_window_set& w = StartIde({.destroy_at_style_change = true});
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  EXPECT_FALSE(IsWindow(w.main_window));
}

TEST_F(HostileSerial, AnIdeThatStopsHandlingMessagesForAWhile) {
  StartIde({.pause_at_style_change_ms = 2000});
  const ULONGLONG start = GetTickCount64();
  ASSERT_TRUE(Switches(TypeOne, layout::type_1, InToolFolder())) << "the tool finished the switch";
  EXPECT_GE(GetTickCount64() - start, 2000u) << "and waited for the IDE";
}

TEST_F(HostileSerial, AnIdeThatDoesNotAnswerIsLeftAlone) {
  StartIde();
  const ide_state before = State();
  PauseIde(ide, 8000);  // longer than the tool waits for an answer
  const ULONGLONG start = GetTickCount64();
  ASSERT_TRUE(Quietly(RunTool(TypeOne)));
  const ULONGLONG waited = GetTickCount64() - start;
  EXPECT_GE(waited, 4500u);
  EXPECT_LT(waited, 7500u) << "the tool gave up before the IDE came back";
  IdeDoes(ide, ide_event::settled);  // the IDE back, and what the tool sent it handled
  EXPECT_TRUE(HasLayout(before, State(), layout::untouched));
  EXPECT_FALSE(Exists(folder.path + L"Handles.ini")) << "nothing recorded for a switch that did not happen";
}

TEST_F(HostileSerial, AnIdeThatStopsForGoodInTheMiddleDoesNotHoldTheTool) {
  StartIde({.pause_at_style_change_ms = 20000});  // longer than the switch may take
  const ULONGLONG start = GetTickCount64();
  ASSERT_TRUE(Quietly(RunTool(L"/fullscreentype=1")));
  const ULONGLONG waited = GetTickCount64() - start;
  EXPECT_GE(waited, 14500u);
  EXPECT_LT(waited, 19000u) << "the tool ended before the IDE came back";
}

// Each style change keeps the IDE busy for 8 s: the second of two presses at
// once waits that long for its turn, then needs as long again for its switch.
TEST_F(HostileSerial, APressWhoseTurnComesLateFinishesItsSwitch) {
  StartIde({.pause_at_style_change_ms = 8000});
  last_run_trace = RelayTraceMark();
  const std::vector<std::wstring> presses(2, L"/fullscreentype=1");
  for (const process_run& run : RunProcessesAtOnce(tool, presses, InToolFolder())) {
    EXPECT_TRUE(Quietly(run));
  }
  EXPECT_TRUE(BackToNormal(WindowsOf(ide)));
}

namespace {

struct tool_in_switch {
  HWND main_window;
  HANDLE tool_thread;  // the tool's main thread, the one that switches
};

// Once the tool is inside its switch (the border gone, the IDE holding it up),
// sends its main thread on to an address that holds no code: the thread faults
// there as soon as the IDE lets it go on.
DWORD WINAPI FaultTheToolInItsSwitch(void* parameter) {
  const auto& tool = *static_cast<tool_in_switch*>(parameter);
  for (int tries = 0; tries < 1000 && (GetWindowLongPtrW(tool.main_window, GWL_STYLE) & WS_BORDER); ++tries) Sleep(10);
  CONTEXT context{};
  context.ContextFlags = CONTEXT_CONTROL;
  SuspendThread(tool.tool_thread);
  GetThreadContext(tool.tool_thread, &context);
  context.Rip = 0x1F40;
  SetThreadContext(tool.tool_thread, &context);
  ResumeThread(tool.tool_thread);
  return 0;
}

struct press_during_report {
  std::wstring tool;
  run_options options;
  process_run run{};
};

// Presses again while the fault report is up, and leaves the report open.
bool PressAgainDuringTheReport(HANDLE, const message_box_seen& box, void* context) {
  if (box.caption != L"Fehler") return true;
  auto& press = *static_cast<press_during_report*>(context);
  press.run = RunProcess(press.tool, L"/fullscreentype=1", press.options);
  return false;
}

}  // namespace

// A run faults in the middle of its switch: its report gives the turn up at
// once, and the switch's time limit does not take the report away.
TEST_F(HostileSerial, AFaultReportDuringASlowSwitch) {
  const ide_window_set& w = StartIde({.pause_at_style_change_ms = 3000});
  const child_process started = StartChild(tool, L"/fullscreentype=1", CREATE_SUSPENDED, folder.path);
  ASSERT_TRUE(started.process);
  tool_in_switch in_switch{w.main_window, started.thread.get()};
  const unique_handle injector{CreateThread(nullptr, 0, FaultTheToolInItsSwitch, &in_switch, 0, nullptr)};
  press_during_report press{tool, InToolFolder()};
  const run_options run{.folder = folder.path, .timeout_ms = 20000,  // longer than the switch may take
                        .on_box = PressAgainDuringTheReport, .context = &press};
  const process_run report = ResumeAndWait(started, run);
  WaitForSingleObject(injector.get(), INFINITE);  // it reads `in_switch` until it is done
  ASSERT_EQ(report.boxes.size(), 1u);
  EXPECT_EQ(report.boxes[0].caption, L"Fehler");
  EXPECT_FALSE(report.finished) << "the report was still up when the test ended the tool";
  EXPECT_TRUE(Quietly(press.run));
  EXPECT_TRUE(NormalLayout(State())) << "the next press, while the report was up, brought the normal layout back";
}

// The IDE busy in the style change of a leaving press for longer than the
// switch may take: the time limit cuts the press short. The border goes back
// last, so within the next two presses the IDE's normal layout is back whole,
// with both bars and the original menu.
TEST_F(HostileSerial, ALeavingPressCutShortIsCompletedByTheNextOnes) {
  const ide_window_set& w = StartIde();
  const ide_state before = State();
  ASSERT_TRUE(Quietly(RunTool(TypeOne)));
  PauseAtNextStyleChange(ide, 16000);
  const ULONGLONG start = GetTickCount64();
  ASSERT_TRUE(Quietly(RunTool(TypeOne)));
  EXPECT_GE(GetTickCount64() - start, 14500u) << "the time limit cut the press short";
  IdeDoes(ide, ide_event::settled);  // once the IDE is back
  for (int press = 1; press <= 2 && !NormalLayout(State()); ++press) {
    ASSERT_TRUE(Quietly(RunTool(TypeOne))) << "press " << press << " after the cut";
    IdeDoes(ide, ide_event::settled);
  }
  EXPECT_TRUE(HandedBackMenu(w)) << "the original menu, by the press that completed the way back";
  if (!GetMenu(w.main_window)) IdeDoes(ide, ide_event::menu_rebuilt);  // under Wine: a menu again, as on Windows
  EXPECT_TRUE(BackAsBefore(before, State(), w.main_window));
}
