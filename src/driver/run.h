// The run itself: the command-line argument, the parent process, and the single
// way a run ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

extern std::wstring layout_argument;
extern int64_t parent_process_id;

// Argument 0 of a command line (the program path not counted), double quotes
// removed; empty when there is none. Not yet lower-cased.
std::wstring FirstArgument(std::wstring_view command_line);
// Argument 0 of this process's command line, lower-cased.
std::wstring ReadLayoutArgument();
// The id of the process that started this one, or 0.
uint32_t FindParentProcessId();

// Removes the fault handler and ends the process with exit code 0.
[[noreturn]] void ExitTool();
