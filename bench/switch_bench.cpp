// A whole switch (Corvalin.exe started, entering, exit; then again, leaving)
// against the start and exit of an empty program built with the same
// toolchain, paired in one run; also the size of Corvalin.exe.
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

}  // namespace

int main() {
  scratch_folder folder;
  const std::wstring tool = InstallTool(folder.path);
  const std::wstring empty = BuiltProgram(L"empty_program.exe");
  standin_ide* ide = StartStandinIde({});
  run_options options;
  options.folder = folder.path;
  std::vector<double> switches, empties;
  for (int i = 0; i < 20; ++i) {
    switches.push_back(TimeRun(tool, i % 2 ? L"/fullscreentype=2" : L"/fullscreentype=1", options));
    empties.push_back(TimeRun(empty, L"", options));
  }
  StopStandinIde(ide);
  double s = Median(switches), e = Median(empties);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(tool.c_str(), GetFileExInfoStandard, &data);
  std::printf("switch %.1f ms, empty program %.1f ms, ratio %.2f\n", s * 1e3, e * 1e3, s / e);
  std::printf("Corvalin.exe %lu bytes (%.1f KiB)\n", data.nFileSizeLow, data.nFileSizeLow / 1024.0);
  return 0;
}
