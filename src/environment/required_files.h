// The check that the files the tool needs are in its working folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct required_file {
  std::wstring name;
};

extern std::vector<required_file> RequiredFiles;

void FillRequiredFiles();
// Shows "Fehler" and ends the run at the first missing file; returns otherwise.
void CheckRequiredFiles();
std::wstring MissingFileMessage(std::wstring_view name);
