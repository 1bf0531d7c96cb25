#include "handle.h"
#include "ide_fixture.h"

namespace {

const std::wstring NoMainWindow = L"The PureBasic or SpiderBasic window could not be determined.";

}  // namespace

using Discovery = WithStandinIde;

TEST_F(Discovery, StartedWithoutAnIdeSaysSo) {
  EXPECT_TRUE(EndedWithBox(RunTool(L""), L"Error", NoMainWindow));
  EXPECT_TRUE(EndedWithBox(RunTool(L"/fullscreentype=1"), L"Error", NoMainWindow));
}

// The wall clock set back after the IDE started, as time synchronisation does:
// cmake/wine-clock-step.sh runs this with a wineserver whose clock it can step.
using ClockSteppedBack = WithStandinIde;

TEST_F(ClockSteppedBack, TheProcessOfTheNamedMainWindowIsStillTheParent) {
  wchar_t offset_file[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"CORVALIN_CLOCK_OFFSET_FILE", offset_file, MAX_PATH)) GTEST_SKIP() << "no clock";
  const ide_window_set& w = StartIde();
  WriteBytes(offset_file, "-10m\n");
  EXPECT_TRUE(EndedWithBox(RunTool(L"/fullscreentype=2"), L"Error", NoMainWindow)) << "the creation times alone";
  run_options options = InToolFolder();
  for (HWND named : {GetDesktopWindow(), w.main_window}) {
    options.environment = {{L"PB_TOOL_MainWindow", std::to_wstring(reinterpret_cast<intptr_t>(named))}};
    const process_run run = RunTool(L"/fullscreentype=2", options);
    EXPECT_TRUE(named == w.main_window ? Quietly(run) : EndedWithBox(run, L"Error", NoMainWindow));
  }
  EXPECT_EQ(State().style & WS_BORDER, 0);
}

// Class names are atoms shared by every process: while another process has
// "WindowClass_2" registered, a class "windowclass_2" reads back in that case.
// CTest therefore runs the suites named Serial alone.
using DiscoverySerial = WithStandinIde;

TEST_F(DiscoverySerial, AClassNameInOtherLetterCaseIsNotTaken) {
  const ide_window_set& w = StartIde({.main_class = L"windowclass_2"});
  wchar_t name[32] = {};
  GetClassNameW(w.main_window, name, 32);
  ASSERT_STREQ(name, L"windowclass_2") << "another process holds the class name in its other case";
  const ide_state before = State();
  EXPECT_TRUE(EndedWithBox(RunTool(L"/fullscreentype=1"), L"Error", NoMainWindow));
  EXPECT_TRUE(Untouched(before, State()));
}

TEST_F(Discovery, EachMissingControlHasItsMessage) {
  struct missing {
    void (*change)(ide_options&);
    const wchar_t* message;
  } cases[] = {
      {[](ide_options& o) { o.visible = false; }, NoMainWindow.c_str()},
      {[](ide_options& o) { o.caption_bits = 0; }, NoMainWindow.c_str()},
      {[](ide_options& o) { o.tool_bar = false; }, L"ToolbarWindow32 could not be detected."},
      {[](ide_options& o) { o.file_tab_bar = false; }, L"TabBar could not be detected."},
      {[](ide_options& o) { o.file_tab_bar_id = 2; }, L"TabBar could not be detected."},
      {[](ide_options& o) { o.file_tab_bar_id = 0; }, L"TabBar could not be detected."},
      {[](ide_options& o) { o.splitter = false; }, L"PureSplitter could not be detected."},
      {[](ide_options& o) { o.splitter_id = 1; }, L"PureSplitter could not be detected."},
      {[](ide_options& o) { o.tab_control = false; }, L"SysTabControl32 could not be detected."},
      {[](ide_options& o) { o.tab_control_as_grandchild = true; }, L"SysTabControl32 could not be detected."},
  };
  for (const missing& c : cases) {
    ide_options options;
    c.change(options);
    RestartIde(options);
    const ide_state before = State();
    EXPECT_TRUE(EndedWithBox(RunTool(TypeOne), L"Error", c.message)) << Narrow(c.message);
    EXPECT_TRUE(Untouched(before, State()));
    EXPECT_FALSE(Exists(folder.path + L"Handles.ini"));
  }
}

TEST_F(Discovery, OnlyTheParentsIdeIsTaken) {
  held_process other;
  StartOtherIde(other);
  if (HasFatalFailure()) return;
  const LONG_PTR other_style = GetWindowLongPtrW(other.main_window, GWL_STYLE);
  EXPECT_TRUE(EndedWithBox(RunTool(L"/fullscreentype=2"), L"Error", NoMainWindow)) << "the other IDE is no parent";

  StartIde();
  EXPECT_TRUE(Quietly(RunTool(L"/fullscreentype=2")));
  EXPECT_EQ(State().style & WS_BORDER, 0);
  EXPECT_EQ(GetWindowLongPtrW(other.main_window, GWL_STYLE), other_style);
  EXPECT_NE(GetMenu(other.main_window), nullptr);
}

namespace {

DWORD WINAPI DoNothing(void*) { return 0; }

// Takes one process-or-thread id and gives it back at once. Wine hands out
// given-back ids again in the order they were given back, so cycling ids walks
// through them.
DWORD CycleOneId() {
  DWORD id = 0;
  // Ends by itself: a thread ended from outside would keep its stack.
  unique_handle thread{CreateThread(nullptr, 64 * 1024, DoNothing, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, &id)};
  WaitForSingleObject(thread.get(), INFINITE);
  return id;
}

}  // namespace

// A launcher started the tool and ended; before the tool ran, a newer IDE
// process took over the launcher's id. That IDE did not start the tool.
TEST_F(DiscoverySerial, AParentsIdTakenOverByANewerIdeIsNotTheParent) {
  child_process started;  // the tool, ended by the test's end at the latest
  DWORD launcher_id = 0;
  {
    held_process launcher;  // ended, and its handles closed, at the end of the block
    StartOtherIde(launcher, CREATE_SUSPENDED);
    started = StartChild(tool, L"/fullscreentype=1", CREATE_SUSPENDED, folder.path, launcher.child.process.get());
    ASSERT_TRUE(started.process);
    launcher_id = launcher.child.id;
  }

  // Walk once round the given-back ids to the launcher's, then up to the one
  // before it: the next process made takes the launcher's id.
  DWORD before = 0, id = 0;
  for (int n = 0; n < 50000 && (id = CycleOneId()) != launcher_id; ++n) before = id;
  held_process ide;
  if (id == launcher_id) {
    for (int n = 0; n < 50000 && CycleOneId() != before; ++n) {
    }
    StartOtherIde(ide);
  }
  if (ide.child.id != launcher_id) {
    GTEST_SKIP() << "this system does not hand the launcher's process id to the next process";
  }
  const LONG_PTR style = GetWindowLongPtrW(ide.main_window, GWL_STYLE);
  EXPECT_TRUE(EndedWithBox(ResumeAndWait(started), L"Error", NoMainWindow));
  EXPECT_EQ(GetWindowLongPtrW(ide.main_window, GWL_STYLE), style) << "the newer IDE was switched";
}
