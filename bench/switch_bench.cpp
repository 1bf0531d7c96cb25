// A whole switch (Corvalin.exe started by the stand-in IDE, entering, exit;
// then again, leaving) against its floor: a program that makes only the
// switch's window calls, with the tool's own code, on the same IDE with the
// handles given to it. Each program has its role: the baseline (the start and
// exit of an empty program built with the same toolchain), a floor, or a
// program compared with the floor it names, which may itself be compared with
// another. Corvalin without an argument has for its floor a program that only
// loads the window library. Given earlier builds of Corvalin.exe, their
// switches are compared in the same run. Also
// the switch and its floor with the IDE waiting until the tool quits (its
// window disabled, its messages handled every 10 ms), and the floor with a
// second thread asleep, as the tool has one for its time limit; the stamped
// switch is compared with that one.
// In one run, interleaved: each round runs every program once (a switching
// one in and out), in an order of its own, so that no program always follows
// the same one; the IDE handles what the last run left it, and the machine
// what the last process left, before the clock starts. A program that Wine
// fails to start the runner starts once more, inside the timed span; one that
// failed both times is started again, not timed.
// Then the time of each step of the switch, from the clock read inside the
// tool's run (switch_stages) and by the IDE before the start and after the
// end; and the size of Corvalin.exe.
// Usage: switch_bench [EARLIER_CORVALIN_EXE...]
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>

#include "bench_support.h"
#include "handle.h"
#include "stage_stamps.h"
#include "standin/standin_ide.h"
#include "test_support.h"

namespace {

enum class role { baseline, floor, against_floor };

// The pause before each run, after the IDE has settled. Started right after
// another program ended, a program took about 25 ms longer to start in about
// half of the runs, which put every median now into one cluster, now into the
// other; after this pause its start takes 22 to 30 ms.
constexpr DWORD SettleMs = 40;

struct program {
  std::string label;
  std::wstring exe;
  role kind;
  std::string floor;  // of a program against a floor: the label of that floor
  bool switches;      // runs twice, in and out, with the type as its argument
  bool ide_waits;     // the IDE waits until it quits
  bool calls_only;    // makes only the switch's window calls, on the handles given to it
  std::vector<double> times;
};

constexpr const char* StepNames[] = {
    "fixed tables", "fault handler", "data directory", "working directory", "required file",
    "argument", "time limit", "parent process", "discovery", "turn",
    "answer check", "Handles.ini", "window calls", "turn given up"};
static_assert(std::size(StepNames) == RunStageCount);

// The steps of the stamped runs, entering [0] and leaving [1]: from the IDE's
// start of the process to its entry point, each stage, and from the last
// stage until the IDE sees the process end.
struct step_times {
  std::vector<double> start[2], stage[RunStageCount][2], end[2];
};

std::wstring Decimal(const void* handle) { return std::to_wstring(reinterpret_cast<intptr_t>(handle)); }

std::wstring Arguments(const program& p, const ide_window_set& w, int type) {
  const std::wstring argument = p.switches ? L"/fullscreentype=" + std::to_wstring(type) : L"";
  if (!p.calls_only || !p.switches) return argument;
  return argument + L" " + Decimal(w.main_window) + L" " + Decimal(w.tool_bar) + L" " + Decimal(w.file_tab_bar) +
         L" " + Decimal(w.splitter) + L" " + Decimal(w.tab_control) + L" " + Decimal(w.menu);
}

// In seconds, as Seconds() counts them.
double StampSeconds(LARGE_INTEGER counter) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void AddSteps(step_times& steps, const stage_stamps& stamps, double start, double end, int direction) {
  if (std::any_of(std::begin(stamps.done), std::end(stamps.done), [](LARGE_INTEGER t) { return t.QuadPart == 0; })) {
    std::printf("a stamped run did not reach every stage\n");
    return;
  }
  double before = StampSeconds(stamps.entry);
  steps.start[direction].push_back(before - start);
  for (int i = 0; i < RunStageCount; ++i) {
    const double done = StampSeconds(stamps.done[i]);
    steps.stage[i][direction].push_back(done - before);
    before = done;
  }
  steps.end[direction].push_back(end - before);
}

double TimeRun(standin_ide* ide, const program& p, int type, stage_stamps& stamps, step_times& steps, int direction) {
  run_options options;
  options.folder = p.exe.substr(0, p.exe.find_last_of(L'\\') + 1);
  const std::wstring arguments = Arguments(p, WindowsOf(ide), type);
  process_run run{};
  double start = 0, end = 0;
  for (int attempt = 0; attempt < 3 && !run.started; ++attempt) {
    IdeDoes(ide, ide_event::settled);
    Sleep(SettleMs);
    stamps = {};
    start = Seconds();
    run = LaunchTool(ide, p.exe, arguments, {.wait_until_tool_quits = p.ide_waits}, options);
    end = Seconds();
  }
  if (!run.finished || run.exit_code != 0 || !run.boxes.empty()) std::printf("unexpected run of %ls\n", p.exe.c_str());
  if (stamps.entry.QuadPart) AddSteps(steps, stamps, start, end, direction);
  return end - start;
}

double Minimum(const std::vector<double>& samples) { return *std::min_element(samples.begin(), samples.end()); }

const program* FloorOf(const std::vector<program>& programs, const program& p) {
  for (const program& floor : programs) {
    if (floor.kind != role::baseline && floor.label == p.floor) return &floor;
  }
  return nullptr;
}

void PrintStep(const char* name, const std::vector<double> (&times)[2]) {
  std::printf("  %-20s %10.2f %10.2f\n", name, Median(times[0]) * 1e3, Median(times[1]) * 1e3);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  scratch_folder folder;
  const std::wstring tool = InstallTool(folder.path);
  const std::wstring calls = BuiltProgram(L"switch_calls.exe"), stages = folder.path + L"switch_stages.exe";
  CopyFileW(BuiltProgram(L"switch_stages.exe").c_str(), stages.c_str(), FALSE);  // beside Corvalin.exe
  std::vector<program> programs = {
      {"empty program", BuiltProgram(L"empty_program.exe"), role::baseline, "", false, false, false, {}},
      {"window program", BuiltProgram(L"window_program.exe"), role::floor, "", false, false, false, {}},
      {"Corvalin, no argument", tool, role::against_floor, "window program", false, false, false, {}},
      {"switch calls only", calls, role::floor, "", true, false, true, {}},
      {"switch calls, a thread asleep", BuiltProgram(L"switch_calls_thread.exe"), role::against_floor,
       "switch calls only", true, false, true, {}},
      {"Corvalin, switch", tool, role::against_floor, "switch calls only", true, false, false, {}},
      {"Corvalin, stamped steps", stages, role::against_floor, "switch calls, a thread asleep", true, false, false,
       {}},
      {"switch calls only, waits", calls, role::floor, "", true, true, true, {}},
      {"Corvalin, switch, waits", tool, role::against_floor, "switch calls only, waits", true, true, false, {}},
  };
  std::vector<scratch_folder> earlier_folders(argc > 1 ? argc - 1 : 0);
  for (int i = 1; i < argc; ++i) {  // each in a folder of its own, with a Handles.ini of its own
    const std::wstring earlier = earlier_folders[i - 1].path + L"Corvalin.exe", name = argv[i];
    if (!CopyFileW(argv[i], earlier.c_str(), FALSE)) {
      std::printf("cannot copy %ls\n", argv[i]);
      return 1;
    }
    programs.push_back({"earlier " + Narrow(name.substr(name.find_last_of(L"\\/") + 1)), earlier, role::against_floor,
                        "switch calls only", true, false, false, {}});
  }
  for (const program& p : programs) {
    if (p.kind == role::against_floor && !FloorOf(programs, p)) {
      std::printf("%s: no floor named %s\n", p.label.c_str(), p.floor.c_str());
      return 1;
    }
  }
  const unique_handle memory{CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                sizeof(stage_stamps), StageStampsName)};
  auto* stamps = static_cast<stage_stamps*>(MapViewOfFile(memory.get(), FILE_MAP_WRITE, 0, 0, sizeof(stage_stamps)));
  if (!stamps) {
    std::printf("no memory for the stamps\n");
    return 1;
  }

  step_times steps;
  std::vector<size_t> order(programs.size());
  std::iota(order.begin(), order.end(), 0);
  std::mt19937 shuffle(1);  // the same orders in every run of the benchmark
  standin_ide* ide = StartStandinIde({});
  for (int round = 0; round < 40; ++round) {  // type 1 and 2 in turn
    const int type = round % 2 ? 2 : 1;
    std::shuffle(order.begin(), order.end(), shuffle);
    for (size_t i : order) {
      program& p = programs[i];
      for (int run = 0; run < (p.switches ? 2 : 1); ++run) {
        p.times.push_back(TimeRun(ide, p, type, *stamps, steps, run));
      }
    }
  }
  StopStandinIde(ide);
  UnmapViewOfFile(stamps);

  const program& baseline =
      *std::find_if(programs.begin(), programs.end(), [](const program& p) { return p.kind == role::baseline; });
  const double empty = Median(baseline.times), empty_min = Minimum(baseline.times);
  std::printf("%-36s %10s %10s %14s %14s\n", "", "median ms", "min ms", "median/empty", "min/empty");
  for (const program& p : programs) {
    const double m = Median(p.times), low = Minimum(p.times);
    std::printf("%-36s %10.1f %10.1f %14.2f %14.2f\n", p.label.c_str(), m * 1e3, low * 1e3, m / empty,
                low / empty_min);
  }
  std::printf("%-68s %8s %8s\n", "against its floor", "median", "min");
  for (const program& p : programs) {
    if (p.kind != role::against_floor) continue;
    const program& floor = *FloorOf(programs, p);
    std::printf("  %-34s / %-30s %8.2f %8.2f\n", p.label.c_str(), floor.label.c_str(),
                Median(p.times) / Median(floor.times), Minimum(p.times) / Minimum(floor.times));
  }
  if (!steps.start[0].empty() && !steps.start[1].empty()) {
    std::printf("steps of the stamped switch, median ms   entering    leaving\n");
    PrintStep("start", steps.start);
    for (int i = 0; i < RunStageCount; ++i) PrintStep(StepNames[i], steps.stage[i]);
    PrintStep("end", steps.end);
  }
  const int64_t size = FileSize(tool);
  std::printf("Corvalin.exe %lld bytes (%.1f KiB)\n", static_cast<long long>(size), size / 1024.0);
  return 0;
}
