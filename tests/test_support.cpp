#include "test_support.h"

#include <algorithm>

#include "environment/environment.h"
#include "fault/error_log.h"
#include "handle.h"

std::wstring MakeScratchFolder() {
  static LONG counter = 0;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  for (;;) {
    std::wstring folder = std::wstring(temp) + L"corvalin-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                          std::to_wstring(InterlockedIncrement(&counter)) + L"\\";
    if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
  }
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  if (const unique_find search{FindFirstFileW((folder + L"*").c_str(), &found)}) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = folder + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path + L"\\"); else DeleteFileW(path.c_str());
    } while (FindNextFileW(search.get(), &found));
  }
  RemoveDirectoryW(folder.c_str());
}

std::string ReadBytes(const std::wstring& path, int64_t offset, size_t most) {
  const unique_file file{CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr)};
  if (!file) return "<missing>";
  SetFilePointerEx(file.get(), LARGE_INTEGER{.QuadPart = offset}, nullptr, FILE_BEGIN);
  std::string bytes;
  char chunk[65536];
  DWORD read = 0;
  while (bytes.size() < most && ReadFile(file.get(), chunk, static_cast<DWORD>(std::min(sizeof chunk, most - bytes.size())),
                                         &read, nullptr) && read) {
    bytes.append(chunk, read);
  }
  return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes, int64_t at) {
  const unique_file file{
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, at < 0 ? CREATE_ALWAYS : OPEN_ALWAYS, 0, nullptr)};
  if (at >= 0) SetFilePointerEx(file.get(), LARGE_INTEGER{.QuadPart = at}, nullptr, FILE_BEGIN);
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

int64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool IsSmallTestDisk(const wchar_t* root) {
  ULARGE_INTEGER available{}, total{}, free{};
  return GetDiskFreeSpaceExW(root, &available, &total, &free) && total.QuadPart <= 1024 * 1024;
}

void FaultNewThreadIn(HANDLE process) {
  const unique_handle thread{CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(0x1F40),
                                                 nullptr, 0, nullptr)};
}

std::wstring BuiltProgram(const std::wstring& name) { return PathFolder(ExecutablePath()) + name; }

std::wstring InstallTool(const std::wstring& folder, const std::wstring& name) {
  std::wstring target = folder + name;
  CopyFileW(BuiltProgram(L"Corvalin.exe").c_str(), target.c_str(), FALSE);
  return target;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

std::string HandlesRecord(HWND window, const void* menu) {
  std::string record = "[";  // appended piece by piece: GCC 12 warns falsely on "[" + string
  record.append(std::to_string(reinterpret_cast<intptr_t>(window))).append("]\r\nMenuHandle = ");
  return record.append(std::to_string(reinterpret_cast<intptr_t>(menu))).append("\r\n");
}

int TemporaryFiles(const std::wstring& folder, DWORD least) {
  WIN32_FIND_DATAW found;
  const unique_find search{FindFirstFileW((folder + L"*.tmp").c_str(), &found)};
  if (!search) return 0;
  int count = 0;
  do count += found.nFileSizeHigh || found.nFileSizeLow >= least; while (FindNextFileW(search.get(), &found));
  return count;
}

std::wstring TodaysLog(const std::wstring& folder) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return folder + LogFileName(L"Error", now);
}
