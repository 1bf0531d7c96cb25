#include "driver/run.h"

#include "driver/discovery.h"
#include "driver/launch.h"
#include "driver/run_end.h"
#include "driver/switch.h"
#include "environment/environment.h"
#include "environment/required_files.h"
#include "fault/fault_handler.h"
#include "fault/os_names.h"
#include "message.h"

void RunTool(stage_hook hook) {
  FillRequiredFiles();
  FillOsNameTable();
  Reached(hook, run_stage::tables_filled);
  InstallFaultHandler(ReleaseTurnAndReport, reinterpret_cast<const void*>(&RunTool));
  Reached(hook, run_stage::fault_handler_installed);
  SelectDataDirectory();
  Reached(hook, run_stage::data_directory_selected);
  FixWorkingDirectory();
  Reached(hook, run_stage::working_directory_fixed);
  if (const required_file* missing = FirstMissingRequiredFile()) {
    ShowMessage(L"Fehler", MissingFileMessage(missing->name), MB_OK | MB_ICONERROR);
    ExitTool();
  }
  Reached(hook, run_stage::required_files_checked);
  const std::wstring layout_argument = ReadLayoutArgument();
  Reached(hook, run_stage::argument_read);
  if (!layout_argument.empty()) StartSwitchTimeLimit();
  Reached(hook, run_stage::time_limit_started);
  const DWORD parent_process_id = FindParentProcessId();
  Reached(hook, run_stage::parent_found);
  const discovered_windows found = DiscoverIdeWindows(parent_process_id);
  if (found.missing) {
    ShowMessage(L"Error", found.missing, MB_OK | MB_ICONERROR);
    ExitTool();
  }
  Reached(hook, run_stage::windows_discovered);
  if (!layout_argument.empty()) SwitchLayoutGuarded(found.windows, layout_argument, hook);
  ExitTool();
}

