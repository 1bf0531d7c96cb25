#include "fault/os_names.h"

#include <windows.h>

std::vector<std::pair<std::wstring, std::wstring>> OsNameTable;

namespace {

struct nt_version {
  unsigned major, minor, build, product_type;
};

using rtl_get_version = LONG(WINAPI*)(OSVERSIONINFOEXW*);

bool ReadRtlVersion(nt_version& version) {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return false;
  auto get_version = reinterpret_cast<rtl_get_version>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
  if (!get_version) return false;
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (get_version(&info) != 0) return false;
  version = {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber, info.wProductType};
  return true;
}

// GetVersionEx is deprecated in the headers but still the fallback the report needs.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
BOOL QueryVersion(OSVERSIONINFOW& info) { return GetVersionExW(&info); }
BOOL QueryVersion(OSVERSIONINFOEXW& info) { return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)); }
#pragma GCC diagnostic pop

}  // namespace

void FillOsNameTable() {
  static const std::pair<const wchar_t*, const wchar_t*> rows[] = {
      {L"5", L"Windows NT 3.51"},      {L"10", L"Windows 95"},          {L"20", L"Windows NT 4.0"},
      {L"30", L"Windows 98"},          {L"40", L"Windows ME"},          {L"50", L"Windows 2000"},
      {L"60", L"Windows XP"},          {L"65", L"Windows Server 2003"}, {L"70", L"Windows Vista"},
      {L"75", L"Windows Server 2008"}, {L"80", L"Windows 7"},           {L"85", L"Windows Server 2008 R2"},
      {L"90", L"Windows 8"},           {L"100", L"Windows 8.1"},        {L"110", L"Windows 10"},
      {L"95", L"Windows Server 2012"}, {L"105", L"Windows Server 2012 R2"}, {L"120", L"Windows 11"},
      {L"200", L"Unbekanntes Betriebssystem"},
  };
  for (const auto& row : rows) OsNameTable.emplace_back(row.first, row.second);
}

std::wstring LookupOsName(int code) {
  const std::wstring key = std::to_wstring(code);
  for (const auto& row : OsNameTable) {
    if (row.first == key) return row.second;
  }
  OsNameTable.emplace_back(key, std::wstring());
  return {};
}

int ClassifyWindows9xVersion(unsigned minor) {
  switch (minor) {
    case 0: return 10;
    case 10: return 30;
    case 90: return 40;
    default: return UnknownOsCode;
  }
}

int ClassifyNtVersion(unsigned major, unsigned minor, unsigned build, unsigned product_type) {
  const bool workstation = product_type == VER_NT_WORKSTATION;
  switch (major) {
    case 3: return 5;
    case 4: return 20;
    case 5:
      if (minor == 0) return 50;
      if (minor == 1) return 60;
      if (minor == 2) return workstation ? 60 : 65;
      return UnknownOsCode;
    case 6:
      if (minor <= 3) {
        static const int workstations[] = {70, 80, 90, 100};
        static const int servers[] = {75, 85, 95, 105};
        return workstation ? workstations[minor] : servers[minor];
      }
      return UnknownOsCode;
    case 10:
      if (minor == 0) return build < 22000 ? 110 : 120;
      return UnknownOsCode;
    default: return UnknownOsCode;
  }
}

int OsVersionCode() {
  OSVERSIONINFOW basic{};
  basic.dwOSVersionInfoSize = sizeof basic;
  if (!QueryVersion(basic)) return UnknownOsCode;
  if (basic.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return ClassifyWindows9xVersion(basic.dwMinorVersion);
  if (basic.dwPlatformId != VER_PLATFORM_WIN32_NT) return UnknownOsCode;
  nt_version version{};
  if (!ReadRtlVersion(version)) {
    OSVERSIONINFOEXW extended{};
    extended.dwOSVersionInfoSize = sizeof extended;
    if (QueryVersion(extended)) version = {basic.dwMajorVersion, basic.dwMinorVersion, 0, extended.wProductType};
  }
  return ClassifyNtVersion(version.major, version.minor, version.build, version.product_type);
}
