// A run of the tool that is ended from outside while it saves Handles.ini.
#include "ide_fixture.h"

using SaveEnds = WithStandinIde;

// A Handles.ini of 160 MiB (comment lines of 1 MiB) keeps the save busy long
// enough: the tool is terminated as soon as its temporary file has content,
// which is while it writes the new content, before the rename.
TEST_F(SaveEnds, ARunEndedMidSaveLeavesNoTemporaryFile) {
  StartIde();
  const std::wstring path = folder.path + L"Handles.ini";
  std::string content = "\xEF\xBB\xBF\r\n";
  const std::string line = "; " + std::string(1 << 20, 'x') + "\r\n";
  for (int i = 0; i < 160; ++i) content += line;
  WriteBytes(path, content);
  ASSERT_EQ(FileSize(path), static_cast<int64_t>(content.size()));

  child_process run = StartChild(tool, L"/fullscreentype=1", 0, folder.path);
  ASSERT_TRUE(run.process);
  bool seen = false;
  const ULONGLONG deadline = GetTickCount64() + 60000;
  while (WaitForSingleObject(run.process.get(), 0) == WAIT_TIMEOUT && GetTickCount64() < deadline) {
    if ((seen = TemporaryFiles(folder.path, 1) > 0)) break;
  }
  run = {};  // ended, and its handles closed
  ASSERT_TRUE(seen) << "the run ended before its save began";
  ASSERT_EQ(FileSize(path), static_cast<int64_t>(content.size())) << "the kill came after the rename";

  // The system removes the file as it closes the ended process's handles.
  for (int wait = 0; wait < 100 && TemporaryFiles(folder.path); ++wait) Sleep(20);
  EXPECT_EQ(TemporaryFiles(folder.path), 0) << "a temporary file stayed behind";
}
