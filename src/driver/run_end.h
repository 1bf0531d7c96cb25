// The single way a run ends, and the time limit of the switch, which ends it
// when the IDE holds the switch up too long.
#pragma once

#include <windows.h>

// Every window call of the switch waits until the IDE's thread has handled it:
// from its start the switch has SwitchTimeoutMs, then the tool ends (exit code
// 0), so that an IDE that stops handling messages cannot keep it waiting for ever.
constexpr unsigned SwitchTimeoutMs = 15000;

// Removes the fault handler and ends the process with exit code 0.
[[noreturn]] void ExitTool();

// Starts the thread that keeps the switch's time limit. A run that is to
// switch starts it well before the switch: under Wine a live second thread
// slows the window calls that wait for the IDE, one made right before the
// switch by 5 to 15 ms of their 20 to 40, one made as the run starts by 2 to 6.
void StartSwitchTimeLimit();
// The switch begins: its time limit runs from now.
void StartSwitchClock();
