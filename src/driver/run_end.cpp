#include "driver/run_end.h"

#include <atomic>

#include "coverage.h"
#include "fault/fault_handler.h"
#include "handle.h"

namespace {

// When the switch began (GetTickCount64); 0 until then.
std::atomic<ULONGLONG> SwitchBegan{0};

// Ends the tool SwitchTimeoutMs after the switch began. Until it begins, the
// thread looks again every SwitchTimeoutMs, so that the switch's start need
// not wake it. A fault report that is up stays until the user closes it; the
// fault handler ends the process then.
DWORD WINAPI EndToolAfterTimeout(void*) {
  for (;;) {
    const ULONGLONG began = SwitchBegan, now = GetTickCount64();
    if (began && now - began >= SwitchTimeoutMs) break;
    Sleep(began ? static_cast<DWORD>(began + SwitchTimeoutMs - now) : SwitchTimeoutMs);
  }
  if (!ReportingFault()) ExitTool();
  return 0;
}

}  // namespace

void ExitTool() {
  RemoveFaultHandler();
  FlushCoverage();
  ExitProcess(0);
}

void StartSwitchTimeLimit() {
  // Not waited for: the process ends right after the switch, and with it the thread.
  unique_handle keeper{CreateThread(nullptr, 0, EndToolAfterTimeout, nullptr, 0, nullptr)};
}

void StartSwitchClock() { SwitchBegan = GetTickCount64(); }
