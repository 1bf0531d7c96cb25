// The run itself: its order of steps, from the fixed tables to ExitTool.
#pragma once

#include "driver/run_stage.h"

[[noreturn]] void RunTool(stage_hook hook);
