// Helpers the tests share: scratch folders, whole-file reads and writes, the
// programs built beside the tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// A new empty folder under the temporary folder, ending in a backslash.
std::wstring MakeScratchFolder();
void RemoveTree(const std::wstring& folder);

// At most `most` bytes from `offset` on; "<missing>" when the file cannot be opened.
std::string ReadBytes(const std::wstring& path, int64_t offset = 0, size_t most = SIZE_MAX);
// A new file of these bytes, or with `at` given, the bytes written at that
// offset of the file (made when missing; a hole before them stays sparse).
void WriteBytes(const std::wstring& path, const std::string& bytes, int64_t at = -1);
bool Exists(const std::wstring& path);
// The size in bytes of the file, or -1 when there is none.
int64_t FileSize(const std::wstring& path);

// Whether `root` ("T:\\") is one of the test session's small disks (1 MiB at
// most), not a drive of the machine's own that a test must not fill.
bool IsSmallTestDisk(const wchar_t* root);

// Faults a new thread inside the process at an address holding no code.
void FaultNewThreadIn(HANDLE process);

// A program built beside the test executables.
std::wstring BuiltProgram(const std::wstring& name);
// Copies Corvalin.exe into `folder` (under `name`), as a user keeps it.
std::wstring InstallTool(const std::wstring& folder, const std::wstring& name = L"Corvalin.exe");

std::string Narrow(const std::wstring& text);

// The record Handles.ini keeps for a window: its group with the menu handle.
std::string HandlesRecord(HWND window, const void* menu);
// How many temporary files (*.tmp) of at least `least` bytes are in the folder.
int TemporaryFiles(const std::wstring& folder, DWORD least = 0);
// The path of today's error log in the folder.
std::wstring TodaysLog(const std::wstring& folder);

// Makes `folder` the current directory while it lives.
struct current_directory_change {
  wchar_t previous[MAX_PATH] = {};
  bool changed;
  explicit current_directory_change(const std::wstring& folder) {
    GetCurrentDirectoryW(MAX_PATH, previous);
    changed = SetCurrentDirectoryW(folder.c_str());
  }
  ~current_directory_change() { SetCurrentDirectoryW(previous); }
};

// Removes the scratch folder when the test ends.
struct scratch_folder {
  std::wstring path = MakeScratchFolder();
  ~scratch_folder() { RemoveTree(path); }
};
