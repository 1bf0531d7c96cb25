#include "prefs/preference_file.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "environment/environment.h"
#include "utf8.h"

namespace {

preference_file Preferences{};

// The attributes a replaced file hands on to its successor. Read-only is left
// out: a file marked so could not be marked for deletion.
constexpr DWORD KeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

unique_file OpenExisting(const std::wstring& path, DWORD access, DWORD share) {
  return unique_file(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// What identifies a folder however its path is spelled: the volume's serial
// number and the folder's file index, as "serial.index"; empty when the folder
// cannot be opened.
std::wstring FolderIdentity(const std::wstring& folder) {
  const unique_file handle(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!handle || !GetFileInformationByHandle(handle.get(), &info)) return {};
  const uint64_t index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return std::to_wstring(info.dwVolumeSerialNumber) + L"." + std::to_wstring(index);
}

}  // namespace

// The identity of the file's folder and the file's name, lower-cased because
// file names are not case-sensitive: one name for every spelling of the folder
// (another drive letter, a share's path, a short name, a junction). Where the
// folder cannot be opened, the file's full path instead, without backslashes,
// which would name a folder of objects. A name too long for an object name
// gives a hash of itself instead.
std::wstring FileTurnName(const std::wstring& name) {
  const std::wstring prefix = L"Local\\Corvalin.FileTurn.";
  std::wstring path(GetFullPathNameW(name.c_str(), 0, nullptr, nullptr), L'\0');
  const DWORD length = GetFullPathNameW(name.c_str(), static_cast<DWORD>(path.size()), path.data(), nullptr);
  if (length == 0 || length >= path.size()) path = name; else path.resize(length);
  const std::wstring folder = PathFolder(path);
  std::wstring turn = folder.empty() ? std::wstring() : FolderIdentity(folder);
  CharLowerBuffW(path.data(), static_cast<DWORD>(path.size()));
  if (turn.empty()) {
    turn = path;
    std::replace(turn.begin(), turn.end(), L'\\', L'/');
  } else {
    turn.append(L"/").append(path, folder.size());
  }
  if (prefix.size() + turn.size() < MAX_PATH) return prefix + turn;
  uint64_t hash = 14695981039346656037u;  // FNV-1a
  for (wchar_t c : turn) hash = (hash ^ c) * 1099511628211u;
  return prefix + std::to_wstring(hash);
}

namespace {

// Reads or writes every byte, in pieces a DWORD can count, or reports failure:
// a full disk can accept fewer bytes than asked and still return success, so
// the count decides.
template <typename Transfer, typename Byte>
bool TransferAll(Transfer transfer, HANDLE file, Byte* data, size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD done = 0;
    if (!transfer(file, data, chunk, &done, nullptr) || done == 0) return false;
    data += done;
    size -= done;
  }
  return true;
}

bool WriteAll(HANDLE file, const char* data, size_t size) { return TransferAll(WriteFile, file, data, size); }

bool MoveTo(HANDLE file, int64_t offset) {
  LARGE_INTEGER at{};
  at.QuadPart = offset;
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
}

// Whether the file holds these bytes and no others: a save would change
// nothing. Read in pieces from the start, so that a large file needs no second
// copy in memory.
bool FileHolds(HANDLE file, const char* bytes, size_t size) {
  LARGE_INTEGER file_size{};
  if (!GetFileSizeEx(file, &file_size) || static_cast<uint64_t>(file_size.QuadPart) != size || !MoveTo(file, 0)) {
    return false;
  }
  constexpr size_t PieceSize = 1 << 20;
  std::unique_ptr<char[]> piece(new (std::nothrow) char[std::min(size, PieceSize)]);
  if (!piece && size > 0) return false;
  for (size_t at = 0; at < size;) {
    const size_t length = std::min(size - at, PieceSize);
    if (!TransferAll(ReadFile, file, piece.get(), length) || std::memcmp(piece.get(), bytes + at, length) != 0) {
      return false;
    }
    at += length;
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
  const ini_byte_reader read = [](void* source, char* into, size_t bytes) {
    return TransferAll(ReadFile, static_cast<HANDLE>(source), into, bytes);
  };
  return ParseIniFile(Preferences.document, static_cast<size_t>(size.QuadPart), read, file);
}

// The path of the file itself, where the name it was opened under may be a
// symbolic link to it; the name when the system cannot tell.
std::wstring FinalPath(HANDLE file, const std::wstring& name) {
  DWORD size = GetFinalPathNameByHandleW(file, nullptr, 0, FILE_NAME_NORMALIZED);
  if (size == 0) return name;
  std::wstring path(size, L'\0');
  size = GetFinalPathNameByHandleW(file, path.data(), size, FILE_NAME_NORMALIZED);
  if (size == 0 || size >= path.size()) return name;
  path.resize(size);
  return path;
}

bool MarkForDeletion(HANDLE file, bool remove) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = remove ? TRUE : FALSE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

// Renames the open file over `target`, replacing it.
bool RenameOver(HANDLE file, const std::wstring& target) {
  const size_t name_bytes = target.size() * sizeof(wchar_t);
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name_bytes);  // zeroed: the name ends in a null
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->FileNameLength = static_cast<DWORD>(name_bytes);
  std::memcpy(rename->FileName, target.data(), name_bytes);
  return SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size()));
}

// A new file "crv<number>.tmp" in the folder of `path`, open for writing and
// already marked for deletion, so that the system removes it when its handle
// closes, however the process ends; none when the folder takes no new file.
// Made in one step, where the system's temporary-name call would create, close
// and leave it to be opened again.
unique_file CreateTemporaryFileBeside(const std::wstring& path, DWORD attributes, std::wstring& temporary) {
  const std::wstring folder = PathFolder(path);
  DWORD number = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (int attempt = 0; attempt < 100; ++attempt, ++number) {
    temporary = folder + L"crv" + std::to_wstring(number % 100000) + L".tmp";
    unique_file file(CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                 attributes ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
      if (MarkForDeletion(file.get(), true)) return file;
      file.reset();
      DeleteFileW(temporary.c_str());
      return {};
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

// Writes the new content beside the file and only then renames it over the
// original: a save that fails part-way leaves the original as it was, and the
// temporary file goes with its handle. Through a symbolic link the file it
// names is replaced, not the link; the file's attributes carry over. No
// flushes: the handles the file holds mean nothing after a restart, and the
// rename replaces it all or nothing. Returns false when the file is to be
// written in place instead: no temporary file could be made at all, or the
// rename was refused (another program holds the file open without sharing its
// deletion) and the file could be opened for writing again.
bool SaveThroughTemporaryFile(const char* bytes, size_t size) {
  const std::wstring target = FinalPath(Preferences.handle.get(), Preferences.kept_path);
  FILE_BASIC_INFO basic{};  // the attributes alone: the whole file information asks for the volume too
  const DWORD attributes =
      GetFileInformationByHandleEx(Preferences.handle.get(), FileBasicInfo, &basic, sizeof basic)
          ? basic.FileAttributes & KeptAttributes
          : 0;
  std::wstring temporary;
  unique_file file = CreateTemporaryFileBeside(target, attributes, temporary);
  if (!file) return false;
  if (!WriteAll(file.get(), bytes, size)) return true;
  Preferences.handle.reset();  // an open file cannot be replaced
  if (!MarkForDeletion(file.get(), false)) return true;  // still marked: it goes with its handle
  if (RenameOver(file.get(), target)) return true;
  if (!MarkForDeletion(file.get(), true)) {
    file.reset();
    DeleteFileW(temporary.c_str());
  }
  Preferences.handle = OpenExisting(target, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
  return !Preferences.handle;
}

// Where no new file can be made beside it, the file is rewritten in place. The
// part past its old end goes first: a disk that cannot hold the new length
// fails there, before any old byte is overwritten, and the file is cut back to
// what it was. (Setting the new end first would not do: it reserves no space
// on every file system.)
bool SaveInPlace(HANDLE file, const char* bytes, size_t size) {
  LARGE_INTEGER old_size{};
  if (!GetFileSizeEx(file, &old_size)) return false;
  const size_t kept = static_cast<uint64_t>(old_size.QuadPart) < size ? static_cast<size_t>(old_size.QuadPart) : size;
  if (kept < size && !(MoveTo(file, old_size.QuadPart) && WriteAll(file, bytes + kept, size - kept))) {
    if (MoveTo(file, old_size.QuadPart)) SetEndOfFile(file);
    return false;
  }
  return MoveTo(file, 0) && WriteAll(file, bytes, kept) && MoveTo(file, static_cast<int64_t>(size)) &&
         SetEndOfFile(file);
}

// Creates the file that Open did not find, only where nothing at all has that
// name: a symbolic link whose target is missing is left as it is, not written
// through (Windows shows such a link, Wine reports nothing there and
// CREATE_NEW refuses it).
void CreateAndWrite(const char* bytes, size_t size) {
  const std::wstring& path = Preferences.kept_path;
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  unique_file file(
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  if (!WriteAll(file.get(), bytes, size)) {
    file.reset();
    DeleteFileW(path.c_str());  // no half file where none was
  }
}

void Save() {
  if (!Preferences.document.changed) return;
  if (Preferences.handle && Preferences.read_only) return;  // changes of a read-only open are dropped
  size_t size = 0;
  const std::unique_ptr<char[]> bytes = IniSavedBytes(Preferences.document, Preferences.flags, size);
  if (!bytes) return;
  // A file that holds these bytes already is not written again: every entering
  // run of one window writes the same record.
  if (!Preferences.handle) {
    CreateAndWrite(bytes.get(), size);
  } else if (!FileHolds(Preferences.handle.get(), bytes.get(), size) && !SaveThroughTemporaryFile(bytes.get(), size)) {
    SaveInPlace(Preferences.handle.get(), bytes.get(), size);
  }
  Preferences.document.changed = false;
}

intptr_t OpenFile(std::wstring_view name, uint32_t flags) {
  PreferenceFile::Close();
  Preferences.kept_path.assign(name);
  // Without the turn the run goes on as if it were alone: the record is not
  // worth a hung or skipped switch.
  Preferences.turn = TakeTurn(FileTurnName(Preferences.kept_path).c_str(), FileTurnTimeoutMs);
  Preferences.active = true;
  Preferences.flags = flags;
  const std::wstring& path = Preferences.kept_path;
  unique_file file = OpenExisting(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
  if (!file) {
    Preferences.read_only = true;
    file = OpenExisting(path, GENERIC_READ, FILE_SHARE_READ);
    if (!file) file = OpenExisting(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  }
  if (!file) return 0;
  Preferences.handle = std::move(file);
  // A file whose content could not be had must not be saved over with what
  // little the writes add: its changes are dropped, as for a read-only open.
  if (!LoadDocument(Preferences.handle.get())) Preferences.read_only = true;
  return reinterpret_cast<intptr_t>(Preferences.handle.get());
}

}  // namespace

open_preference_file::~open_preference_file() { PreferenceFile::Close(); }

namespace PreferenceFile {

open_preference_file Open(std::wstring_view name, uint32_t flags) {
  return open_preference_file(OpenFile(name, flags));
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
  Preferences.handle.reset();
  Preferences.turn.reset();  // after the close: the next run opens the file for writing
  Preferences.document = {};
  Preferences.kept_path.clear();
  Preferences.kept_path.shrink_to_fit();
  Preferences.active = false;
  Preferences.read_only = false;
  Preferences.flags = 0;
}

void CloseWithoutSaving() {
  Preferences.active = false;
  Preferences.handle.reset();
  Preferences.turn.reset();
}

const preference_file& State() { return Preferences; }

}  // namespace PreferenceFile
