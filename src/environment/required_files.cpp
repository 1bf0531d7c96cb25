#include "environment/required_files.h"

#include "environment/environment.h"

std::vector<required_file> RequiredFiles;

void FillRequiredFiles() { RequiredFiles.push_back({L"Corvalin.exe"}); }

std::wstring MissingFileMessage(std::wstring_view name) {
  return L"Die Datei ''" + std::wstring(name) + L"'' konnte nicht gefunden werden.";
}

const required_file* FirstMissingRequiredFile() {
  for (const required_file& file : RequiredFiles) {
    if (ExactFileSize(file.name) == NothingThere) return &file;
  }
  return nullptr;
}
