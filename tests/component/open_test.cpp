// Opening and closing: the mode OpenArchive chooses, the native errors of OpenArchive(Mode),
// AfterOpen, and what a failed open leaves for CloseArchive.
#include <filesystem>

#include <gtest/gtest.h>

#include "archive/component/archiver.h"
#include "tests/component/component_helpers.h"

TEST(ComponentOpen, NativeErrorsOfOpenArchive) {
  ScratchDir dir;
  const std::string existing = dir.Write("a.zip", ZipWithNames({"a.txt"}));
  TQuillpack a(nullptr);
  a.Name = u"Archiver";

  EXPECT_EQ(NativeErrorOf([&] { a.OpenArchive(); }), 9);
  EXPECT_EQ(NativeErrorOf([&] { a.OpenArchive(kOpenModeReadOnlyDenyNone); }), 10);
  a.FileName = U16(dir.path() + "/folder/");
  EXPECT_EQ(NativeErrorOf([&] { a.OpenArchive(); }), 9);  // a folder has no file-name part

  const std::u16string missing = U16(dir.path() + "/missing.zip");
  a.FileName = missing;
  try {
    a.OpenArchive(kOpenModeReadOnlyDenyNone);
    FAIL() << "no exception";
  } catch (const EQPException& e) {
    EXPECT_EQ(e.NativeError, 12);
    EXPECT_EQ(e.Message(), u"Archiver: File \"" + missing + u"\" not found - Native error: 00012");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/missing.zip"));

  a.FileName = U16(existing);
  a.SetInMemory(true);
  EXPECT_EQ(NativeErrorOf([&] { a.OpenArchive(kOpenModeReadOnlyDenyNone); }), 28);
  EXPECT_FALSE(a.IsOpen());

  // Without a name the messages carry no prefix.
  TQuillpack unnamed(nullptr);
  try {
    unnamed.OpenArchive(kOpenModeReadOnlyDenyNone);
  } catch (const EQPException& e) {
    EXPECT_EQ(e.Message(), u"File name is blank. Specify appropriate file name - Native error: 00010");
  }
}

TEST(ComponentOpen, OpenArchiveChoosesTheMode) {
  ScratchDir dir;
  const std::string writable = dir.Write("w.zip", ZipWithNames({"a.txt", "b.txt"}));
  const std::string readOnly = dir.Write("r.zip", ZipWithNames({"c.txt"}));
  std::filesystem::permissions(readOnly, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                             std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  TQuillpack a(nullptr);
  int afterOpen = 0;
  a.AfterOpen = [&](TComponent* sender) {
    EXPECT_EQ(sender, &a);
    EXPECT_TRUE(a.IsOpen());
    ++afterOpen;
  };

  a.FileName = U16(writable);
  a.OpenArchive();
  EXPECT_EQ(a.OpenMode(), kOpenModeReadWriteExclusive);
  EXPECT_EQ(a.ItemCount(), 2);
  EXPECT_EQ(a.CurrentVolumeFileName(), a.FileName);

  a.FileName = U16(readOnly);
  a.OpenArchive();  // closes the first archive, opens the second
  EXPECT_EQ(a.OpenMode(), kOpenModeReadOnlyDenyNone);
  EXPECT_EQ(a.ItemCount(), 1);

  // A missing file is created; closed untouched, it is an empty archive that opens again.
  const std::string created = dir.path() + "/new.zip";
  a.FileName = U16(created);
  a.OpenArchive();
  EXPECT_EQ(a.OpenMode(), kOpenModeCreate);
  EXPECT_EQ(a.ItemCount(), 0);
  a.CloseArchive();
  EXPECT_FALSE(a.IsOpen());
  EXPECT_EQ(ReadFileBytes(created), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  a.OpenArchive(kOpenModeReadOnlyDenyNone);
  EXPECT_EQ(a.ItemCount(), 0);
  EXPECT_EQ(afterOpen, 4);
  std::filesystem::permissions(readOnly, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
}

TEST(ComponentOpen, FailedOpenLeavesTheComponentClosed) {
  ScratchDir dir;
  TQuillpack a(nullptr);
  bool opened = false;
  a.AfterOpen = [&](TComponent*) { opened = true; };
  a.FileName = U16(dir.Write("junk.zip", "this is no archive at all"));
  EXPECT_EQ(NativeErrorOf([&] { a.OpenArchive(kOpenModeReadOnlyDenyNone); }), 35);
  EXPECT_FALSE(a.IsOpen());
  EXPECT_FALSE(opened);
  a.CloseArchive();  // releases the stream and manager the attempt left
  EXPECT_EQ(a.ArchiveStream(), nullptr);
  EXPECT_EQ(a.DirManager(), nullptr);
  EXPECT_EQ(ReadFileBytes(dir.path() + "/junk.zip"), "this is no archive at all");  // never written

  a.FileName = U16(dir.Write("good.zip", ZipWithNames({"x"})));
  a.OpenArchive(kOpenModeReadOnlyDenyNone);
  EXPECT_TRUE(opened);
  EXPECT_EQ(a.ItemCount(), 1);
  a.CloseArchive();
  a.CloseArchive();  // closing twice is harmless
}
