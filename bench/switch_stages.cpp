// Corvalin's run cut off after a given stage, to show where a switch's time
// goes beyond its window calls: 1 the tables and the fault handler, 2 the data
// and working folders and the required-file check, 3 the argument and the
// parent process, 4 the discovery, 5 the switch without its turn, watchdog and
// answer check. Run from the tool's folder, started by the IDE.
// Usage: switch_stages STAGE [ARGUMENT]
#include <windows.h>

#include "driver/discovery.h"
#include "driver/run.h"
#include "driver/switch.h"
#include "environment/environment.h"
#include "environment/required_files.h"
#include "fault/fault_handler.h"
#include "fault/os_names.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const int stage = FirstArgument(GetCommandLineW())[0] - L'0';
  FillRequiredFiles();
  FillOsNameTable();
  InstallFaultHandler(ReportFatalError, reinterpret_cast<const void*>(&wWinMain));
  if (stage < 2) ExitTool();
  SelectDataDirectory();
  FixWorkingDirectory();
  if (FirstMissingRequiredFile()) ExitTool();
  if (stage < 3) ExitTool();
  const std::wstring command_line = GetCommandLineW();  // the program's path in quotes, the stage, the argument
  layout_argument = FirstArgument(command_line.substr(command_line.find(L'"', 1) + 1));
  parent_process_id = FindParentProcessId();
  if (stage < 4) ExitTool();
  DiscoverIdeWindows(parent_process_id);
  if (stage < 5 || layout_argument.empty()) ExitTool();
  SwitchLayout(IdeWindows, layout_argument);
  ExitTool();
}
