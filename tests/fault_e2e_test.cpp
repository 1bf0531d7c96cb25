#include "ide_fixture.h"
#include "version.h"

namespace {

// The report's lines, split at its single carriage returns.
std::vector<std::wstring> Lines(std::wstring report) {
  std::vector<std::wstring> lines;
  for (size_t cr; (cr = report.find(L'\r')) != std::wstring::npos; report.erase(0, cr + 1)) {
    lines.push_back(report.substr(0, cr));
  }
  if (!report.empty()) lines.push_back(report + L"<no carriage return>");
  return lines;
}

class Faults : public ::testing::Test {
 protected:
  scratch_folder folder;
  void SetUp() override {
    CreateDirectoryW((folder.path + L"Data").c_str(), nullptr);
    WriteBytes(folder.path + L"Data\\Settings.ini", "");
  }
  process_run Run(const std::wstring& program, const std::wstring& arguments,
                  decltype(run_options::on_box) on_box = nullptr) {
    return RunProcess(program, arguments, {.folder = folder.path, .on_box = on_box});
  }
  process_run Probe(const std::wstring& mode) { return Run(BuiltProgram(L"fault_probe.exe"), mode); }
  std::string Log() { return ReadBytes(TodaysLog(folder.path + L"Data\\")); }
  // The one report the run showed.
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

// Each fault's report, shown and appended to the day's log in UTF-8 with the
// report's carriage returns kept (CR CR LF at the end); the log keeps the
// reports before it.
TEST_F(Faults, EachFaultIsReportedShownAndLogged) {
  struct fault_case {
    const wchar_t* mode;
    const wchar_t* message;
    const wchar_t* target;  // null: no target line
  } cases[] = {
      {L"write", L"Invalid memory access", L"8000"},
      {L"few-parameters", L"Invalid memory access", L"0"},  // an access violation without its parameters
      {L"divide", L"Division by zero ", nullptr},
      {L"unknown", L"Unknown error code", nullptr},
      {L"cleanups", L"Invalid memory access", L"8000"},  // below a frame with C++ cleanups
      {L"deep", L"Invalid memory access", L"8000"},      // below more frames than the walk takes
  };
  std::string earlier;
  for (const fault_case& c : cases) {
    SCOPED_TRACE(Narrow(c.mode));
    const process_run run = Probe(c.mode);
    const std::vector<std::wstring> lines = Report(run);
    ASSERT_EQ(lines.size(), c.target ? 9u : 8u);
    EXPECT_EQ(lines[0], L"Es ist ein schwerwiegender Fehler aufgetreten und das Programm muss beendet werden.");
    EXPECT_EQ(lines[1], L"Senden Sie bitte die folgenden Informationen an support@corvalin.example:");
    EXPECT_EQ(lines[2], L"");
    EXPECT_EQ(lines[3].rfind(L"Datum/Uhrzeit: ", 0), 0u);
    EXPECT_EQ(lines[3].size(), 15u + 19);
    EXPECT_EQ(lines[4].rfind(L"Betriebssystem: ", 0), 0u);
    EXPECT_EQ(lines[5], L"Anwendung: Corvalin " CORVALIN_VERSION " (Build " CORVALIN_BUILD ")");
    EXPECT_EQ(lines[6], std::wstring(L"Fehlermeldung: ") + c.message);
    EXPECT_EQ(lines[7].rfind(L"Speicheradresse: ", 0), 0u);
    EXPECT_GT(std::stoll(lines[7].substr(17)), 0x10000) << "an address inside the probe";
    if (c.target) { EXPECT_EQ(lines[8], std::wstring(L"Ziel-Speicheradresse:  ") + c.target); }
    const std::string log = Log();
    ASSERT_EQ(log.size(), earlier.size() + 19 + 2 + run.boxes[0].text.size() + 2);
    EXPECT_EQ(log.substr(0, earlier.size()), earlier);
    EXPECT_EQ(log.substr(earlier.size() + 19), ": " + Narrow(run.boxes[0].text) + "\r\n");
    earlier = log;
  }
}

// No report: a frame with a handler of its own keeps the fault (just below it,
// and below 50 levels of a recursion; the program goes on to exit code 7), and
// a fault while reporting ends the run at once.
TEST_F(Faults, AFrameWithItsOwnHandlerKeepsTheFaultAndAFaultWhileReportingEndsAtOnce) {
  const std::pair<const wchar_t*, DWORD> cases[] = {
      {L"own-handler", 7}, {L"own-handler-deep", 7}, {L"fault-in-report", 0}};
  for (const auto& [mode, exit_code] : cases) {
    const process_run run = Probe(mode);
    EXPECT_TRUE(run.finished) << Narrow(mode);
    EXPECT_EQ(run.exit_code, exit_code) << Narrow(mode);
    EXPECT_TRUE(run.boxes.empty()) << Narrow(mode);
  }
  EXPECT_EQ(Log(), "<missing>");
}

TEST_F(Faults, BeforeTheDataDirectoryIsKnownTheLogGoesToTheCurrentFolder) {
  Report(Probe(L"before-data-directory"));
  EXPECT_EQ(Log(), "<missing>");
  EXPECT_NE(ReadBytes(TodaysLog(folder.path)).find("Invalid memory access"), std::string::npos);
}

namespace {

bool InjectFault(HANDLE process, const message_box_seen& box, void*) {
  if (box.caption != L"Error") return true;
  FaultNewThreadIn(process);
  return false;  // leave the discovery message open: the report ends the process
}

}  // namespace

TEST_F(Faults, TheToolItselfReportsAFault) {
  process_run run = Run(InstallTool(folder.path), L"/fullscreentype=1", InjectFault);  // no IDE: the message stays up
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
    const process_run run = Run(tool, L"/fullscreentype=1", InjectFault);
    const std::wstring report = run.boxes.size() == 2 ? run.boxes[1].text : L"";
    EXPECT_NE(report.find(L"\rBetriebssystem: " + system[3] + L"\r"), std::wstring::npos) << Narrow(report);
  }
  for (int i = 0; i < 3; ++i) write(i, kept[i]);
}
