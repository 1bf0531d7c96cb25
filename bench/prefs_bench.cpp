// One "Handles.ini" cycle (open, select the last group, write, close) on files
// of 1,000, 10,000 and 100,000 groups, against Windows' profile API doing the
// same read and write, and against a plain read and rewrite of the same bytes
// (the floor), and that floor with a flush, as safe as our save. They are
// interleaved in one run; the ratios are printed, and the text model's own
// throughput on the file as saved and on the same file in compact form.
#include <cstdio>
#include <string>

#include "bench_support.h"
#include "prefs/ini_text.h"
#include "prefs/preference_file.h"
#include "test_support.h"

namespace {

std::string HandlesFile(int groups) {
  std::string text = "\xEF\xBB\xBF\r\n";
  for (int g = 1; g <= groups; ++g) {
    if (g > 1) text += "\r\n";
    text.append("[").append(std::to_string(65536 + g)).append("]\r\nMenuHandle = ");
    text.append(std::to_string(1000000 + g)).append("\r\n");
  }
  return text;
}

void OurCycle(const std::wstring& path, const std::wstring& group, int64_t value) {
  const open_preference_file file = PreferenceFile::Open(path, BlankLineBetweenGroups);
  PreferenceFile::SelectGroup(group);
  PreferenceFile::WriteInt(L"MenuHandle", value);
}

void ProfileCycle(const std::wstring& path, const std::wstring& group, int64_t value) {
  wchar_t old[32];
  GetPrivateProfileStringW(group.c_str(), L"MenuHandle", L"0", old, 32, path.c_str());
  WritePrivateProfileStringW(group.c_str(), L"MenuHandle", std::to_wstring(value).c_str(), path.c_str());
}

void FloorCycle(const std::wstring& path, const std::wstring&, int64_t) {
  WriteBytes(path, ReadBytes(path));
}

// The floor made as safe as our save: the same bytes written and flushed.
void FlushedFloorCycle(const std::wstring& path, const std::wstring&, int64_t) {
  std::string bytes = ReadBytes(path);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  FlushFileBuffers(file);
  CloseHandle(file);
}

double Time(void (*cycle)(const std::wstring&, const std::wstring&, int64_t), const std::wstring& path,
            const std::wstring& group, int64_t value) {
  double start = Seconds();
  cycle(path, group, value);
  return Seconds() - start;
}

// The text model alone, in MB of file per second, over what a cycle asks of
// it: parse, select the last group, write, build the saved bytes.
double ModelThroughput(const std::string& bytes, const std::string& last_group) {
  int rounds = 0;
  double start = Seconds(), elapsed = 0;
  do {
    ini_document document{};
    ParseIniString(document, bytes);
    IniSelectGroup(document, last_group);
    IniWriteInt(document, "MenuHandle", rounds);
    size_t size = 0;
    IniSavedBytes(document, BlankLineBetweenGroups, size);
    ++rounds;
    elapsed = Seconds() - start;
  } while (elapsed < 0.5);
  return static_cast<double>(bytes.size()) * rounds / elapsed / 1e6;
}

// The same groups written "key=value": every line has to be rewritten.
std::string CompactForm(const std::string& text) {
  std::string compact;
  for (size_t at = 0, found; (found = text.find(" = ", at)) != std::string::npos; at = found + 3) {
    compact.append(text, at, found - at).append("=");
    if (text.find(" = ", found + 3) == std::string::npos) compact.append(text, found + 3, std::string::npos);
  }
  return compact;
}

}  // namespace

int main() {
  scratch_folder folder;
  std::printf("%7s %8s %10s %8s %10s %10s %12s %14s %10s %14s\n", "groups", "ours ms", "profile ms", "floor ms",
              "flushed ms", "ours/floor", "profile/ours", "ours/flushed", "model MB/s", "rewritten MB/s");
  for (int groups : {1000, 10000, 100000}) {
    const std::string content = HandlesFile(groups);
    const std::wstring ours = folder.path + L"ours.ini", profile = folder.path + L"profile.ini",
                       floor = folder.path + L"floor.ini", flushed = folder.path + L"flushed.ini";
    for (const std::wstring* path : {&ours, &profile, &floor, &flushed}) WriteBytes(*path, content);
    const std::wstring last = std::to_wstring(65536 + groups);
    const int rounds = groups >= 100000 ? 7 : 15;
    std::vector<double> a, b, c, d;
    for (int i = 0; i < rounds; ++i) {  // interleaved, so drift hits all four alike
      a.push_back(Time(OurCycle, ours, last, i));
      b.push_back(Time(ProfileCycle, profile, last, i));
      c.push_back(Time(FloorCycle, floor, last, i));
      d.push_back(Time(FlushedFloorCycle, flushed, last, i));
    }
    double x = Median(a), y = Median(b), z = Median(c), w = Median(d);
    const std::string last_group = std::to_string(65536 + groups);
    std::printf("%7d %8.2f %10.2f %8.2f %10.2f %10.2f %12.2f %14.2f %10.1f %14.1f\n", groups, x * 1e3, y * 1e3,
                z * 1e3, w * 1e3, x / z, y / x, x / w, ModelThroughput(content, last_group),
                ModelThroughput(CompactForm(content), last_group));
  }
  return 0;
}
