// A whole switch (Corvalin.exe started by the stand-in IDE, entering, exit;
// then again, leaving) against the start and exit of an empty program built
// with the same toolchain, and against its floor: a program that makes only
// the switch's window calls on the same IDE, with the handles given to it. In
// one run, interleaved; between them, to show where the time goes, a program
// that only loads the window library and Corvalin's run cut off after each of
// its stages (switch_stages), Corvalin without an argument among them.
// Given another Corvalin.exe (an earlier build), its switches are timed in the
// same run. Last, the switch and its floor with the IDE waiting until the tool
// quits (its window disabled, its messages handled every 10 ms). Also the size
// of Corvalin.exe.
// Usage: switch_bench [EARLIER_CORVALIN_EXE]
#include <algorithm>
#include <cstdio>

#include "bench_support.h"
#include "standin/standin_ide.h"
#include "test_support.h"

namespace {

struct program {
  const char* label;
  std::wstring exe;
  bool switches;     // runs twice, in and out, with the type as its argument
  bool floor;        // the handles before the type
  bool ide_waits;    // the IDE waits until it quits
  int stage;         // of switch_stages, 0 for another program
  std::vector<double> times;
};

std::wstring Decimal(const void* handle) { return std::to_wstring(reinterpret_cast<intptr_t>(handle)); }

std::wstring Arguments(const program& p, const ide_window_set& w, int type) {
  if (p.floor) {
    return std::to_wstring(type) + L" " + Decimal(w.main_window) + L" " + Decimal(w.tool_bar) + L" " +
           Decimal(w.file_tab_bar) + L" " + Decimal(w.splitter) + L" " + Decimal(w.tab_control) + L" " +
           Decimal(w.menu);
  }
  const std::wstring stage = p.stage ? std::to_wstring(p.stage) + L" " : L"";
  return stage + (p.switches ? L"/fullscreentype=" + std::to_wstring(type) : L"");
}

double TimeRun(standin_ide* ide, const program& p, int type) {
  run_options options;
  options.folder = p.exe.substr(0, p.exe.find_last_of(L'\\') + 1);
  const std::wstring arguments = Arguments(p, WindowsOf(ide), type);
  const double start = Seconds();
  const process_run run = LaunchTool(ide, p.exe, arguments, {.wait_until_tool_quits = p.ide_waits}, options);
  const double elapsed = Seconds() - start;
  if (!run.finished || run.exit_code != 0 || !run.boxes.empty()) std::printf("unexpected run of %ls\n", p.exe.c_str());
  return elapsed;
}

double Minimum(const std::vector<double>& samples) { return *std::min_element(samples.begin(), samples.end()); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  scratch_folder folder, earlier_folder;
  const std::wstring tool = InstallTool(folder.path);
  const std::wstring earlier = earlier_folder.path + L"Corvalin.exe";
  if (argc > 1 && !CopyFileW(argv[1], earlier.c_str(), FALSE)) {
    std::printf("cannot copy %ls\n", argv[1]);
    return 1;
  }
  const std::wstring calls = BuiltProgram(L"switch_calls.exe"), stages = folder.path + L"switch_stages.exe";
  CopyFileW(BuiltProgram(L"switch_stages.exe").c_str(), stages.c_str(), FALSE);  // beside Corvalin.exe
  program programs[] = {
      {"empty program", BuiltProgram(L"empty_program.exe"), false, false, false, 0, {}},
      {"window program", BuiltProgram(L"window_program.exe"), false, false, false, 0, {}},
      {"switch calls only", calls, true, true, false, 0, {}},
      {"Corvalin to fault handler", stages, false, false, false, 1, {}},
      {"Corvalin to required file", stages, false, false, false, 2, {}},
      {"Corvalin to parent", stages, false, false, false, 3, {}},
      {"Corvalin, no argument", tool, false, false, false, 0, {}},
      {"Corvalin to switch", stages, true, false, false, 5, {}},
      {"Corvalin, switch", tool, true, false, false, 0, {}},
      {"earlier build, switch", argc > 1 ? earlier : L"", true, false, false, 0, {}},
      {"switch calls only, waits", calls, true, true, true, 0, {}},
      {"Corvalin, switch, waits", tool, true, false, true, 0, {}},
  };
  standin_ide* ide = StartStandinIde({});
  for (int i = 0; i < 40; ++i) {  // interleaved; a switching program goes in and out, type 1 and 2 in turn
    const int type = i % 2 ? 2 : 1;
    for (program& p : programs) {
      if (p.exe.empty()) continue;
      for (int run = 0; run < (p.switches ? 2 : 1); ++run) p.times.push_back(TimeRun(ide, p, type));
    }
  }
  StopStandinIde(ide);
  const double empty = Median(programs[0].times), empty_min = Minimum(programs[0].times);
  std::printf("%-26s %10s %10s %16s %16s\n", "", "median ms", "min ms", "median/empty", "min/empty");
  for (const program& p : programs) {
    if (p.exe.empty()) continue;
    const double m = Median(p.times), low = Minimum(p.times);
    std::printf("%-26s %10.1f %10.1f %16.2f %16.2f\n", p.label, m * 1e3, low * 1e3, m / empty, low / empty_min);
  }
  std::printf("against switch calls only (median, min):");
  for (const program* p : {&programs[8], &programs[9], &programs[11]}) {
    const program& floor = p->ide_waits ? programs[10] : programs[2];
    if (p->exe.empty()) continue;
    std::printf(" %s %.2f, %.2f;", p->label, Median(p->times) / Median(floor.times),
                Minimum(p->times) / Minimum(floor.times));
  }
  const int64_t size = FileSize(tool);
  std::printf("\nCorvalin.exe %lld bytes (%.1f KiB)\n", static_cast<long long>(size), size / 1024.0);
  return 0;
}
