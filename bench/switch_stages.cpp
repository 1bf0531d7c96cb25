// Corvalin's run as the tool makes it, with the high-resolution clock read at
// the entry point and as each stage is done, into the benchmark's stamps
// (stage_stamps.h). Run from the tool's folder, started by the IDE.
// Usage: switch_stages [ARGUMENT]
#include <windows.h>

#include "driver/run.h"
#include "stage_stamps.h"

namespace {

stage_stamps* Stamps = nullptr;

void Stamp(run_stage stage) { QueryPerformanceCounter(&Stamps->done[static_cast<int>(stage)]); }

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  LARGE_INTEGER entry;
  QueryPerformanceCounter(&entry);
  HANDLE memory = OpenFileMappingW(FILE_MAP_WRITE, FALSE, StageStampsName);
  Stamps = memory ? static_cast<stage_stamps*>(MapViewOfFile(memory, FILE_MAP_WRITE, 0, 0, sizeof(stage_stamps)))
                  : nullptr;
  if (!Stamps) ExitProcess(1);
  Stamps->entry = entry;
  RunTool(Stamp);
}
