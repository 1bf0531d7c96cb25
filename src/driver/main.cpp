// Corvalin: switches the IDE main window of the process that started it into
// the fullscreen layout, or back. One straight pass; the exit code is always 0.
#include <windows.h>

#include "driver/discovery.h"
#include "driver/run.h"
#include "driver/switch.h"
#include "environment/environment.h"
#include "environment/required_files.h"
#include "fault/fault_handler.h"
#include "fault/os_names.h"
#include "message.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  FillRequiredFiles();
  FillOsNameTable();
  InstallFaultHandler(ReleaseTurnAndReport, reinterpret_cast<const void*>(&wWinMain));
  SelectDataDirectory();
  FixWorkingDirectory();
  if (const required_file* missing = FirstMissingRequiredFile()) {
    ShowMessage(L"Fehler", MissingFileMessage(missing->name), MB_OK | MB_ICONERROR);
    ExitTool();
  }
  layout_argument = ReadLayoutArgument();
  parent_process_id = FindParentProcessId();
  DiscoverIdeWindows(parent_process_id);
  if (!layout_argument.empty()) SwitchLayoutGuarded(IdeWindows, layout_argument);
  ExitTool();
}
