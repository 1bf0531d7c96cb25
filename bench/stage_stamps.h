// Where switch_stages leaves its readings of the high-resolution clock for the
// switch benchmark: memory that the benchmark names, maps and clears before
// each run.
#pragma once

#include <windows.h>

#include "driver/run_stage.h"

constexpr const wchar_t* StageStampsName = L"Local\\Corvalin.StageStamps";

struct stage_stamps {
  LARGE_INTEGER entry;               // at the program's entry point
  LARGE_INTEGER done[RunStageCount]; // as each stage is done; 0 for a stage not reached
};
