// What a run is given: its command-line argument and the process that started it.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Argument 0 of a command line (the program path not counted), double quotes
// removed; empty when there is none. Not yet lower-cased.
std::wstring FirstArgument(std::wstring_view command_line);
// Argument 0 of this process's command line, lower-cased.
std::wstring ReadLayoutArgument();
// The id of the process that started this one, or 0.
DWORD FindParentProcessId();
