// The run itself: its order of steps, the command-line argument, the parent
// process, and the single way a run ends.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The stages of a run, in their order; the last five are the switch's.
enum class run_stage {
  tables_filled,
  fault_handler_installed,
  data_directory_selected,
  working_directory_fixed,
  required_files_checked,
  argument_read,
  time_limit_started,
  parent_found,
  windows_discovered,
  turn_taken,
  ide_answered,
  handles_ini_used,
  windows_switched,
  turn_released,
};
constexpr int RunStageCount = static_cast<int>(run_stage::turn_released) + 1;

// Called as each stage of a run is done; the shipped tool has none.
using stage_hook = void (*)(run_stage stage);

inline void Reached(stage_hook hook, run_stage stage) {
  if (hook) hook(stage);
}

// The whole run, from the fixed tables to ExitTool.
[[noreturn]] void RunTool(stage_hook hook);

// Argument 0 of a command line (the program path not counted), double quotes
// removed; empty when there is none. Not yet lower-cased.
std::wstring FirstArgument(std::wstring_view command_line);
// Argument 0 of this process's command line, lower-cased.
std::wstring ReadLayoutArgument();
// The id of the process that started this one, or 0.
DWORD FindParentProcessId();

// Removes the fault handler and ends the process with exit code 0.
[[noreturn]] void ExitTool();
