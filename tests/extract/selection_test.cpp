// Which items ExtractFiles and FindFirst/FindNext select: masks, recursion, exclusion,
// attributes, plain names, long masks; and folders, attributes and times of what is written.
#include <gtest/gtest.h>

#include "archive/base/exception.h"
#include "tests/extract/extract_fixture.h"

namespace extract_test {
namespace {

class Selection : public ExtractTest {
 protected:
  void SetUp() override {
    ExtractTest::SetUp();
    ZipBuilder b;
    for (const char* n : {"readme.txt", "notes", "docs/", "docs/readme.txt", "docs/Guide.TXT", "src/main.c"})
      b.Add(Entry(n, std::string("data of ") + n));
    ZipEntry hidden = Entry("hidden.txt", "h");
    hidden.externalAttributes = 0x22;
    b.Add(hidden);
    Open(b);
  }
  // The stored paths FindFirst/FindNext report, '\' separated.
  std::vector<std::string> Found(const std::u16string& mask, int32_t attr = 10431, const std::u16string& excl = u"") {
    std::vector<std::string> out;
    TQPArchiveItem item;
    for (bool f = arc_.FindFirst(mask, item, attr, excl); f; f = arc_.FindNext(item))
      out.push_back(qp::platform::Utf16ToUtf8(item.StoredPath + item.FileName));
    return out;
  }
};

using V = std::vector<std::string>;

TEST_F(Selection, MasksRecursionAndExclusion) {
  const V all{"readme.txt", "notes", "docs", "docs\\readme.txt", "docs\\Guide.TXT", "src\\main.c", "hidden.txt"};
  EXPECT_EQ(Found(u"*.*"), all);
  EXPECT_EQ(Found(u"readme.txt"), (V{"readme.txt", "docs\\readme.txt"}));  // name part matches in every folder
  EXPECT_EQ(Found(u"*.txt"), (V{"readme.txt", "docs\\readme.txt", "docs\\Guide.TXT", "hidden.txt"}));
  EXPECT_EQ(Found(u"*."), (V{"notes", "docs"}));
  EXPECT_EQ(Found(u"*.*", 10431, u"docs\\*"), Found(u"*.*"));  // stored names use '/'
  EXPECT_EQ(Found(u"*.*", 10431, u"docs/*"), (V{"readme.txt", "notes", "docs", "src\\main.c", "hidden.txt"}));
  EXPECT_EQ(Found(u"*.*", 10431 & ~0x02), (V(all.begin(), all.end() - 1)));  // hidden only when asked for
  EXPECT_EQ(Found(u"C:\\docs\\guide.txt"), (V{"docs\\Guide.TXT"}));  // drive removed, case folded

  arc_.Options().Recurse = false;
  EXPECT_EQ(Found(u"*.txt"), (V{"readme.txt", "hidden.txt"}));
  EXPECT_EQ(Found(u"DOCS\\*.txt"), (V{"docs\\readme.txt", "docs\\Guide.TXT"}));
  EXPECT_EQ(Found(u"src/MAIN.C"), (V{"src\\main.c"}));  // looked up by name, alone
  EXPECT_EQ(Found(u"absent.txt"), V{});
}

TEST_F(Selection, OverlongMaskIsRefusedNotCut) {
  TQPArchiveItem item;
  EXPECT_NO_THROW(arc_.FindFirst(u"C:" + std::u16string(259, u'*'), item, 10431, u""));
  try {
    arc_.FindFirst(std::u16string(260, u'*'), item, 10431, u"");
    FAIL() << "no exception";
  } catch (const EQPException& e) {
    EXPECT_EQ(e.NativeError, 61);
  }
}

TEST_F(Selection, ExtractWritesSelectionWithFoldersAttributesAndTimes) {
  arc_.ExtractFiles(u"*.txt", 10431, u"");
  EXPECT_EQ(Read("readme.txt"), "data of readme.txt");
  EXPECT_EQ(Read("docs/Guide.TXT"), "data of docs/Guide.TXT");
  EXPECT_FALSE(Exists("src/main.c"));
  EXPECT_TRUE(Exists("hidden.txt"));
  // 2025-01-01 12:00:00 local time, as stored.
  EXPECT_EQ(qp::platform::FileDosDateTime(dest_ + u"readme.txt"), (int64_t{0x5A21} << 16) | 0x6000);

  ExtractAll();
  EXPECT_TRUE(std::filesystem::is_directory(At("docs")));
  EXPECT_TRUE(Exists("notes"));

  // Without folders every item lands in the base folder.
  arc_.Options().CreateDirs = false;
  arc_.ExtractFiles(u"src\\main.c", 10431, u"");
  EXPECT_EQ(Read("main.c"), "data of src/main.c");
}

TEST_F(ExtractTest, ReadOnlyItemEndsReadOnly) {
  ZipEntry e = Entry("ro.txt", "locked");
  e.externalAttributes = 0x21;
  Open(ZipBuilder().Add(e));
  ExtractAll();
  EXPECT_EQ(Read("ro.txt"), "locked");
  EXPECT_NE(qp::platform::GetFileAttributes(dest_ + u"ro.txt") & qp::platform::faReadOnly, 0u);
}

TEST_F(ExtractTest, NotOpenRaisesBeforeAnyEvent) {
  int events = 0;
  arc_.OnOverallProgress = [&](TComponent*, double, TQPProcessOperation, TQPProgressPhase, bool&) { ++events; };
  try {
    ExtractAll();
    FAIL() << "no exception";
  } catch (const EQPException& e) {
    EXPECT_EQ(e.NativeError, 13);
  }
  EXPECT_EQ(events, 0);
}

}  // namespace
}  // namespace extract_test
