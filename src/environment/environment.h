// Where the tool keeps its data, where it works, and whether a file is there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// File-size results besides a size of 0 or more.
constexpr int64_t NothingThere = -1;
constexpr int64_t IsDirectory = -2;

// Paths longer than this are not queried: cutting them would name another file.
constexpr size_t MaxQueryPath = 260;

// The data directory, always ending in a backslash; empty until chosen.
extern std::wstring DataDirectory;

void SelectDataDirectory();
void FixWorkingDirectory();

// The plain query: patterns and trailing separators act as the system's search does.
int64_t QueryFileSize(std::wstring_view path);
// Exactly this path: patterns neutralised, a file never found behind a separator.
int64_t ExactFileSize(std::wstring_view path);

// The text ExactFileSize queries in place of a path.
std::wstring NeutralisePatterns(std::wstring_view path);

std::wstring EnvironmentValue(const std::wstring& name);
std::wstring CurrentFolder();
std::wstring ExecutablePath();
// A path without the long-path prefix: "\\?\C:\..." becomes "C:\...", and
// "\\?\UNC\server\share\..." the share's own "\\server\share\...".
std::wstring WithoutLongPathPrefix(std::wstring path);
std::wstring PathFolder(std::wstring_view path);
