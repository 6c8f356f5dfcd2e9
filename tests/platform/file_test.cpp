// File: round trips, open and share modes, read-only files, seeking and the end of the file,
// and last-write times set from DOS values.
#include <gtest/gtest.h>

#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include "platform/platform.h"
#include "tests/platform/scratch.h"

namespace qp::platform::testing {
namespace {

uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  return (static_cast<uint32_t>(year - 1980) << 25) | (static_cast<uint32_t>(month) << 21) |
         (static_cast<uint32_t>(day) << 16) | (static_cast<uint32_t>(hour) << 11) |
         (static_cast<uint32_t>(minute) << 5) | static_cast<uint32_t>(second / 2);
}

using FileTest = ScratchTest;

TEST_F(FileTest, RoundTripsLargeContentAndTruncatesOnCreate) {
  std::vector<char> data(300000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
  {
    File file;
    ASSERT_TRUE(file.Create(Path(u"big.bin")));
    EXPECT_TRUE(file.IsOpen());
    ASSERT_EQ(file.Write(data.data(), data.size()), static_cast<int64_t>(data.size()));
    EXPECT_TRUE(file.Flush());
    EXPECT_EQ(file.Size(), static_cast<int64_t>(data.size()));
    ASSERT_EQ(file.Seek(0, SeekOrigin::Begin), 0);
    std::vector<char> back(data.size());
    ASSERT_EQ(file.Read(back.data(), back.size()), static_cast<int64_t>(back.size()));
    EXPECT_EQ(back, data);
  }
  File moved;
  {
    File file;
    ASSERT_TRUE(file.Create(Path(u"big.bin")));  // truncates
    moved = std::move(file);
    EXPECT_FALSE(file.IsOpen());
  }
  ASSERT_TRUE(moved.IsOpen());
  EXPECT_EQ(moved.Size(), 0);
  moved.Close();
  EXPECT_FALSE(moved.IsOpen());
  EXPECT_EQ(moved.Read(data.data(), 1), -1);
}

TEST_F(FileTest, SeeksAndReadsShortAtTheEnd) {
  WriteFile(u"ten.txt", "0123456789");
  File file;
  ASSERT_TRUE(file.Open(Path(u"ten.txt"), fmOpenRead | fmShareDenyWrite));
  EXPECT_EQ(file.Seek(-4, SeekOrigin::End), 6);
  char buffer[100];
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 4);
  EXPECT_EQ(std::string(buffer, 4), "6789");
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0);
  EXPECT_EQ(file.Seek(-8, SeekOrigin::Current), 2);
  EXPECT_EQ(file.Read(buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "234");
  EXPECT_EQ(file.Seek(-1, SeekOrigin::Begin), -1);
  EXPECT_NE(file.LastError(), 0);
  // Beyond the end is a valid position; reading there gives nothing.
  EXPECT_EQ(file.Seek(1000, SeekOrigin::Begin), 1000);
  EXPECT_EQ(file.Read(buffer, 1), 0);
}

TEST_F(FileTest, OpenHonoursAccessAndRejectsBadModes) {
  WriteFile(u"a.txt", "abc");
  File file;
  EXPECT_FALSE(file.Open(Path(u"missing.txt"), fmOpenRead));
  EXPECT_NE(file.LastError(), 0);
  EXPECT_FALSE(file.Open(Path(u"a.txt"), 0x03));
  EXPECT_FALSE(file.Open(Path(u"a.txt"), 0x50));
  EXPECT_FALSE(file.Open(root_, fmOpenRead));  // a folder is not a file

  ASSERT_TRUE(file.Open(Path(u"a.txt"), fmOpenRead | fmShareDenyNone));
  EXPECT_EQ(file.Write("x", 1), -1);  // no write access
  EXPECT_NE(file.LastError(), 0);

  ASSERT_TRUE(file.Open(Path(u"a.txt"), fmOpenReadWrite | fmShareDenyWrite));
  EXPECT_EQ(file.Seek(0, SeekOrigin::End), 3);
  EXPECT_EQ(file.Write("de", 2), 2);
  file.Close();
  ASSERT_TRUE(file.Open(Path(u"a.txt"), fmOpenWrite | fmShareExclusive));
  EXPECT_EQ(file.Write("X", 1), 1);  // overwrites in place, no truncation
  file.Close();
  EXPECT_EQ(ReadFile(u"a.txt", fmOpenRead | fmShareDenyRead), "Xbcde");
}

TEST_F(FileTest, ReadOnlyFileRefusesWritingCreatingAndDeleting) {
  WriteFile(u"ro.txt", "keep");
  ASSERT_TRUE(SetFileAttributes(Path(u"ro.txt"), faReadOnly));
  EXPECT_EQ(GetFileAttributes(Path(u"ro.txt")) & faReadOnly, faReadOnly);
  File file;
  EXPECT_FALSE(file.Open(Path(u"ro.txt"), fmOpenReadWrite | fmShareDenyWrite));
  EXPECT_FALSE(file.Open(Path(u"ro.txt"), fmOpenWrite | fmShareDenyNone));
  EXPECT_FALSE(file.Create(Path(u"ro.txt")));
  EXPECT_FALSE(DeleteFile(Path(u"ro.txt")));
  EXPECT_EQ(ReadFile(u"ro.txt", fmOpenRead | fmShareDenyNone), "keep");

  ASSERT_TRUE(SetFileAttributes(Path(u"ro.txt"), faArchive));
  EXPECT_EQ(GetFileAttributes(Path(u"ro.txt")) & faReadOnly, 0u);
  EXPECT_TRUE(file.Open(Path(u"ro.txt"), fmOpenReadWrite | fmShareDenyWrite));
  file.Close();
  EXPECT_TRUE(DeleteFile(Path(u"ro.txt")));
  EXPECT_FALSE(FileExists(Path(u"ro.txt")));
}

TEST_F(FileTest, DosDateTimeRoundTripsAndRejectsImpossibleValues) {
  WriteFile(u"t.txt", "t");
  File file;
  ASSERT_TRUE(file.Open(Path(u"t.txt"), fmOpenReadWrite | fmShareExclusive));
  // A summer and a winter date, so that a daylight-saving slip would show.
  for (uint32_t value : {Dos(2021, 6, 15, 13, 45, 30), Dos(1999, 12, 31, 23, 59, 58),
                         Dos(1980, 1, 1, 0, 0, 0), Dos(2024, 2, 29, 6, 7, 8)}) {
    ASSERT_TRUE(file.SetDosDateTime(value)) << std::hex << value;
    EXPECT_EQ(FileDosDateTime(Path(u"t.txt")), static_cast<int64_t>(value)) << std::hex << value;
  }
  EXPECT_FALSE(file.SetDosDateTime(Dos(2021, 13, 1, 0, 0, 0)));
  EXPECT_FALSE(file.SetDosDateTime(Dos(2021, 2, 29, 0, 0, 0)));
  EXPECT_FALSE(file.SetDosDateTime(Dos(2021, 1, 1, 24, 0, 0)));
  EXPECT_EQ(FileDosDateTime(Path(u"t.txt")), static_cast<int64_t>(Dos(2024, 2, 29, 6, 7, 8)));
  EXPECT_EQ(FileDosDateTime(Path(u"none.txt")), -1);
}

TEST_F(FileTest, CreateNewOnlyTakesAFreeName) {
  File file;
  ASSERT_TRUE(file.CreateNew(Path(u"new.txt")));
  EXPECT_EQ(file.Write("fresh", 5), 5);
  file.Close();
  // A taken name, also in other letter case, is refused and keeps its content.
  EXPECT_FALSE(file.CreateNew(Path(u"new.txt")));
  EXPECT_FALSE(file.CreateNew(Path(u"NEW.TXT")));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(ReadFile(u"new.txt", fmOpenRead | fmShareDenyNone), "fresh");
  ASSERT_TRUE(ForceDirectories(Path(u"folder")));
  EXPECT_FALSE(file.CreateNew(Path(u"folder")));
  EXPECT_TRUE(DirectoryExists(Path(u"folder")));
}

TEST_F(FileTest, TimeAndAttributesInOneStep) {
  File file;
  ASSERT_TRUE(file.Create(Path(u"both.txt")));
  EXPECT_EQ(file.Write("x", 1), 1);
  EXPECT_FALSE(file.SetDosDateTimeAndAttributes(Dos(2021, 2, 29, 0, 0, 0), faArchive));
  ASSERT_TRUE(file.SetDosDateTimeAndAttributes(Dos(2019, 7, 4, 10, 20, 30), faReadOnly | faArchive));
  file.Close();
  EXPECT_EQ(FileDosDateTime(Path(u"both.txt")), static_cast<int64_t>(Dos(2019, 7, 4, 10, 20, 30)));
  EXPECT_EQ(GetFileAttributes(Path(u"both.txt")) & faReadOnly, faReadOnly);
  ASSERT_TRUE(SetFileAttributes(Path(u"both.txt"), 0));
}

#ifndef _WIN32
// DOS times are local times: the instant stored must be the zone's, summer time included,
// and a change of TZ during the process must be followed.
TEST_F(FileTest, DosTimesFollowTheTimeZone) {
  WriteFile(u"z.txt", "z");
  File file;
  ASSERT_TRUE(file.Open(Path(u"z.txt"), fmOpenReadWrite | fmShareExclusive));
  const char* saved = std::getenv("TZ");
  const std::string previous = saved ? saved : "";
  struct Case {
    const char* zone;
    uint32_t dos;
    time_t utc;
  };
  // 2021-07-01 12:00 and 2021-01-01 12:00 local time.
  const Case cases[] = {{"UTC0", Dos(2021, 7, 1, 12, 0, 0), 1625140800},
                        {"EST5EDT,M3.2.0,M11.1.0", Dos(2021, 7, 1, 12, 0, 0), 1625140800 + 4 * 3600},
                        {"EST5EDT,M3.2.0,M11.1.0", Dos(2021, 1, 1, 12, 0, 0), 1609502400 + 5 * 3600},
                        {"CET-1CEST,M3.5.0,M10.5.0/3", Dos(2021, 7, 1, 12, 0, 0), 1625140800 - 2 * 3600}};
  for (const Case& c : cases) {
    setenv("TZ", c.zone, 1);
    tzset();
    ASSERT_TRUE(file.SetDosDateTime(c.dos)) << c.zone;
    struct stat st {};
    ASSERT_EQ(stat(NativePath(Path(u"z.txt")).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, c.utc) << c.zone;
    EXPECT_EQ(FileDosDateTime(Path(u"z.txt")), static_cast<int64_t>(c.dos)) << c.zone;
  }
  if (saved) setenv("TZ", previous.c_str(), 1); else unsetenv("TZ");
  tzset();
}

// DOS times start in 1980; an older file still gets the earliest one, not a failure.
TEST_F(FileTest, TimesBefore1980ClampToTheFirstDosDay) {
  WriteFile(u"old.txt", "o");
  const timespec times[2] = {{0, UTIME_OMIT}, {86400 * 365, 0}};  // early 1971
  ASSERT_EQ(utimensat(AT_FDCWD, NativePath(Path(u"old.txt")).c_str(), times, 0), 0);
  EXPECT_EQ(FileDosDateTime(Path(u"old.txt")), static_cast<int64_t>(Dos(1980, 1, 1, 0, 0, 0)));
}
#endif

}  // namespace
}  // namespace qp::platform::testing

#ifdef _WIN32
namespace qp::platform::testing {
namespace {
// Whatever name reaches the layer, a device is never opened as if it were a file.
TEST_F(FileTest, DevicesAreNotFiles) {
  for (const char16_t* device : {u"NUL", u"CONOUT$"}) {
    File file;
    EXPECT_FALSE(file.Create(device));
    EXPECT_FALSE(file.Open(device, fmOpenRead | fmShareDenyNone));
  }
}
}  // namespace
}  // namespace qp::platform::testing
#endif
