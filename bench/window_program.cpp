// The least a program that works with windows costs: the empty program plus
// the window library (loaded and asked for the desktop) and Corvalin's own
// resources, the manifest among them.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { ExitProcess(GetDesktopWindow() ? 0 : 1); }
