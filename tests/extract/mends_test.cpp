// Names that would leave the destination, and replacing an existing file only once the new
// one is complete.
#include <gtest/gtest.h>

#include "archive/component/exception.h"
#include "archive/extract/safe_path.h"
#include "tests/extract/extract_fixture.h"

namespace extract_test {
namespace {

TEST(SafePath, Containment) {
  for (const char16_t* ok : {u"a.txt", u"a\\b\\c.txt", u"a\\..\\b.txt", u".\\x", u"a\\.\\..\\y", u"..x", u"a..b"})
    EXPECT_TRUE(StaysInsideDestination(ok)) << std::string(ok, ok + std::char_traits<char16_t>::length(ok));
  for (const char16_t* bad : {u"..\\x", u"a\\..\\..\\x", u"\\etc\\passwd", u"C:\\x", u"c:x", u"\\\\srv\\share\\x",
                              u"a\\\\b", u"..", u"a\\...\\..\\..\\x", u"... \\x", u"a\\b:c"})
    EXPECT_FALSE(StaysInsideDestination(bad)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
}

TEST_F(ExtractTest, EscapingNamesFailWith19AndWriteNothingOutside) {
  Open(ZipBuilder()
           .Add(Entry("../escape.txt", "x"))
           .Add(Entry("a/../../escape2.txt", "x"))
           .Add(Entry("/abs.txt", "x"))
           .Add(Entry("inside/../ok.txt", "fine")));
  std::vector<std::string> failed;
  arc_.OnProcessFileFailure = [&](TComponent*, const std::u16string& n, TQPProcessOperation, int32_t native, int32_t,
                                  const std::u16string& message, TQPAction& action) {
    EXPECT_EQ(native, 19);
    EXPECT_NE(message.find(u"Cannot create file"), std::u16string::npos);
    failed.push_back(qp::platform::Utf16ToUtf8(n));
    action = fxaIgnore;
  };
  ExtractAll();
  EXPECT_EQ(failed, (std::vector<std::string>{"..\\escape.txt", "a\\..\\..\\escape2.txt", "\\abs.txt"}));
  EXPECT_EQ(Read("ok.txt"), "fine");
  // Only the archive and what lies below the destination.
  EXPECT_EQ(Everything(), (std::vector<std::string>{"out", "out/inside", "out/ok.txt", "test.zip"}));
}

TEST_F(ExtractTest, FailedOrCancelledReplacementKeepsExistingFile) {
  ZipEntry bad = Entry("keep.txt", std::string(5000, 'n'), true);
  bad.crc = 7;
  Open(ZipBuilder().Add(bad).Add(Entry("swap.txt", "replacement")));
  Put("keep.txt", "precious");
  Put("swap.txt", "old");
  arc_.OnProcessFileFailure = [](TComponent*, const std::u16string&, TQPProcessOperation, int32_t, int32_t,
                                 const std::u16string&, TQPAction& action) { action = fxaIgnore; };
  ExtractAll();
  EXPECT_EQ(Read("keep.txt"), "precious");
  EXPECT_EQ(Read("swap.txt"), "replacement");
  EXPECT_EQ(Everything(), (std::vector<std::string>{"out", "out/keep.txt", "out/swap.txt", "test.zip"}));

  // Cancelled while decoding: the old file stays, no temporary file is left.
  Put("swap.txt", "old");
  arc_.OnFileProgress = [](TComponent*, const std::u16string&, double, TQPProcessOperation, TQPProgressPhase ph,
                           bool& cancel) { cancel = ph == ppProcess; };
  ExtractAll();
  EXPECT_EQ(Read("swap.txt"), "old");
  EXPECT_EQ(Everything(), (std::vector<std::string>{"out", "out/keep.txt", "out/swap.txt", "test.zip"}));

  // With ExtractCorruptedFiles the damaged data replaces the file, as asked.
  arc_.OnFileProgress = nullptr;
  arc_.ExtractCorruptedFiles = true;
  ExtractAll();
  EXPECT_EQ(Read("keep.txt"), std::string(5000, 'n'));
}

}  // namespace
}  // namespace extract_test
