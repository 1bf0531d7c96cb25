// Corvalin: switches the IDE main window of the process that started it into
// the fullscreen layout, or back. One straight pass; the exit code is always 0.
#include <windows.h>

#include "driver/run.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { RunTool(nullptr); }
