// The one process-wide preference file: open, select a group, read or write
// integer keys, close (which saves when something was written).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "handle.h"
#include "prefs/ini_text.h"

struct preference_file {
  unique_file handle;     // held open from Open to Close; none when the open failed
  std::wstring kept_path; // the name given to Open; a save writes under it
  bool active;
  bool read_only;         // the file could not be opened for writing
  uint32_t flags;
  ini_document document;
};

namespace PreferenceFile {

// Non-zero when the file was opened (for reading and writing, or reading only);
// 0 when it cannot be opened at all: it is then active and empty, and a write
// creates it at Close. Closes (and saves) the previous file first.
intptr_t Open(std::wstring_view name, uint32_t flags);
int SelectGroup(std::wstring_view name);
int64_t ReadInt(std::wstring_view key, int64_t fallback);
void WriteInt(std::wstring_view key, int64_t value);
void Close();

// The record itself, for tests that look at the state.
const preference_file& State();

}  // namespace PreferenceFile
