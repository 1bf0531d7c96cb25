// The one process-wide preference file: open, select a group, read or write
// integer keys, close (which saves when something was written). An open ends
// with the holder Open gives.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "handle.h"
#include "prefs/ini_text.h"

struct preference_file {
  owned_mutex turn;       // the file's turn, taken before the open and given up after the close
  unique_file handle;     // held open from Open to Close; none when the open failed
  std::wstring kept_path; // the name given to Open; a save writes under it
  bool active;
  bool read_only;         // the file could not be opened for writing
  uint32_t flags;
  ini_document document;
};

// Runs of the tool that use the same file, for whichever IDE window, take turns
// at it from Open to Close: a named mutex after the file, whatever the spelling
// of its path (FileTurnName). A run waits at most FileTurnTimeoutMs for it;
// when it does not come in time, or cannot be had at all, the run goes on
// without it.
constexpr DWORD FileTurnTimeoutMs = 5000;
std::wstring FileTurnName(const std::wstring& name);

// What Open gives: its result, and the end of the open. When the holder goes,
// the file is closed (saved if changed), also after a failed open, which holds
// the file's turn all the same. An Open within another's scope closes that
// file first; its holder ends first and leaves the outer one nothing to close.
struct open_preference_file {
  intptr_t result;  // non-zero when the file was opened
  explicit open_preference_file(intptr_t opened) : result(opened) {}
  open_preference_file(const open_preference_file&) = delete;
  open_preference_file& operator=(const open_preference_file&) = delete;
  ~open_preference_file();
  explicit operator bool() const { return result != 0; }
};

namespace PreferenceFile {

// The result is non-zero when the file was opened (for reading and writing, or
// reading only); 0 when it cannot be opened at all: it is then active and
// empty, and a write creates it at the close. Closes (and saves) the previous
// file first.
[[nodiscard]] open_preference_file Open(std::wstring_view name, uint32_t flags);
int SelectGroup(std::wstring_view name);
int64_t ReadInt(std::wstring_view key, int64_t fallback);
void WriteInt(std::wstring_view key, int64_t value);
void Close();
// For a fault: gives up the file's turn and its handle without saving, since
// the fault may have struck in the middle of a change. The rest of the record
// stays as it is.
void CloseWithoutSaving();

// The record itself, for tests that look at the state.
const preference_file& State();

}  // namespace PreferenceFile
