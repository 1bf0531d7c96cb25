// The per-day error log in the data directory.
#pragma once

#include <windows.h>

#include <string>

// "dd.mm.yyyy hh:ii:ss" and "ddmmyyyy" of a local time.
std::wstring FormatDateTime(const SYSTEMTIME& time);
std::wstring FormatDate(const SYSTEMTIME& time);

// The stamp, ": ", the text unchanged, then CR LF.
std::wstring LogEntryText(const SYSTEMTIME& time, const std::wstring& text);
// The kind, "_", the date and ".log".
std::wstring LogFileName(const std::wstring& kind, const SYSTEMTIME& time);

// Appends one entry to the day's log of that kind in DataDirectory; failures are
// silent. A file in use by another writer is tried again for at most half a second.
void WriteLogEntry(const std::wstring& kind, const std::wstring& text);
