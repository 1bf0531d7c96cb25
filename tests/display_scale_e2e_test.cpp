// The display scale. The IDE is DPI-aware and sizes its controls in logical
// pixels; the tool declares per-monitor awareness, so that what it reads of the
// IDE's windows and what it sets are the same physical pixels.
#include "ide_fixture.h"

namespace {

constexpr const wchar_t* DesktopKey = L"Control Panel\\Desktop";

// The system DPI of the processes started while it lives: Wine reads LogPixels
// when a process starts (no new wineserver needed).
struct log_pixels {
  DWORD before = 0;
  bool had = false;
  explicit log_pixels(DWORD dpi) {
    DWORD size = sizeof before;
    had = RegGetValueW(HKEY_CURRENT_USER, DesktopKey, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &before, &size) ==
          ERROR_SUCCESS;
    RegSetKeyValueW(HKEY_CURRENT_USER, DesktopKey, L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
  }
  ~log_pixels() {
    if (had) RegSetKeyValueW(HKEY_CURRENT_USER, DesktopKey, L"LogPixels", REG_DWORD, &before, sizeof before);
    else RegDeleteKeyValueW(HKEY_CURRENT_USER, DesktopKey, L"LogPixels");
  }
};

}  // namespace

// Under Wine, the IDE's configurations again at 150 % (LogPixels 144), in a test
// process of their own. On Windows the tests run at the machine's own scale.
TEST(DisplayScaleSerial, TheConfigurationsAtOneHundredAndFiftyPercent) {
  if (!RunningUnderWine()) GTEST_SKIP() << "the display scale is the machine's own";
  scratch_folder folder;
  const std::wstring report = folder.path + L"report.xml";
  {
    const log_pixels scale(144);
    // The relay trace for the tool's runs alone.
    const run_options options{.folder = {}, .environment = {{L"WINEDEBUG", L"-all"}}, .timeout_ms = 110000};
    ASSERT_TRUE(Quietly(RunProcess(BuiltProgram(L"end_to_end_tests.exe"),
                                   L"--gtest_filter=Layouts.LastThroughEveryRelayoutOfEachConfiguration "
                                   L"--gtest_output=xml:" + report,
                                   options)));
  }
  const std::string xml = ReadBytes(report);
  EXPECT_NE(xml.find("tests=\"1\" failures=\"0\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("name=\"file_tab_bar\" value=\"38\""), std::string::npos) << "the IDE at 150 %";
}
