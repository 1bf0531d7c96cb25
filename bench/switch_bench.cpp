// A whole switch (Corvalin.exe started, entering, exit; then again, leaving)
// against the start and exit of an empty program built with the same
// toolchain, in one run; between them, to show where the time goes, a program
// that only loads the window library and Corvalin run without an argument.
// Given another Corvalin.exe (an earlier build), its switches are timed in the
// same run, interleaved. Also the size of Corvalin.exe.
// Usage: switch_bench [EARLIER_CORVALIN_EXE]
#include <algorithm>
#include <cstdio>

#include "bench_support.h"
#include "standin/standin_ide.h"
#include "test_support.h"

namespace {

double TimeRun(const std::wstring& exe, const std::wstring& arguments, const run_options& options) {
  double start = Seconds();
  process_run run = RunProcess(exe, arguments, options);
  double elapsed = Seconds() - start;
  if (!run.finished || run.exit_code != 0 || !run.boxes.empty()) std::printf("unexpected run of %ls\n", exe.c_str());
  return elapsed;
}

std::wstring PathOf(const std::wstring& file) { return file.substr(0, file.find_last_of(L'\\') + 1); }

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
  struct program {
    const char* label;
    std::wstring exe;
    const wchar_t* arguments;
    std::vector<double> times;
  } programs[] = {
      {"empty program", BuiltProgram(L"empty_program.exe"), L"", {}},
      {"window program", BuiltProgram(L"window_program.exe"), L"", {}},
      {"Corvalin, no argument", tool, L"", {}},
      {"Corvalin, switch", tool, nullptr, {}},
      {"earlier build, switch", argc > 1 ? earlier : L"", nullptr, {}},
  };
  standin_ide* ide = StartStandinIde({});
  run_options options;
  options.folder = folder.path;
  for (int i = 0; i < 40; ++i) {  // interleaved; a switching program goes in and out, type 1 and 2 in turn
    const wchar_t* argument = i % 2 ? L"/fullscreentype=2" : L"/fullscreentype=1";
    for (program& p : programs) {
      if (p.exe.empty()) continue;
      options.folder = PathOf(p.exe);
      for (int run = 0; run < (p.arguments ? 1 : 2); ++run) {
        p.times.push_back(TimeRun(p.exe, p.arguments ? p.arguments : argument, options));
      }
    }
  }
  StopStandinIde(ide);
  const double empty = Median(programs[0].times), empty_min = Minimum(programs[0].times);
  std::printf("%-24s %10s %10s %16s %16s\n", "", "median ms", "min ms", "median/empty", "min/empty");
  for (const program& p : programs) {
    if (p.exe.empty()) continue;
    double m = Median(p.times), low = Minimum(p.times);
    std::printf("%-24s %10.1f %10.1f %16.2f %16.2f\n", p.label, m * 1e3, low * 1e3, m / empty, low / empty_min);
  }
  const int64_t size = FileSize(tool);
  std::printf("Corvalin.exe %lld bytes (%.1f KiB)\n", static_cast<long long>(size), size / 1024.0);
  return 0;
}
