#include "environment/required_files.h"

#include <windows.h>

#include "driver/message.h"
#include "driver/run.h"
#include "environment/environment.h"

std::vector<required_file> RequiredFiles;

void FillRequiredFiles() { RequiredFiles.push_back({L"Corvalin.exe"}); }

std::wstring MissingFileMessage(std::wstring_view name) {
  return L"Die Datei ''" + std::wstring(name) + L"'' konnte nicht gefunden werden.";
}

void CheckRequiredFiles() {
  for (const required_file& file : RequiredFiles) {
    if (ExactFileSize(file.name) == NothingThere) {
      ShowMessage(L"Fehler", MissingFileMessage(file.name), MB_OK | MB_ICONERROR);
      ExitTool();
    }
  }
}
