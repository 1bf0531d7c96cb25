#include "fault/error_log.h"

#include "environment/environment.h"
#include "handle.h"
#include "utf8.h"

namespace {

constexpr int OpenAttempts = 10;
constexpr DWORD RetryPause = 50;  // milliseconds; the attempts span at most half a second

SYSTEMTIME LocalNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return now;
}

// The value with leading zeros to `width` digits.
void AppendDigits(std::wstring& text, unsigned value, int width) {
  wchar_t digits[8];
  for (int i = width - 1; i >= 0; --i, value /= 10) digits[i] = static_cast<wchar_t>(L'0' + value % 10);
  text.append(digits, static_cast<size_t>(width));
}

bool IsInUse(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

unique_file OpenLog(const std::wstring& path) {
  for (int attempt = 1;; ++attempt) {
    unique_file file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file || attempt == OpenAttempts || !IsInUse(GetLastError())) return file;
    Sleep(RetryPause);
  }
}

}  // namespace

std::wstring FormatDateTime(const SYSTEMTIME& t) {
  std::wstring text;
  AppendDigits(text, t.wDay, 2);
  text += L'.';
  AppendDigits(text, t.wMonth, 2);
  text += L'.';
  AppendDigits(text, t.wYear, 4);
  text += L' ';
  AppendDigits(text, t.wHour, 2);
  text += L':';
  AppendDigits(text, t.wMinute, 2);
  text += L':';
  AppendDigits(text, t.wSecond, 2);
  return text;
}

std::wstring FormatDate(const SYSTEMTIME& t) {
  std::wstring text;
  AppendDigits(text, t.wDay, 2);
  AppendDigits(text, t.wMonth, 2);
  AppendDigits(text, t.wYear, 4);
  return text;
}

std::wstring LogEntryText(const SYSTEMTIME& time, const std::wstring& text) {
  return FormatDateTime(time) + L": " + text + L"\r\n";
}

std::wstring LogFileName(const std::wstring& kind, const SYSTEMTIME& time) {
  return kind + L"_" + FormatDate(time) + L".log";
}

void WriteLogEntry(const std::wstring& kind, const std::wstring& text) {
  const std::string entry = Utf8FromWide(LogEntryText(LocalNow(), text));
  unique_file file = OpenLog(DataDirectory + LogFileName(kind, LocalNow()));
  // The 64-bit move: SetFilePointer without a high part fails on a log past
  // 4 GiB, and the entry would go over its start.
  LARGE_INTEGER none{};
  if (!file || !SetFilePointerEx(file.get(), none, nullptr, FILE_END)) return;
  DWORD written = 0;
  WriteFile(file.get(), entry.data(), static_cast<DWORD>(entry.size()), &written, nullptr);
}
