// TestFiles: every selected item decoded without writing anything, failures reported through
// OnProcessFileFailure with poTest, and damaged items failing even where an extraction
// would keep their data.
#include <gtest/gtest.h>

#include "archive/base/exception.h"
#include "tests/extract/extract_fixture.h"

namespace extract_test {
namespace {

class TestFilesTest : public ExtractTest {
 protected:
  // Records the items started and the failures as "name operation native-error".
  void Record() {
    arc_.OnFileProgress = [this](TComponent*, const std::u16string& n, double, TQPProcessOperation op,
                                 TQPProgressPhase ph, bool&) {
      if (ph == ppStart) started.push_back(qp::platform::Utf16ToUtf8(n) + (op == poTest ? " test" : " other"));
    };
    arc_.OnProcessFileFailure = [this](TComponent*, const std::u16string& n, TQPProcessOperation op, int32_t native,
                                       int32_t, const std::u16string&, TQPAction& action) {
      failures.push_back(qp::platform::Utf16ToUtf8(n) + (op == poTest ? " test " : " other ") + std::to_string(native));
      action = fxaIgnore;
    };
  }
  void TestAll(const std::u16string& mask = u"*.*") { arc_.TestFiles(mask, 10431, u""); }

  std::vector<std::string> started;
  std::vector<std::string> failures;
};

TEST_F(TestFilesTest, GoodItemsPassAndNothingIsWritten) {
  ZipEntry folder = Entry("docs/", "");
  folder.externalAttributes = 0x10;
  Open(ZipBuilder()
           .Add(Entry("a.txt", TextLike(3000)))
           .Add(folder)
           .Add(Entry("docs/big.txt", TextLike(3 << 20, 5), true))
           .Add(Entry("empty.txt", "")));
  Record();
  TestAll();
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(started, (std::vector<std::string>{"a.txt test", "docs\\ test", "docs\\big.txt test", "empty.txt test"}));
  EXPECT_FALSE(std::filesystem::exists(Native(dest_)));
}

TEST_F(TestFilesTest, DamagedItemsFailOneByOneEvenWhenExtractionWouldKeepThem) {
  ZipEntry badCrc = Entry("crc.txt", TextLike(5000), true);
  badCrc.crc = TestCrc32(badCrc.data) ^ 1;
  ZipEntry shortData = Entry("short.txt", TextLike(5000), true);
  shortData.storedCompressedSize = static_cast<uint32_t>(RawDeflate(shortData.data).size() / 2);
  ZipEntry longer = Entry("longer.txt", "0123456789");
  longer.storedUncompressedSize = 11;
  Open(ZipBuilder()
           .Add(Entry("good1.txt", "fine"))
           .Add(badCrc)
           .Add(shortData)
           .Add(longer)
           .Add(Entry("good2.txt", TextLike(700), true)));
  arc_.ExtractCorruptedFiles = true;
  Record();
  TestAll();
  EXPECT_EQ(failures, (std::vector<std::string>{"crc.txt test 8", "short.txt test 8", "longer.txt test 8"}));
  EXPECT_EQ(started.size(), 5u);
}

TEST_F(TestFilesTest, DataCutShortByTheDirectoryFails) {
  // The directory claims more data than lies before it: the stored data ends early.
  ZipEntry last = Entry("last.txt", TextLike(200000, 3));
  last.storedCompressedSize = 205000;
  last.storedUncompressedSize = 205000;
  Open(ZipBuilder().Add(Entry("first.txt", TextLike(4000, 2), true)).Add(last));
  Record();
  TestAll();
  EXPECT_EQ(started, (std::vector<std::string>{"first.txt test", "last.txt test"}));
  EXPECT_EQ(failures, (std::vector<std::string>{"last.txt test 8"}));
}

TEST_F(TestFilesTest, OnlySelectedItemsAreTested) {
  ZipEntry bad = Entry("b/bad.txt", "data");
  bad.crc = 0;
  Open(ZipBuilder().Add(Entry("a/one.txt", "1")).Add(bad).Add(Entry("a/two.txt", "2")));
  Record();
  TestAll(u"a/*");
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(started, (std::vector<std::string>{"a\\one.txt test", "a\\two.txt test"}));
  started.clear();
  TestAll(u"b/bad.txt");
  EXPECT_EQ(failures, (std::vector<std::string>{"b\\bad.txt test 8"}));
}

TEST_F(TestFilesTest, ClosedArchiveIsRefused) {
  try {
    TestAll();
    FAIL() << "no exception";
  } catch (const EQPException& e) {
    EXPECT_EQ(e.NativeError, neArchiveNotOpen);
  }
}

}  // namespace
}  // namespace extract_test
