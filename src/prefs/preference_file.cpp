#include "prefs/preference_file.h"

#include <limits>
#include <memory>
#include <new>

#include "utf8.h"

namespace {

preference_file Preferences{};

HANDLE OpenExisting(const std::wstring& path, DWORD access, DWORD share) {
  HANDLE h = CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

// Writes every byte or reports failure: a full disk can accept fewer bytes than
// asked and still return success, so the count decides.
bool WriteAll(HANDLE file, const char* data, size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool ReadAll(HANDLE file, char* data, size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD read = 0;
    if (!ReadFile(file, data, chunk, &read, nullptr) || read == 0) return false;
    data += read;
    size -= read;
  }
  return true;
}

// False when the content could not be read whole (a read error, no memory
// for it).
bool LoadDocument(HANDLE file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0 ||
      static_cast<uint64_t>(size.QuadPart) > std::numeric_limits<size_t>::max()) {
    return false;
  }
  size_t raw_size = static_cast<size_t>(size.QuadPart);
  char* buffer = AllocateIniBuffer(raw_size);
  if (!buffer) return false;
  if (!ReadAll(file, IniRawArea(buffer, raw_size), raw_size)) {
    delete[] buffer;
    return false;
  }
  return ParseIniBuffer(Preferences.document, buffer, raw_size);
}

std::wstring FolderOf(const std::wstring& path) {
  size_t cut = path.find_last_of(L"\\/");
  if (cut == std::wstring::npos) return L"";  // a bare name: the current folder
  return path.substr(0, cut + 1);
}

// A new file "crv<number>.tmp" in the folder of `path`, open for writing, or
// null when the folder takes no new file. Made in one step, where the system's
// temporary-name call would create, close and leave it to be opened again.
HANDLE CreateTemporaryFileBeside(const std::wstring& path, std::wstring& temporary) {
  const std::wstring folder = FolderOf(path);
  DWORD number = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (int attempt = 0; attempt < 100; ++attempt, ++number) {
    temporary = folder + L"crv" + std::to_wstring(number % 100000) + L".tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return nullptr;
  }
  return nullptr;
}

bool SaveInPlace(HANDLE file, const char* bytes, size_t size) {
  LARGE_INTEGER start{};
  return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && WriteAll(file, bytes, size) &&
         SetEndOfFile(file);
}

// Writes the new content beside the file, flushes it, and only then renames it
// over the original: a save that fails part-way leaves the original as it was.
// Returns false when no temporary file could be made at all.
bool SaveThroughTemporaryFile(const char* bytes, size_t size) {
  std::wstring temporary;
  HANDLE file = CreateTemporaryFileBeside(Preferences.kept_path, temporary);
  if (!file) return false;
  bool written = WriteAll(file, bytes, size) && FlushFileBuffers(file);
  CloseHandle(file);
  CloseHandle(Preferences.handle);
  Preferences.handle = nullptr;
  if (!written || !MoveFileExW(temporary.c_str(), Preferences.kept_path.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary.c_str());
  }
  return true;
}

void CreateAndWrite(const char* bytes, size_t size) {
  HANDLE file = CreateFileW(Preferences.kept_path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  bool written = WriteAll(file, bytes, size);
  CloseHandle(file);
  if (!written) DeleteFileW(Preferences.kept_path.c_str());  // no half file where none was
}

void Save() {
  if (!Preferences.document.changed) return;
  if (Preferences.handle && Preferences.read_only) return;  // changes of a read-only open are dropped
  size_t size = 0;
  std::unique_ptr<char[]> bytes(IniSavedBytes(Preferences.document, Preferences.flags, size));
  if (!bytes) return;
  if (!Preferences.handle) {
    CreateAndWrite(bytes.get(), size);
  } else if (!SaveThroughTemporaryFile(bytes.get(), size)) {
    SaveInPlace(Preferences.handle, bytes.get(), size);
  }
  Preferences.document.changed = false;
}

}  // namespace

namespace PreferenceFile {

intptr_t Open(std::wstring_view name, uint32_t flags) {
  Close();
  Preferences.kept_path.assign(name);
  Preferences.active = true;
  Preferences.flags = flags;
  const std::wstring& path = Preferences.kept_path;
  HANDLE file = OpenExisting(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
  if (!file) {
    Preferences.read_only = true;
    file = OpenExisting(path, GENERIC_READ, FILE_SHARE_READ);
    if (!file) file = OpenExisting(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  }
  if (!file) {
    Preferences.document.with_bom = Utf8CodePage;
    return 0;
  }
  Preferences.handle = file;
  // A file whose content could not be had must not be saved over with what
  // little the writes add: its changes are dropped, as for a read-only open.
  if (!LoadDocument(file)) Preferences.read_only = true;
  Preferences.document.with_bom = Utf8CodePage;
  return reinterpret_cast<intptr_t>(file);
}

int SelectGroup(std::wstring_view name) {
  if (!Preferences.active) return 0;
  return IniSelectGroup(Preferences.document, Utf8FromWide(name));
}

int64_t ReadInt(std::wstring_view key, int64_t fallback) {
  if (!Preferences.active) return fallback;
  return IniReadInt(Preferences.document, Utf8FromWide(key), fallback);
}

void WriteInt(std::wstring_view key, int64_t value) {
  if (!Preferences.active) return;
  IniWriteInt(Preferences.document, Utf8FromWide(key), value);
}

void Close() {
  if (Preferences.active) Save();
  if (Preferences.handle) CloseHandle(Preferences.handle);
  FreeIniDocument(Preferences.document);
  Preferences.handle = nullptr;
  Preferences.kept_path.clear();
  Preferences.kept_path.shrink_to_fit();
  Preferences.active = false;
  Preferences.read_only = false;
  Preferences.flags = 0;
}

const preference_file& State() { return Preferences; }

}  // namespace PreferenceFile
