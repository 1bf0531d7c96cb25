#include "environment/environment.h"

#include <windows.h>

#include "handle.h"

std::wstring DataDirectory;

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveWithRoot(const std::wstring& path) { return GetDriveTypeW(path.c_str()) > DRIVE_NO_ROOT_DIR; }

int64_t SizeOfFoundEntry(const WIN32_FIND_DATAW& found) {
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return IsDirectory;
  return static_cast<int64_t>((static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
}

// Network shares ("\\server\share") and two-dot paths, which the search does not find.
int64_t QueryByAttributes(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? IsDirectory : NothingThere;
  return IsDriveWithRoot(path) ? IsDirectory : NothingThere;
}

// Calls `read(buffer, capacity)`, which returns the length it needs or wrote, with a
// growing buffer until the whole text fits.
template <typename Reader>
std::wstring ReadGrowing(Reader read) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = read(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    if (buffer.size() >= 0x10000) return {};  // no Windows path is longer than this
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

int64_t QueryFileSize(std::wstring_view path) {
  if (path.empty() || path.size() > MaxQueryPath) return NothingThere;
  std::wstring copy(path);
  if ((copy.size() == 2 || copy.size() == 3) && copy[1] == L':') {
    if (copy.size() == 2) copy += L'\\';
    return IsDriveWithRoot(copy) ? IsDirectory : NothingThere;
  }
  while (copy.size() > 1 && IsSeparator(copy.back())) copy.pop_back();
  WIN32_FIND_DATAW found{};
  if (unique_find search{FindFirstFileW(copy.c_str(), &found)}) return SizeOfFoundEntry(found);
  if (copy.size() >= 2 && copy[0] == copy[1] && (IsSeparator(copy[0]) || copy[0] == L'.')) {
    return QueryByAttributes(copy);
  }
  return NothingThere;
}

std::wstring NeutralisePatterns(std::wstring_view path) {
  std::wstring cleaned(path);
  for (wchar_t pattern : {L'*', L'?', L'<', L'>', L'"'}) {
    for (wchar_t& c : cleaned) {
      if (c == pattern) c = L'_';
    }
  }
  return cleaned;
}

int64_t ExactFileSize(std::wstring_view path) {
  std::wstring cleaned = NeutralisePatterns(path);
  if (QueryFileSize(cleaned) != IsDirectory && !cleaned.empty() && IsSeparator(cleaned.back())) {
    cleaned += L'_';  // a file is never found under a name that ends in a separator
  }
  return QueryFileSize(cleaned);
}

std::wstring EnvironmentValue(const std::wstring& name) {
  DWORD needed = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
  if (needed == 0) return {};
  std::wstring value(needed, L'\0');
  DWORD length = GetEnvironmentVariableW(name.c_str(), value.data(), needed);
  value.resize(length < needed ? length : 0);
  return value;
}

std::wstring CurrentFolder() {
  std::wstring folder = ReadGrowing([](wchar_t* buffer, DWORD capacity) {
    DWORD length = GetCurrentDirectoryW(capacity, buffer);
    return length >= capacity ? length + 1 : length;  // too small: the size it needs
  });
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder;
}

std::wstring ExecutablePath() {
  std::wstring path = ReadGrowing([](wchar_t* buffer, DWORD capacity) {
    DWORD length = GetModuleFileNameW(GetModuleHandleW(nullptr), buffer, capacity);
    return length >= capacity ? capacity : length;  // cut: ask again with more room
  });
  return WithoutLongPathPrefix(path);
}

std::wstring WithoutLongPathPrefix(std::wstring path) {
  if (_wcsnicmp(path.c_str(), L"\\\\?\\UNC\\", 8) == 0) return path.replace(0, 8, L"\\\\");
  if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
  return path;
}

std::wstring PathFolder(std::wstring_view path) {
  size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(0, cut + 1));
}

void SelectDataDirectory() {
  if (ExactFileSize(L"Data\\Settings.ini") == NothingThere) {
    DataDirectory = EnvironmentValue(L"appdata") + L"\\Tolvane\\Corvalin\\";
  } else {
    DataDirectory = CurrentFolder() + L"Data\\";
  }
}

void FixWorkingDirectory() {
  if (QueryFileSize(L"Corvalin.exe") == NothingThere) {
    SetCurrentDirectoryW(PathFolder(ExecutablePath()).c_str());
  }
}
