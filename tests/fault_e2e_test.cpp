#include "fault/error_log.h"
#include "ide_fixture.h"

namespace {

// The report's lines, split at its single carriage returns.
std::vector<std::wstring> Lines(const std::wstring& report) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (size_t cr; (cr = report.find(L'\r', start)) != std::wstring::npos; start = cr + 1) {
    lines.push_back(report.substr(start, cr - start));
  }
  if (start < report.size()) lines.push_back(report.substr(start) + L"<no carriage return>");
  return lines;
}

std::wstring TodaysLog() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return LogFileName(L"Error", now);
}

class Faults : public ::testing::Test {
 protected:
  scratch_folder folder;
  void SetUp() override {
    CreateDirectoryW((folder.path + L"Data").c_str(), nullptr);
    WriteBytes(folder.path + L"Data\\Settings.ini", "");
  }
  process_run Probe(const std::wstring& mode) {
    run_options options;
    options.folder = folder.path;
    return RunProcess(BuiltProgram(L"fault_probe.exe"), mode, options);
  }
  std::string Log() { return ReadBytes(folder.path + L"Data\\" + TodaysLog()); }
  // The one report the run showed, checked against its log entry.
  std::vector<std::wstring> Report(const process_run& run) {
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 0u);
    if (run.boxes.size() != 1) {
      ADD_FAILURE() << run.boxes.size() << " boxes";
      return {};
    }
    EXPECT_EQ(run.boxes[0].caption, L"Fehler");
    return Lines(run.boxes[0].text);
  }
};

}  // namespace

TEST_F(Faults, AWriteThroughAnInvalidPointer) {
  process_run run = Probe(L"write");
  std::vector<std::wstring> lines = Report(run);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], L"Es ist ein schwerwiegender Fehler aufgetreten und das Programm muss beendet werden.");
  EXPECT_EQ(lines[1], L"Senden Sie bitte die folgenden Informationen an support@corvalin.example:");
  EXPECT_EQ(lines[2], L"");
  EXPECT_EQ(lines[3].rfind(L"Datum/Uhrzeit: ", 0), 0u);
  EXPECT_EQ(lines[3].size(), 15u + 19);
  EXPECT_EQ(lines[4].rfind(L"Betriebssystem: ", 0), 0u);
  EXPECT_EQ(lines[5], L"Anwendung: Corvalin 1.0.1 (Build 680)");
  EXPECT_EQ(lines[6], L"Fehlermeldung: Invalid memory access");
  EXPECT_EQ(lines[7].rfind(L"Speicheradresse: ", 0), 0u);
  EXPECT_GT(std::stoll(lines[7].substr(17)), 0x10000) << "an address inside the probe";
  EXPECT_EQ(lines[8], L"Ziel-Speicheradresse:  8000");
  // Logged first, in UTF-8, the report's carriage returns kept: CR CR LF at the end.
  const std::string log = Log();
  ASSERT_GT(log.size(), 24u);
  EXPECT_EQ(log.substr(19, 2), ": ");
  EXPECT_EQ(log.substr(log.size() - 3), "\r\r\n");
  EXPECT_EQ(log.substr(21, log.size() - 23), Narrow(run.boxes[0].text));
}

TEST_F(Faults, AnAccessViolationWithFewParametersHasTargetZero) {
  std::vector<std::wstring> lines = Report(Probe(L"few-parameters"));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[6], L"Fehlermeldung: Invalid memory access");
  EXPECT_EQ(lines[8], L"Ziel-Speicheradresse:  0");
}

TEST_F(Faults, AnIntegerDivisionByZeroHasNoTargetLine) {
  std::vector<std::wstring> lines = Report(Probe(L"divide"));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[6], L"Fehlermeldung: Division by zero ");
}

TEST_F(Faults, AnUnknownCode) {
  std::vector<std::wstring> lines = Report(Probe(L"unknown"));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[6], L"Fehlermeldung: Unknown error code");
}

TEST_F(Faults, AFaultUnderCppCleanupsIsStillReported) {
  std::vector<std::wstring> lines = Report(Probe(L"cleanups"));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[8], L"Ziel-Speicheradresse:  8000");
}

TEST_F(Faults, AFaultBelowMoreFramesThanTheWalkTakesIsReported) {
  std::vector<std::wstring> lines = Report(Probe(L"deep"));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[6], L"Fehlermeldung: Invalid memory access");
}

TEST_F(Faults, AFrameWithItsOwnHandlerKeepsTheFault) {
  // Just below the frame with the handler, and below 50 levels of a recursion.
  for (const wchar_t* mode : {L"own-handler", L"own-handler-deep"}) {
    process_run run = Probe(mode);
    EXPECT_TRUE(run.finished) << Narrow(mode);
    EXPECT_EQ(run.exit_code, 7u) << Narrow(mode) << ": the program went on after its handler";
    EXPECT_TRUE(run.boxes.empty()) << Narrow(mode);
  }
  EXPECT_EQ(Log(), "<missing>");
}

TEST_F(Faults, BeforeTheDataDirectoryIsKnownTheLogGoesToTheCurrentFolder) {
  Report(Probe(L"before-data-directory"));
  EXPECT_EQ(Log(), "<missing>");
  EXPECT_NE(ReadBytes(folder.path + TodaysLog()).find("Invalid memory access"), std::string::npos);
}

TEST_F(Faults, AFaultWhileReportingEndsAtOnce) {
  process_run run = Probe(L"fault-in-report");
  EXPECT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(Log(), "<missing>");
}

TEST_F(Faults, ASecondReportOfTheDayIsAppended) {
  Report(Probe(L"divide"));
  const std::string first = Log();
  Report(Probe(L"write"));
  const std::string both = Log();
  ASSERT_GT(both.size(), first.size());
  EXPECT_EQ(both.substr(0, first.size()), first);
  EXPECT_NE(both.find("Invalid memory access", first.size()), std::string::npos);
}

namespace {

bool InjectFault(HANDLE process, const message_box_seen& box, void*) {
  if (box.caption != L"Error") return true;
  FaultNewThreadIn(process);
  return false;  // leave the discovery message open: the report ends the process
}

}  // namespace

TEST_F(Faults, TheToolItselfReportsAFault) {
  std::wstring tool = InstallTool(folder.path);
  run_options options;
  options.folder = folder.path;
  options.on_box = InjectFault;
  process_run run = RunProcess(tool, L"/fullscreentype=1", options);  // no IDE here: the message stays up
  EXPECT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, 0u);
  ASSERT_EQ(run.boxes.size(), 2u);
  std::vector<std::wstring> lines = Lines(run.boxes[1].text);
  EXPECT_EQ(run.boxes[1].caption, L"Fehler");
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[7], L"Speicheradresse: 8000");
  EXPECT_NE(Log().find("Speicheradresse: 8000\r"), std::string::npos) << "logged in the portable data folder";
}

// Wine reports the version that its registry names when no Wine version is
// chosen. Those values hold for the whole prefix: this runs alone and puts them back.
using FaultsSerial = Faults;

TEST_F(FaultsSerial, TheReportNamesWindows11AndWindowsServer2012R2) {
  if (!RunningUnderWine()) GTEST_SKIP() << "the version is set through Wine's registry";
  const wchar_t* nt = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
  const struct { const wchar_t *key, *name; } values[] = {{nt, L"CurrentVersion"}, {nt, L"CurrentBuildNumber"},
      {L"System\\CurrentControlSet\\Control\\ProductOptions", L"ProductType"}};
  wchar_t kept[3][64] = {};
  for (int i = 0; i < 3; ++i) {
    DWORD size = sizeof kept[i];
    RegGetValueW(HKEY_LOCAL_MACHINE, values[i].key, values[i].name, RRF_RT_REG_SZ, nullptr, kept[i], &size);
  }
  auto write = [&](int i, const std::wstring& value) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, values[i].key, values[i].name, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  };
  const std::wstring tool = InstallTool(folder.path);
  for (const auto& system : {std::to_array<std::wstring>({L"10.0", L"22631", L"WinNT", L"Windows 11"}),
                             std::to_array<std::wstring>({L"6.3", L"9600", L"ServerNT", L"Windows Server 2012 R2"})}) {
    for (int i = 0; i < 3; ++i) write(i, system[i]);
    run_options options;
    options.folder = folder.path;
    options.on_box = InjectFault;
    const process_run run = RunProcess(tool, L"/fullscreentype=1", options);
    const std::wstring report = run.boxes.size() == 2 ? run.boxes[1].text : L"";
    EXPECT_NE(report.find(L"\rBetriebssystem: " + system[3] + L"\r"), std::wstring::npos) << Narrow(report);
  }
  for (int i = 0; i < 3; ++i) write(i, kept[i]);
}
