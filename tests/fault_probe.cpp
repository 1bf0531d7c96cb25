// Faults on demand, with the tool's fault handler installed as in the tool.
// fault_probe.exe MODE; the working folder's "Data\Settings.ini" makes the log
// go to its "Data\" folder, except in the mode that faults before that is known.
#include <windows.h>
#include <excpt.h>

#include <string>

#include "driver/launch.h"
#include "driver/run_end.h"
#include "environment/environment.h"
#include "fault/fault_handler.h"
#include "fault/os_names.h"

void FaultUnderCleanups();  // in a file built with C++ exceptions
int* volatile Nowhere = reinterpret_cast<int*>(0x1F40);

namespace {

volatile int Zero = 0;

void __attribute__((noinline)) WriteThroughInvalidPointer() { *Nowhere = 1; }

// More frames than the handler walks before it stops looking for one of its own.
int __attribute__((noinline)) FaultFramesDeep(int depth) {
  volatile int kept = depth;  // read after the call: each level keeps its frame
  if (depth == 0) WriteThroughInvalidPointer();
  return depth == 0 ? 0 : FaultFramesDeep(depth - 1) + kept;
}

volatile LONG OwnHandlerRan = 0;

extern "C" int HandleEverything(EXCEPTION_POINTERS*) {
  OwnHandlerRan = 1;
  return EXCEPTION_EXECUTE_HANDLER;
}

// Kept out of wWinMain: the handler it installs covers its whole function (and
// mingw allows one such handler per file). The fault comes below `depth` levels
// of a recursion; the one call is stored after, so that it is no tail call and
// stays inside the handler's range.
void __attribute__((noinline)) FaultUnderOwnHandler(int depth) {
  __try1(HandleEverything) {
    Zero = FaultFramesDeep(depth);
  }
  __except1 {
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::wstring mode = FirstArgument(GetCommandLineW());
  FillOsNameTable();
  InstallFaultHandler(mode == L"fault-in-report" ? WriteThroughInvalidPointer : ReportFatalError,
                      reinterpret_cast<const void*>(&wWinMain));
  if (mode != L"before-data-directory") SelectDataDirectory();
  if (mode == L"write" || mode == L"fault-in-report" || mode == L"before-data-directory") WriteThroughInvalidPointer();
  if (mode == L"few-parameters") RaiseException(AccessViolation, 0, 0, nullptr);
  if (mode == L"divide") Zero = 10 / Zero;
  if (mode == L"unknown") RaiseException(0xE0000001, 0, 0, nullptr);
  if (mode == L"cleanups") FaultUnderCleanups();
  if (mode == L"deep") Zero = FaultFramesDeep(1100);
  if (mode == L"own-handler" || mode == L"own-handler-deep") {
    FaultUnderOwnHandler(mode == L"own-handler" ? 0 : 50);
    RemoveFaultHandler();
    ExitProcess(OwnHandlerRan ? 7 : 8);  // 7: the program went on after its own handler
  }
  ExitTool();  // 0, as after a report: the exit code alone cannot tell them apart
}
