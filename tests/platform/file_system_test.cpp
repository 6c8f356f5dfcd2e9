// Files and folders by name: existence, folder trees, renaming, attributes, the well-known
// folders, free space, and (on POSIX) the case-insensitive name lookup.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/platform.h"
#include "tests/platform/scratch.h"

namespace qp::platform::testing {
namespace {

using FileSystemTest = ScratchTest;

TEST_F(FileSystemTest, ExistenceTellsFilesFromFolders) {
  WriteFile(u"f.txt", "x");
  EXPECT_TRUE(FileExists(Path(u"f.txt")));
  EXPECT_FALSE(DirectoryExists(Path(u"f.txt")));
  EXPECT_FALSE(FileExists(root_));
  EXPECT_TRUE(DirectoryExists(root_));
  EXPECT_FALSE(FileExists(Path(u"nothing")));
  EXPECT_FALSE(DirectoryExists(Path(u"nothing")));
  EXPECT_FALSE(DeleteFile(Path(u"nothing")));
  EXPECT_NE(LastSystemError(), 0);
  EXPECT_FALSE(DeleteFile(root_));  // not a file
  EXPECT_EQ(GetFileAttributes(Path(u"nothing")), kInvalidAttributes);
}

TEST_F(FileSystemTest, ForceDirectoriesBuildsDeepTrees) {
  const std::u16string deep = Path(u"a\\b\\c\\d\\e\\f\\g\\h\\i\\j");
  ASSERT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(ForceDirectories(deep + u"\\"));  // existing, trailing separator
  EXPECT_TRUE(ForceDirectories(Path(u"a\\b\\x")));
  WriteFile(u"a\\file", "x");
  EXPECT_FALSE(ForceDirectories(Path(u"a\\file\\sub")));  // a file is in the way
  EXPECT_EQ(GetFileAttributes(deep) & (faDirectory | faArchive), faDirectory);
}

TEST_F(FileSystemTest, ForceDirectoriesStaysLinearInThePathsDepth) {
  // 90 levels are made in one pass (few enough for the scratch folder's removal to handle on
  // every platform); 30,000 levels (60,000 characters, more than any path may have) fail at
  // once instead of costing memory by the square of the depth.
  std::u16string deep = root_;
  for (int i = 0; i < 90; ++i) deep += u"\\d";
  std::u16string deeper = root_;
  for (int i = 0; i < 30000; ++i) deeper += u"\\e";
  const auto start = std::chrono::steady_clock::now();
  const bool made = ForceDirectories(deep);
  EXPECT_FALSE(ForceDirectories(deeper));
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 30.0);
  // What is made must be there.
  if (made) {
    EXPECT_TRUE(DirectoryExists(deep));
  }
#ifdef _WIN32
  // Refused before the first call that would make a folder.
  EXPECT_FALSE(DirectoryExists(root_ + u"\\e"));
#endif
}

TEST_F(FileSystemTest, MoveReplacesTheDestination) {
  WriteFile(u"from.txt", "new");
  WriteFile(u"to.txt", "old");
  ASSERT_TRUE(MoveFileReplace(Path(u"from.txt"), Path(u"to.txt")));
  EXPECT_FALSE(FileExists(Path(u"from.txt")));
  EXPECT_EQ(ReadFile(u"to.txt"), "new");
  EXPECT_FALSE(MoveFileReplace(Path(u"from.txt"), Path(u"to.txt")));
}

TEST_F(FileSystemTest, AttributesOfFilesAndFolders) {
  WriteFile(u"plain.txt", "x");
  const uint32_t attributes = GetFileAttributes(Path(u"plain.txt"));
  EXPECT_EQ(attributes & (faDirectory | faReadOnly), 0u);
  EXPECT_EQ(GetFileAttributes(root_) & faDirectory, faDirectory);
  ASSERT_TRUE(SetFileAttributes(Path(u"plain.txt"), faReadOnly | faArchive));
  EXPECT_EQ(GetFileAttributes(Path(u"plain.txt")) & faReadOnly, faReadOnly);
  ASSERT_TRUE(SetFileAttributes(Path(u"plain.txt"), 0));
  EXPECT_EQ(GetFileAttributes(Path(u"plain.txt")) & faReadOnly, 0u);
  EXPECT_FALSE(SetFileAttributes(Path(u"nothing"), 0));
#ifndef _WIN32
  EXPECT_EQ(attributes & faArchive, faArchive);
  WriteFile(u".hidden", "x");
  EXPECT_EQ(GetFileAttributes(Path(u".hidden")) & faHidden, faHidden);
  EXPECT_EQ(attributes & faHidden, 0u);
#endif
}

TEST_F(FileSystemTest, WellKnownFoldersExist) {
  const std::u16string temp = TempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), u'\\');
  EXPECT_TRUE(DirectoryExists(temp));
  EXPECT_TRUE(DirectoryExists(CurrentFolder()));
  EXPECT_TRUE(FileExists(ExecutablePath()));
  EXPECT_EQ(GetDriveType(temp), DriveType::Fixed);
  EXPECT_GT(DiskFreeSpace(temp), 0);
  EXPECT_GT(DiskFreeSpace(Path(u"not\\yet\\there")), 0);  // measured at the nearest parent
  const int64_t first = HighResCounter();
  int64_t last = first;
  for (int i = 0; i < 1000000 && last == first; ++i) {
    last = HighResCounter();
    ASSERT_GE(last, first);
  }
  EXPECT_GT(last, first);
}

#ifndef _WIN32
TEST(TempFolderTest, FollowsTmpdirInEngineForm) {
  const char* saved = std::getenv("TMPDIR");
  const std::string restore = saved != nullptr ? saved : "";
  setenv("TMPDIR", "/var/tmp//", 1);
  EXPECT_EQ(TempFolder(), u"\\var\\tmp\\");
  setenv("TMPDIR", "", 1);
  EXPECT_EQ(TempFolder(), u"\\tmp\\");
  if (saved != nullptr) setenv("TMPDIR", restore.c_str(), 1); else unsetenv("TMPDIR");
}

// A Windows file system finds "data.Z01" when the disk has "data.z01"; so must POSIX.
TEST_F(FileSystemTest, FindsNamesThatDifferOnlyInCase) {
  ASSERT_TRUE(ForceDirectories(Path(u"Vol")));
  WriteFile(u"Vol\\data.z01", "first volume");
  EXPECT_TRUE(FileExists(Path(u"Vol\\data.Z01")));
  EXPECT_TRUE(FileExists(Path(u"vOL\\DATA.z01")));  // folders too
  EXPECT_EQ(ReadFile(u"VOL\\Data.Z01"), "first volume");
  EXPECT_EQ(GetFileAttributes(Path(u"vol\\DATA.Z01")) & faDirectory, 0u);
  EXPECT_TRUE(DirectoryExists(Path(u"VOL")));
  EXPECT_FALSE(FileExists(Path(u"Vol\\data.z02")));

  // Create keeps the name as given, inside the folder as it is on disk.
  WriteFile(u"vol\\New.TXT", "n");
  EXPECT_TRUE(std::filesystem::exists(NativePath(Path(u"Vol\\New.TXT"))));
  EXPECT_FALSE(std::filesystem::exists(NativePath(Path(u"vol"))));

  // Non-ASCII letters fold as well.
  WriteFile(u"Vol\\\u00dcber.txt", "u");
  EXPECT_TRUE(FileExists(Path(u"Vol\\\u00fcBER.TXT")));

  EXPECT_TRUE(DeleteFile(Path(u"VOL\\DATA.Z01")));
  EXPECT_FALSE(std::filesystem::exists(NativePath(Path(u"Vol\\data.z01"))));
  EXPECT_FALSE(FileExists(Path(u"Vol\\data.Z01")));
  // ForceDirectories reuses the folder of another case instead of making a second one.
  ASSERT_TRUE(ForceDirectories(Path(u"VOL\\Sub")));
  EXPECT_TRUE(std::filesystem::is_directory(NativePath(Path(u"Vol\\Sub"))));
}

// The lookup keeps a folder listing; changes by us and by others must still be seen.
TEST_F(FileSystemTest, CaseLookupSeesLaterChanges) {
  for (int i = 0; i < 50; ++i) {
    const std::u16string name = u"f" + Utf8ToUtf16(std::to_string(i)) + u".dat";
    EXPECT_FALSE(FileExists(Path(u"F" + name.substr(1)))) << i;
    WriteFile(name, "x");
    EXPECT_TRUE(FileExists(Path(u"F" + name.substr(1)))) << i;
  }
  std::filesystem::rename(NativePath(Path(u"f7.dat")), NativePath(Path(u"g7.dat")));
  EXPECT_FALSE(FileExists(Path(u"F7.DAT")));
  EXPECT_TRUE(FileExists(Path(u"G7.DAT")));
  std::ofstream(NativePath(Path(u"outside.bin"))) << "o";
  EXPECT_TRUE(FileExists(Path(u"OUTSIDE.BIN")));
}

// Below the chosen folder, folders are entered from the one above without following a link,
// also when one is swapped for a link after it was made (as someone sharing the destination
// could): neither a file nor a folder then lands where the link points. The chosen folder
// itself may be a link.
TEST_F(FileSystemTest, FolderSwappedForALinkBelowTheDestinationIsNotEntered) {
  namespace fs = std::filesystem;
  FolderListingScope run;
  const std::u16string dest = Path(u"dest");
  ASSERT_TRUE(ForceDirectories(dest + u"\\a\\b", dest.size()));
  ASSERT_TRUE(fs::create_directories(NativePath(Path(u"elsewhere\\b"))));
  fs::rename(NativePath(dest + u"\\a"), NativePath(dest + u"\\a.old"));
  fs::create_directory_symlink(NativePath(Path(u"elsewhere")), NativePath(dest + u"\\a"));

  File file;
  EXPECT_FALSE(file.Create(dest + u"\\a\\b\\x"));
  EXPECT_FALSE(file.CreateNew(dest + u"\\a\\b\\y"));
  EXPECT_FALSE(ForceDirectories(dest + u"\\a\\b\\c", dest.size()));
  EXPECT_EQ(LastSystemError(), ELOOP);
  // Nor does the link stand in for a name of another case: that folder is made inside.
  ASSERT_TRUE(ForceDirectories(dest + u"\\A\\b\\c", dest.size()));
  EXPECT_FALSE(fs::is_symlink(NativePath(dest + u"\\A")));
  EXPECT_TRUE(fs::is_directory(NativePath(dest + u"\\A\\b\\c")));
  EXPECT_TRUE(fs::is_empty(NativePath(Path(u"elsewhere\\b"))));
  // The same names without a link on the way are fine, as is going back with "..".
  ASSERT_TRUE(ForceDirectories(dest + u"\\a.old\\b\\c", dest.size()));
  EXPECT_TRUE(file.Create(dest + u"\\a.old\\b\\x"));
  ASSERT_TRUE(ForceDirectories(dest + u"\\p\\..\\q\\r", dest.size()));
  EXPECT_TRUE(fs::is_directory(NativePath(dest + u"\\p")));
  EXPECT_TRUE(file.Create(dest + u"\\p\\..\\q\\r\\z"));
  EXPECT_TRUE(fs::exists(NativePath(dest + u"\\q\\r\\z")));
  EXPECT_FALSE(ForceDirectories(dest + u"\\..\\up", dest.size()));

  // The chosen folder typed in another letter case is the folder on disk.
  ASSERT_TRUE(ForceDirectories(Path(u"DEST\\k\\l"), Path(u"DEST").size()));
  EXPECT_TRUE(fs::is_directory(NativePath(dest + u"\\k\\l")));
  EXPECT_FALSE(fs::exists(NativePath(Path(u"DEST"))));

  fs::create_directory_symlink(NativePath(dest), NativePath(Path(u"chosen")));
  const std::u16string chosen = Path(u"chosen");
  ASSERT_TRUE(ForceDirectories(chosen + u"\\n\\m", chosen.size()));
  EXPECT_TRUE(file.Create(chosen + u"\\n\\m\\y"));
  EXPECT_TRUE(fs::exists(NativePath(dest + u"\\n\\m\\y")));
}
#endif

}  // namespace
}  // namespace qp::platform::testing
