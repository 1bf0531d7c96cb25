// The display scale. The IDE is DPI-aware and sizes its controls in logical
// pixels; the tool declares no DPI awareness, so that Windows runs it at 96 DPI
// and scales what it reads and sets of the IDE's windows to the IDE's scale.
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

// Every move of the switch is in the pixels of a DPI-unaware program.
TEST(DisplayScale, TheToolDeclaresNoDpiAwareness) {
  HMODULE exe = LoadLibraryExW(BuiltProgram(L"Corvalin.exe").c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(exe, nullptr);
  const HRSRC resource = FindResourceW(exe, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(resource, nullptr);
  std::string manifest(static_cast<const char*>(LockResource(LoadResource(exe, resource))),
                       SizeofResource(exe, resource));
  FreeLibrary(exe);
  ASSERT_NE(manifest.find("asInvoker"), std::string::npos) << "the tool's own manifest";
  for (char& c : manifest) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(manifest.find("dpiaware"), std::string::npos) << "dpiAware or dpiAwareness declared";
}

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
                                   L"--gtest_filter=Layouts.EachConfigurationInAndOut --gtest_output=xml:" + report,
                                   options)));
  }
  const std::string xml = ReadBytes(report);
  EXPECT_NE(xml.find("tests=\"1\" failures=\"0\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("name=\"file_tab_bar\" value=\"38\""), std::string::npos) << "the IDE at 150 %";
}
