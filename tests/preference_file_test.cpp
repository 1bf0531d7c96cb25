#include <gtest/gtest.h>

#include <vector>

#include "handle.h"
#include "prefs/preference_file.h"
#include "test_support.h"

namespace {

const std::string Mark = "\xEF\xBB\xBF\r\n";

// Groups "[n]" with "MenuHandle = 7n", a blank line between them, until the
// text holds at least `size` bytes.
std::string GroupsOf(size_t size) {
  std::string text = Mark;
  for (intptr_t group = 0; text.size() < size; ++group) {
    if (group > 0) text.append("\r\n");
    text.append(HandlesRecord(reinterpret_cast<HWND>(group), reinterpret_cast<HMENU>(group * 7)));
  }
  return text;
}

// Fills the disk the folder is on with a file of blocks until a write falls
// short, then, if asked, with empty files until none can be made. The names
// of the files made.
std::vector<std::wstring> FillDisk(const std::wstring& folder, bool and_its_inodes) {
  std::vector<std::wstring> made;
  const std::string block(4096, 'x');
  for (int i = 0; i == 0 || and_its_inodes; ++i) {
    made.push_back(folder + L"filler" + std::to_wstring(i));
    unique_file file{CreateFileW(made.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)};
    DWORD written = 0;
    if (!file) break;
    while (i == 0 && WriteFile(file.get(), block.data(), 4096, &written, nullptr) && written == 4096) {
    }
  }
  return made;
}

void RecordMenu(const std::wstring& path, const wchar_t* group, int64_t menu) {
  const open_preference_file file = PreferenceFile::Open(path, BlankLineBetweenGroups);
  PreferenceFile::SelectGroup(group);
  PreferenceFile::WriteInt(L"MenuHandle", menu);
}

}  // namespace

// Reading a missing file creates nothing; the first write creates it, on
// Close; once closed, nothing reads or writes.
TEST(PreferenceFile, FirstRunCreatesHandlesIniThenAddsASecondGroup) {
  scratch_folder folder;
  const std::wstring path = folder.path + L"Handles.ini";
  {
    const open_preference_file file = PreferenceFile::Open(path, BlankLineBetweenGroups);
    EXPECT_EQ(file.result, 0);
    EXPECT_EQ(PreferenceFile::SelectGroup(L"1234"), 0);
    EXPECT_EQ(PreferenceFile::ReadInt(L"MenuHandle", 0), 0);
  }
  EXPECT_FALSE(Exists(path));

  {
    const open_preference_file file = PreferenceFile::Open(path, BlankLineBetweenGroups);
    PreferenceFile::SelectGroup(L"1234");
    PreferenceFile::WriteInt(L"MenuHandle", 5678);
    EXPECT_FALSE(Exists(path)) << "nothing is written before the close";
  }
  EXPECT_EQ(ReadBytes(path), Mark + "[1234]\r\nMenuHandle = 5678\r\n");

  RecordMenu(path, L"987", 42);
  EXPECT_EQ(ReadBytes(path), Mark + "[1234]\r\nMenuHandle = 5678\r\n\r\n[987]\r\nMenuHandle = 42\r\n");
  EXPECT_EQ(TemporaryFiles(folder.path), 0) << "the temporary file was renamed into place";

  {
    const open_preference_file file = PreferenceFile::Open(path, BlankLineBetweenGroups);
    EXPECT_NE(file.result, 0);
    EXPECT_EQ(PreferenceFile::SelectGroup(L"1234"), 1);
    EXPECT_EQ(PreferenceFile::ReadInt(L"MenuHandle", 0), 5678);
  }
  EXPECT_EQ(PreferenceFile::SelectGroup(L""), 0);
  EXPECT_EQ(PreferenceFile::ReadInt(L"MenuHandle", 9), 9);
  PreferenceFile::WriteInt(L"MenuHandle", 1);
  EXPECT_FALSE(PreferenceFile::State().document.changed);
}

// A file another handle holds: one that shares reading only is read here and
// not written, one that shares nothing is not opened, and one that writes
// still lets the file be read. Either way the file stays as it was.
TEST(PreferenceFile, AFileOpenElsewhereIsReadOnlyHereOrNotOpened) {
  scratch_folder folder;
  const std::wstring path = folder.path + L"Handles.ini";
  const std::string original = Mark + "[1]\r\nMenuHandle = 11\r\n";
  const struct {
    DWORD access, share;
    bool opens;
  } cases[] = {{GENERIC_READ, FILE_SHARE_READ, true},
               {GENERIC_READ, 0, false},
               {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "access " << c.access << ", sharing " << c.share);
    WriteBytes(path, original);
    unique_file other{CreateFileW(path.c_str(), c.access, c.share, nullptr, OPEN_EXISTING, 0, nullptr)};
    ASSERT_TRUE(other);
    {
      const open_preference_file file = PreferenceFile::Open(path, BlankLineBetweenGroups);
      EXPECT_EQ(file.result != 0, c.opens);
      EXPECT_TRUE(PreferenceFile::State().read_only);
      PreferenceFile::SelectGroup(L"1");
      EXPECT_EQ(PreferenceFile::ReadInt(L"MenuHandle", 0), c.opens ? 11 : 0);
      PreferenceFile::WriteInt(L"MenuHandle", 99);
      PreferenceFile::SelectGroup(L"2");
      PreferenceFile::WriteInt(L"MenuHandle", 22);
    }
    other.reset();
    EXPECT_EQ(ReadBytes(path), original);
  }
}

namespace {

struct turn_holder {
  HANDLE mutex;
  HANDLE taken;  // signalled once the thread has the turn
  HANDLE end;    // signalled: the thread ends, holding the turn (abandoned)
};

DWORD WINAPI HoldTurn(void* context) {
  const auto* holder = static_cast<turn_holder*>(context);
  WaitForSingleObject(holder->mutex, INFINITE);
  SetEvent(holder->taken);
  WaitForSingleObject(holder->end, INFINITE);
  return 0;
}

}  // namespace

// A turn held elsewhere for longer than a run waits, one left abandoned, and
// its name taken by an object of another kind: the run goes on, and saves.
TEST(PreferenceFile, ARunGoesOnWhenTheFilesTurnCannotBeHad) {
  scratch_folder folder;
  const std::wstring path = folder.path + L"Handles.ini";
  const std::wstring turn = FileTurnName(path);
  for (const bool held : {true, false}) {
    SCOPED_TRACE(held ? "held" : "abandoned");
    DeleteFileW(path.c_str());
    unique_handle mutex{CreateMutexW(nullptr, FALSE, turn.c_str())};
    unique_handle taken{CreateEventW(nullptr, TRUE, FALSE, nullptr)}, end{CreateEventW(nullptr, TRUE, !held, nullptr)};
    turn_holder holder{mutex.get(), taken.get(), end.get()};
    unique_handle thread{CreateThread(nullptr, 0, HoldTurn, &holder, 0, nullptr)};
    WaitForSingleObject(held ? taken.get() : thread.get(), INFINITE);
    const ULONGLONG start = GetTickCount64();
    RecordMenu(path, L"1", 11);
    const ULONGLONG waited = GetTickCount64() - start;
    EXPECT_EQ(ReadBytes(path), Mark + "[1]\r\nMenuHandle = 11\r\n");
    EXPECT_TRUE(held ? waited >= FileTurnTimeoutMs - 100 : waited < FileTurnTimeoutMs) << waited << " ms";
    SetEvent(end.get());
    WaitForSingleObject(thread.get(), INFINITE);
  }
  unique_handle event{CreateEventW(nullptr, TRUE, FALSE, turn.c_str())};
  ASSERT_TRUE(event);
  RecordMenu(path, L"2", 22);
  EXPECT_EQ(ReadBytes(path), Mark + "[1]\r\nMenuHandle = 11\r\n\r\n[2]\r\nMenuHandle = 22\r\n");
}

// A sparse file of 100 TB on the small tmpfs: its size is real, memory to read
// it is not to be had.
TEST(PreferenceFile, AFileThatCannotBeReadWholeIsNotSavedOver) {
  if (!IsSmallTestDisk(L"T:\\")) GTEST_SKIP() << "no small disk mounted as T:";
  const std::wstring path = L"T:\\Handles-sparse.ini";
  const int64_t size = 100LL << 40;
  WriteBytes(path, "x", size - 1);
  ASSERT_EQ(FileSize(path), size);

  {
    const open_preference_file file = PreferenceFile::Open(path, BlankLineBetweenGroups);
    EXPECT_NE(file.result, 0);
    EXPECT_TRUE(PreferenceFile::State().read_only) << "the content could not be read";
    PreferenceFile::SelectGroup(L"2");
    PreferenceFile::WriteInt(L"MenuHandle", 22);
  }
  EXPECT_EQ(FileSize(path), size) << "not replaced by the one new group";
  EXPECT_EQ(TemporaryFiles(L"T:\\"), 0);
  DeleteFileW(path.c_str());
}

// U:\inplace is a read-only folder with one writable file in it, when the test
// session could make one: no temporary file can be made beside it.
TEST(PreferenceFile, AWritableFileInAFolderThatIsNotIsSavedInPlace) {
  const std::wstring path = L"U:\\inplace\\Handles.ini";
  if (!IsSmallTestDisk(L"U:\\")) GTEST_SKIP() << "no read-only disk as U:";
  WriteBytes(path, Mark + "[1]\r\nMenuHandle = 11\r\n");
  ASSERT_EQ(ReadBytes(path), Mark + "[1]\r\nMenuHandle = 11\r\n") << "the file itself can be written";
  RecordMenu(path, L"2", 22);
  EXPECT_EQ(ReadBytes(path), Mark + "[1]\r\nMenuHandle = 11\r\n\r\n[2]\r\nMenuHandle = 22\r\n");
  RecordMenu(path, L"1", 3);
  EXPECT_EQ(ReadBytes(path), Mark + "[1]\r\nMenuHandle = 3\r\n\r\n[2]\r\nMenuHandle = 22\r\n")
      << "shorter: cut to size";
}

// A changed file is saved (its ISO 8859-1 text as UTF-8) also when another is
// opened instead of closing it; an unchanged one stays as it was.
TEST(PreferenceFile, OnlyAChangedFileIsSavedAlsoWhenAnotherIsOpened) {
  scratch_folder folder;
  const std::wstring latin = folder.path + L"latin.ini", plain = folder.path + L"plain.ini";
  WriteBytes(latin, "[Gr\xFC\xDF" "e]\nName = Jos\xE9\n");
  WriteBytes(plain, "k=1\n");
  {
    const open_preference_file first = PreferenceFile::Open(latin, CompactSeparator);
    EXPECT_EQ(PreferenceFile::SelectGroup(L"Gr\u00FC\u00DFe"), 1);
    PreferenceFile::WriteInt(L"Count", 3);
    const open_preference_file second = PreferenceFile::Open(plain, 0);
    EXPECT_EQ(ReadBytes(latin), Mark + "[Gr\xC3\xBC\xC3\x9F" "e]\r\nName=Jos\xC3\xA9\r\nCount=3\r\n");
    EXPECT_EQ(PreferenceFile::ReadInt(L"k", 0), 1);
    const open_preference_file third = PreferenceFile::Open(folder.path + L"absent.ini", 0);
    EXPECT_EQ(ReadBytes(plain), "k=1\n");
  }
  EXPECT_FALSE(Exists(folder.path + L"absent.ini"));
}

// T: is a 64 KiB tmpfs when the test fixture could mount one (as root).
TEST(PreferenceFile, AFailedSaveOnAFullDiskKeepsTheOriginal) {
  if (!IsSmallTestDisk(L"T:\\")) GTEST_SKIP() << "no small disk mounted as T:";
  const std::wstring folder = L"T:\\full-disk\\";
  RemoveTree(folder);
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring path = folder + L"Handles.ini";
  const std::string original = GroupsOf(24 * 1024);
  WriteBytes(path, original);
  ASSERT_EQ(ReadBytes(path), original);
  FillDisk(folder, false);  // the new content no longer fits beside the old
  RecordMenu(path, L"new", 1);
  EXPECT_EQ(ReadBytes(path), original) << "the original stays byte for byte";
  EXPECT_EQ(TemporaryFiles(folder), 0) << "the temporary file is removed";
  RemoveTree(folder);
}

// V: is a 64 KiB tmpfs of eight inodes when the test session could mount one (as
// root): once its inodes and blocks are used up, no temporary file can be made,
// and the save has to go in place.
TEST(PreferenceFile, AFullDiskWithNoRoomForANewFileKeepsTheFileWhole) {
  if (!IsSmallTestDisk(L"V:\\")) GTEST_SKIP() << "no small disk with few inodes mounted as V:";
  const std::wstring path = L"V:\\Handles.ini";
  std::string original = GroupsOf(4000);
  original.append("; ").append(4096 - original.size() - 2, 'x').append("\r\n");  // one whole page
  ASSERT_EQ(original.size(), 4096u);
  WriteBytes(path, original);
  const std::vector<std::wstring> fillers = FillDisk(L"V:\\", true);
  ASSERT_EQ(ReadBytes(path), original);

  RecordMenu(path, L"0", 123456789012);  // longer: every later group moves
  EXPECT_EQ(ReadBytes(path), original) << "the whole length could not be had: the file stays byte for byte";
  EXPECT_EQ(TemporaryFiles(L"V:\\"), 0);

  // Emptied: blocks free again, still no inode: the same save goes in place.
  unique_file{CreateFileW(fillers.front().c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr)};
  RecordMenu(path, L"0", 123456789012);
  std::string expected = original;
  expected.replace(Mark.size() + 18, 1, "123456789012");
  EXPECT_EQ(ReadBytes(path), expected) << "the new value, nothing cut";
  for (const std::wstring& filler : fillers) DeleteFileW(filler.c_str());
  DeleteFileW(path.c_str());
}

// A hidden system file, then the same through a symbolic link: L: is a folder of
// links when the test session could make one, "Handles.ini" naming
// "real\Handles.ini" and "Dangling.ini" naming a missing file.
TEST(PreferenceFile, ASaveKeepsTheFilesAttributesAndReplacesTheFileALinkNames) {
  constexpr DWORD Marked = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  scratch_folder folder;
  const std::wstring hidden = folder.path + L"Handles.ini";
  WriteBytes(hidden, Mark + "[1]\r\nMenuHandle = 11\r\n");
  ASSERT_TRUE(SetFileAttributesW(hidden.c_str(), Marked));
  ASSERT_EQ(GetFileAttributesW(hidden.c_str()) & Marked, Marked) << "this disk keeps no such attributes";
  RecordMenu(hidden, L"2", 22);
  EXPECT_EQ(ReadBytes(hidden), Mark + "[1]\r\nMenuHandle = 11\r\n\r\n[2]\r\nMenuHandle = 22\r\n");
  EXPECT_EQ(GetFileAttributesW(hidden.c_str()) & Marked, Marked);

  const std::wstring link = L"L:\\Handles.ini", real = L"L:\\real\\Handles.ini";
  if (!Exists(L"L:\\corvalin-test-links")) GTEST_SKIP() << "no folder of links as L: (with its marker)";
  WriteBytes(real, Mark + "[1]\r\nMenuHandle = 11\r\n");
  ASSERT_EQ(ReadBytes(link), ReadBytes(real));
  RecordMenu(link, L"2", 22);
  EXPECT_EQ(ReadBytes(real), Mark + "[1]\r\nMenuHandle = 11\r\n\r\n[2]\r\nMenuHandle = 22\r\n")
      << "saved into the target";
  RecordMenu(link, L"1", 3);
  EXPECT_EQ(ReadBytes(real), Mark + "[1]\r\nMenuHandle = 3\r\n\r\n[2]\r\nMenuHandle = 22\r\n") << "still a link";
  EXPECT_EQ(TemporaryFiles(L"L:\\") + TemporaryFiles(L"L:\\real\\"), 0);
  RecordMenu(L"L:\\Dangling.ini", L"1", 11);
  EXPECT_FALSE(Exists(L"L:\\absent.ini")) << "a link to nothing: no file made at its target";
}
