#include "ide_fixture.h"

namespace {
const std::wstring MissingTool = L"Die Datei ''Corvalin.exe'' konnte nicht gefunden werden.";
}

using Environment = WithStandinIde;

// The check comes before the IDE is looked for: without one the message is
// still the missing file's, not the discovery's.
TEST_F(Environment, AToolUnderAnotherNameRefusesToRun) {
  tool = InstallTool(folder.path, L"Renamed.exe");
  DeleteFileW((folder.path + L"Corvalin.exe").c_str());
  EXPECT_TRUE(EndedWithBox(RunTool(L""), L"Fehler", MissingTool)) << "without an IDE";
  StartIde();
  const ide_state before = State();
  for (const wchar_t* argument : {L"/fullscreentype=1", L"/fullscreentype=2", L""}) {
    EXPECT_TRUE(EndedWithBox(RunTool(argument), L"Fehler", MissingTool)) << Narrow(argument);
  }
  EXPECT_TRUE(Untouched(before, State()));
  EXPECT_FALSE(Exists(folder.path + L"Handles.ini"));
}

TEST_F(Environment, AStartFolderHoldingCorvalinExeStaysTheWorkingFolder) {
  StartIde();
  scratch_folder with_file, with_folder;
  WriteBytes(with_file.path + L"Corvalin.exe", "not the tool");
  ASSERT_TRUE(Quietly(RunTool(TypeTwo, {.folder = with_file.path})));
  EXPECT_TRUE(Exists(with_file.path + L"Handles.ini"));
  ASSERT_TRUE(Quietly(RunTool(TypeTwo, {.folder = with_file.path})));  // back to normal
  CreateDirectoryW((with_folder.path + L"Corvalin.exe").c_str(), nullptr);
  ASSERT_TRUE(Quietly(RunTool(TypeTwo, {.folder = with_folder.path}))) << "a folder of that name counts as present";
  EXPECT_TRUE(Exists(with_folder.path + L"Handles.ini"));
  EXPECT_FALSE(Exists(folder.path + L"Handles.ini"));
}
