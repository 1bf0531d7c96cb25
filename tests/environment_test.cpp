#include <gtest/gtest.h>

#include "environment/environment.h"
#include "test_support.h"

namespace {

// Runs a test inside its own scratch folder as the current directory.
class InScratchFolder : public ::testing::Test {
 protected:
  scratch_folder folder;
  current_directory_change inside{folder.path};
  void SetUp() override {
    CreateDirectoryW(L"Data", nullptr);
    WriteBytes(L"Data\\Settings.ini", "");
    WriteBytes(L"five.ini", "12345");
  }
};

}  // namespace

TEST_F(InScratchFolder, FilesGiveTheirSizeFoldersMinusTwoAndTheExactCheckTakesNoPattern) {
  EXPECT_EQ(QueryFileSize(L"Data\\Settings.ini"), 0);
  EXPECT_EQ(QueryFileSize(L"five.ini"), 5);
  EXPECT_EQ(QueryFileSize(folder.path + L"five.ini"), 5);
  EXPECT_EQ(QueryFileSize(L"Data"), IsDirectory);
  EXPECT_EQ(QueryFileSize(L"Data\\\\/"), IsDirectory);
  EXPECT_EQ(QueryFileSize(L"missing.ini"), NothingThere);
  EXPECT_EQ(QueryFileSize(L""), NothingThere);
  EXPECT_EQ(ExactFileSize(L""), NothingThere);
  // The exact check finds no file behind a separator.
  EXPECT_EQ(QueryFileSize(L"five.ini\\"), 5) << "the plain query ignores the separator";
  EXPECT_EQ(ExactFileSize(L"five.ini\\"), NothingThere);
  EXPECT_EQ(ExactFileSize(L"five.ini\\\\"), NothingThere);
  EXPECT_EQ(ExactFileSize(L"Data\\Settings.ini\\"), NothingThere);
  EXPECT_EQ(ExactFileSize(L"Data\\"), IsDirectory);
  EXPECT_EQ(ExactFileSize(L"Data\\\\"), IsDirectory);
  EXPECT_EQ(ExactFileSize(L"five.ini"), 5);
  // Patterns match only in the plain query.
  EXPECT_GE(QueryFileSize(L"*.ini"), 1) << "first match of the search";
  EXPECT_EQ(ExactFileSize(L"*.ini"), NothingThere);
  EXPECT_EQ(ExactFileSize(L"fiv?.ini"), NothingThere);
  WriteBytes(L"_.ini", "xy");
  EXPECT_EQ(ExactFileSize(L"*.ini"), 2) << "the star stands for a file named _.ini";
  EXPECT_EQ(NeutralisePatterns(L"a*b?c<d>e\"f"), L"a_b_c_d_e_f");
}

TEST_F(InScratchFolder, DrivesAndDotPathsAreFoldersAndOverlongPathsNothing) {
  EXPECT_EQ(QueryFileSize(L"C:"), IsDirectory);
  EXPECT_EQ(QueryFileSize(L"C:\\"), IsDirectory);
  EXPECT_EQ(QueryFileSize(L"C:/"), IsDirectory);
  const DWORD drives = GetLogicalDrives();
  wchar_t missing[] = L"B:";
  for (wchar_t letter = L'Z'; letter > L'B'; --letter) {
    if (!(drives & (1u << (letter - L'A')))) missing[0] = letter;
  }
  EXPECT_EQ(QueryFileSize(missing), NothingThere) << "no such drive";
  EXPECT_EQ(QueryFileSize(L".."), IsDirectory);
  EXPECT_EQ(QueryFileSize(L"..\\"), IsDirectory);
  EXPECT_EQ(QueryFileSize(L"\\\\no-such-server\\share"), NothingThere) << "a share the search cannot reach";
  // Overlong paths are never cut to another name: the first 260 characters of
  // this one name an existing folder, the whole path names nothing.
  std::wstring deep = folder.path;
  while (deep.size() < 258) deep += L"d";
  std::wstring longer = deep + L"\\five.ini";
  EXPECT_EQ(QueryFileSize(std::wstring(300, L'a')), NothingThere);
  EXPECT_EQ(QueryFileSize(longer), NothingThere);
  EXPECT_EQ(ExactFileSize(longer), NothingThere);
}

TEST_F(InScratchFolder, PortableModeNeedsOnlyTheMarker) {
  DeleteFileW(L"Data\\Settings.ini");
  CreateDirectoryW(L"Data\\Settings.ini", nullptr);
  SelectDataDirectory();
  EXPECT_EQ(DataDirectory, folder.path + L"Data\\") << "a folder of that name counts too";
  RemoveDirectoryW(L"Data\\Settings.ini");
  const std::wstring appdata = EnvironmentValue(L"appdata");
  SetEnvironmentVariableW(L"APPDATA", L"C:\\Users\\someone\\AppData\\Roaming");
  SelectDataDirectory();
  EXPECT_EQ(DataDirectory, L"C:\\Users\\someone\\AppData\\Roaming\\Tolvane\\Corvalin\\");
  SetEnvironmentVariableW(L"appdata", nullptr);
  SelectDataDirectory();
  EXPECT_EQ(DataDirectory, L"\\Tolvane\\Corvalin\\") << "without appdata: rooted at the current drive";
  SetEnvironmentVariableW(L"appdata", appdata.c_str());
}

TEST(DataDirectory, InADriveRootHasASingleBackslash) {
  const current_directory_change in_root(L"C:\\");
  ASSERT_EQ(CurrentFolder(), L"C:\\");
  // A marker of the machine's own is used as it is and left in place.
  const wchar_t* marker = L"C:\\Data\\Settings.ini";
  const bool made_folder = CreateDirectoryW(L"C:\\Data", nullptr);
  const bool made_marker = !Exists(marker);
  if (made_marker) WriteBytes(marker, "");
  const bool marker_there = Exists(marker);
  if (marker_there) {
    SelectDataDirectory();
    EXPECT_EQ(DataDirectory, L"C:\\Data\\");
  }
  if (made_marker) DeleteFileW(marker);
  if (made_folder) RemoveDirectoryW(L"C:\\Data");
  if (!marker_there) GTEST_SKIP() << "C:\\Data\\Settings.ini cannot be made here";
}

TEST(PathFolder, KeepsTheLastSeparator) {
  EXPECT_EQ(PathFolder(L"C:\\Tools\\Corvalin.exe"), L"C:\\Tools\\");
  EXPECT_EQ(PathFolder(L"C:/Tools/x/Corvalin.exe"), L"C:/Tools/x/");
  EXPECT_EQ(PathFolder(L"Corvalin.exe"), L"");
}

TEST(ExecutablePath, NamesThisProgramWithoutTheLongPathPrefix) {
  std::wstring path = ExecutablePath();
  EXPECT_EQ(path.substr(path.size() - 14), L"unit_tests.exe");
  EXPECT_NE(path.rfind(L"\\\\?\\", 0), 0u);
  EXPECT_EQ(WithoutLongPathPrefix(L"\\\\?\\C:\\Tools\\Corvalin.exe"), L"C:\\Tools\\Corvalin.exe");
  EXPECT_EQ(WithoutLongPathPrefix(L"\\\\?\\UNC\\server\\share\\Corvalin.exe"), L"\\\\server\\share\\Corvalin.exe");
  EXPECT_EQ(WithoutLongPathPrefix(L"\\\\server\\share\\Corvalin.exe"), L"\\\\server\\share\\Corvalin.exe");
}

TEST(CurrentFolder, ReadsPathsLongerThanMaxPath) {
  scratch_folder folder;
  std::wstring deep = L"\\\\?\\" + folder.path;
  for (int i = 0; i < 6; ++i) {
    deep += std::wstring(60, static_cast<wchar_t>(L'a' + i)) + L"\\";
    CreateDirectoryW(deep.c_str(), nullptr);
  }
  const current_directory_change in_deep(deep);
  if (!in_deep.changed) GTEST_SKIP() << "this system cannot work in so deep a folder";
  const std::wstring current = CurrentFolder();
  EXPECT_GT(current.size(), 300u);
  EXPECT_EQ(current.back(), L'\\');
}
