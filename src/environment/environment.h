// Where the tool keeps its data, where it works, whether a file is there, and
// the check that its required files are present.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// File-size results besides a size of 0 or more.
constexpr int64_t NothingThere = -1;
constexpr int64_t IsDirectory = -2;

// Paths longer than this are not queried: cutting them would name another file.
constexpr size_t MaxQueryPath = 260;

struct required_file {
  std::wstring name;
};

// The data directory, always ending in a backslash; empty until chosen.
extern std::wstring DataDirectory;
extern std::vector<required_file> RequiredFiles;

void FillRequiredFiles();
void SelectDataDirectory();
void FixWorkingDirectory();
// Shows "Fehler" and ends the run at the first missing file; returns otherwise.
void CheckRequiredFiles();

// The plain query: patterns and trailing separators act as the system's search does.
int64_t QueryFileSize(std::wstring_view path);
// Exactly this path: patterns neutralised, a file never found behind a separator.
int64_t ExactFileSize(std::wstring_view path);

// The text ExactFileSize queries in place of a path.
std::wstring NeutralisePatterns(std::wstring_view path);
std::wstring MissingFileMessage(std::wstring_view name);

std::wstring EnvironmentValue(const std::wstring& name);
std::wstring CurrentFolder();
std::wstring ExecutablePath();
std::wstring PathFolder(std::wstring_view path);
