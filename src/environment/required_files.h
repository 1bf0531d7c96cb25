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
// The first listed file that is missing, or null when all are there.
const required_file* FirstMissingRequiredFile();
std::wstring MissingFileMessage(std::wstring_view name);
