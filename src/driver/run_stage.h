// The stages of a run, and the hook that is told of each as it is done.
#pragma once

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
