#include <gtest/gtest.h>

#include <utility>

#include "environment/environment.h"
#include "fault/error_log.h"
#include "fault/fault_handler.h"
#include "fault/os_names.h"
#include "test_support.h"
#include "version.h"

namespace {

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  return {year, month, 0, day, hour, minute, second, 0};  // the day of the week and milliseconds unused
}

// Every CreateFileW call of this program goes through its import entry, which a
// test may point elsewhere (mingw's import section is writable).
extern "C" decltype(&CreateFileW) __imp_CreateFileW;
const decltype(&CreateFileW) SystemCreateFile = __imp_CreateFileW;
HANDLE HeldLog = nullptr;  // closed when an open of it is refused

HANDLE WINAPI CreateFileLettingGoWhenRefused(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                             DWORD disposition, DWORD flags, HANDLE model) {
  HANDLE file = SystemCreateFile(path, access, share, security, disposition, flags, model);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION && HeldLog) {
    CloseHandle(std::exchange(HeldLog, nullptr));
    SetLastError(ERROR_SHARING_VIOLATION);
  }
  return file;
}

const std::wstring Head =
    L"Es ist ein schwerwiegender Fehler aufgetreten und das Programm muss beendet werden.\r"
    L"Senden Sie bitte die folgenden Informationen an support@corvalin.example:\r\r"
    L"Datum/Uhrzeit: 07.12.2026 09:05:03\r";

}  // namespace

TEST(OsVersion, NtDecisionTable) {
  constexpr unsigned W = VER_NT_WORKSTATION, S = VER_NT_SERVER, D = VER_NT_DOMAIN_CONTROLLER;
  struct row { unsigned major, minor, build, type; int code; } rows[] = {
      {3, 51, 0, W, 5},   {4, 0, 0, S, 20},   {5, 0, 0, S, 50},    {5, 1, 0, W, 60},  {5, 2, 0, W, 60},
      {5, 2, 0, S, 65},   {5, 3, 0, W, 200},  {6, 0, 0, W, 70},    {6, 0, 0, S, 75},  {6, 1, 0, W, 80},
      {6, 1, 0, D, 85},   {6, 2, 0, W, 90},   {6, 2, 0, S, 95},    {6, 3, 0, W, 100}, {6, 3, 0, S, 105},
      {6, 4, 0, W, 200},  {10, 0, 19045, W, 110}, {10, 0, 19045, S, 110}, {10, 0, 21999, S, 110},
      {10, 0, 22000, W, 120}, {10, 0, 26100, S, 120}, {10, 0, 0, W, 110}, {10, 1, 0, W, 200},
      {11, 0, 0, W, 200}, {0, 0, 0, 0, 200},
  };
  for (const row& r : rows) {
    EXPECT_EQ(ClassifyNtVersion(r.major, r.minor, r.build, r.type), r.code)
        << r.major << "." << r.minor << " build " << r.build << " type " << r.type;
  }
  const std::pair<unsigned, int> nine_x_rows[] = {{0, 10}, {10, 30}, {90, 40}, {1, 200}};
  for (const auto& [minor, code] : nine_x_rows) EXPECT_EQ(ClassifyWindows9xVersion(minor), code) << minor;
}

TEST(OsVersion, NamesAndMissingRows) {
  OsNameTable.clear();
  FillOsNameTable();
  EXPECT_EQ(LookupOsName(110), L"Windows 10");
  EXPECT_EQ(LookupOsName(100), L"Windows 8.1");
  EXPECT_EQ(LookupOsName(95), L"Windows Server 2012");
  EXPECT_EQ(LookupOsName(200), L"Unbekanntes Betriebssystem");
  EXPECT_EQ(LookupOsName(120), L"Windows 11");
  EXPECT_EQ(LookupOsName(105), L"Windows Server 2012 R2");
  const size_t named = OsNameTable.size();
  EXPECT_EQ(LookupOsName(115), L"");
  EXPECT_EQ(OsNameTable.size(), named + 1) << "an empty row for a code without one";
  EXPECT_EQ(LookupOsName(115), L"");
  EXPECT_EQ(OsNameTable.size(), named + 1) << "entered once";
  EXPECT_EQ(LookupOsName(110), L"Windows 10") << "the named rows are unchanged";
}

// The running system's code is that of the release its registry's build number
// belongs to (from Windows 10 on, GetVersionEx says 6.2 to a program without a manifest).
TEST(OsVersion, TheRunningSystemIsTheOneItsRegistryNames) {
  // The first build of NT 3.51, 4.0, 2000, XP, Server 2003, Vista, 7, 8, 8.1, 10, 11; workstation's and server's code.
  const int releases[][3] = {{1057, 5, 5}, {1381, 20, 20}, {2195, 50, 50}, {2600, 60, 60}, {3790, 60, 65},
                             {6000, 70, 75}, {7600, 80, 85}, {9200, 90, 95}, {9600, 100, 105}, {10240, 110, 110},
                             {22000, 120, 120}};
  wchar_t build[32] = {}, type[32] = {};
  DWORD size = sizeof build;
  RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentBuildNumber",
               RRF_RT_REG_SZ, nullptr, build, &size);
  size = sizeof type;
  RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions", L"ProductType",
               RRF_RT_REG_SZ, nullptr, type, &size);
  int expected = UnknownOsCode;
  for (const auto& [first_build, workstation, server] : releases) {
    if (_wtoi(build) >= first_build) expected = wcscmp(type, L"WinNT") ? server : workstation;
  }
  EXPECT_EQ(OsVersionCode(), expected) << "build " << Narrow(build) << " " << Narrow(type);
}

TEST(FatalReport, OnlyAnAccessViolationHasTheTargetLine) {
  const std::wstring report = ComposeFatalReport({AccessViolation, 8000, -16}, At(2026, 12, 7, 9, 5, 3), L"Windows 10");
  EXPECT_EQ(report, Head + L"Betriebssystem: Windows 10\r"
                           L"Anwendung: Corvalin " CORVALIN_VERSION " (Build " CORVALIN_BUILD ")\r"
                           L"Fehlermeldung: Invalid memory access\rSpeicheradresse: 8000\r"
                           L"Ziel-Speicheradresse:  -16\r");
  EXPECT_EQ(report.find(L'\n'), std::wstring::npos);
  EXPECT_EQ(ComposeFatalReport({0xC0000094, 4198400, 0}, At(2026, 12, 7, 9, 5, 3), L""),
            Head + L"Betriebssystem: \rAnwendung: Corvalin " CORVALIN_VERSION " (Build " CORVALIN_BUILD ")\r"
                   L"Fehlermeldung: Division by zero \rSpeicheradresse: 4198400\r");
}

TEST(FatalReport, MessagesComeFromTheTable) {
  EXPECT_EQ(FaultMessageFor(0xC00000FD), L"Stack overflow");
  EXPECT_EQ(FaultMessageFor(0x80000003), L"Debugger breakpoint reached");
  EXPECT_EQ(FaultMessageFor(0xC0000091), L"Floating-point overflow (exponent to great)");
  EXPECT_EQ(FaultMessageFor(0xE06D7363), L"Unknown error code");
  EXPECT_EQ(FaultMessageFor(0), L"Unknown error code");
}

TEST(ErrorLog, StampsAndNamesHaveLeadingZeros) {
  SYSTEMTIME t = At(2026, 1, 2, 3, 4, 5);
  EXPECT_EQ(FormatDateTime(t), L"02.01.2026 03:04:05");
  EXPECT_EQ(LogFileName(L"Error", t), L"Error_02012026.log");
  EXPECT_EQ(LogEntryText(At(2026, 12, 31, 23, 59, 59), L"x\r"), L"31.12.2026 23:59:59: x\r\r\n");
}

// An entry for a data folder that is missing is lost: it does not go to the
// current folder instead, where the same log is.
TEST(ErrorLog, AppendsUtf8EntriesToTheDaysFileOfAnExistingFolder) {
  scratch_folder folder;
  current_directory_change in_folder(folder.path);
  DataDirectory = folder.path;
  WriteLogEntry(L"Error", L"first \u00E9\r");
  DataDirectory = folder.path + L"absent\\";
  WriteLogEntry(L"Error", L"lost");
  const std::string log = ReadBytes(TodaysLog(folder.path));
  ASSERT_EQ(log.size(), 32u) << log;
  EXPECT_EQ(log.substr(19), ": first \xC3\xA9\r\r\n") << "no byte-order mark, UTF-8, the text unchanged";
  EXPECT_FALSE(Exists(folder.path + L"absent"));
  DataDirectory.clear();
}

// The log is let go as soon as the entry's first open of it is refused.
TEST(ErrorLog, AFileInUseIsTriedAgain) {
  scratch_folder folder;
  DataDirectory = folder.path;
  const std::wstring path = TodaysLog(folder.path);
  HeldLog = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(HeldLog, INVALID_HANDLE_VALUE);
  __imp_CreateFileW = CreateFileLettingGoWhenRefused;
  WriteLogEntry(L"Error", L"after the wait");
  __imp_CreateFileW = SystemCreateFile;
  EXPECT_EQ(HeldLog, nullptr) << "the log was in use at first";
  EXPECT_NE(ReadBytes(path).find(": after the wait\r\n"), std::string::npos);
  DataDirectory.clear();
}

// A sparse log of 5 GiB on the build disk: the entry goes after its end and its
// start stays.
TEST(ErrorLog, AnEntryGoesAfterTheEndOfALogPast4GiB) {
  scratch_folder folder;
  DataDirectory = folder.path;
  const std::wstring path = TodaysLog(folder.path);
  const std::string head = "01.01.2026 00:00:00: first\r\r\n", tail = "last\r\n", entry_end = ": past 4 GiB\r\n";
  const int64_t end = (5LL << 30) + static_cast<int64_t>(tail.size());
  WriteBytes(path, head);
  WriteBytes(path, tail, 5LL << 30);
  ASSERT_EQ(FileSize(path), end);

  WriteLogEntry(L"Error", L"past 4 GiB");
  EXPECT_EQ(FileSize(path), end + 19 + static_cast<int64_t>(entry_end.size()));
  EXPECT_EQ(ReadBytes(path, 0, head.size()), head) << "the start is unchanged";
  const std::string last = ReadBytes(path, 5LL << 30);
  EXPECT_EQ(last.substr(0, tail.size()), tail);
  EXPECT_EQ(last.substr(tail.size() + 19), entry_end) << "the entry follows the old end";
  DeleteFileW(path.c_str());
  DataDirectory.clear();
}
