// Names that would leave the destination, and replacing an existing file only once the new
// one is complete.
#include <gtest/gtest.h>

#include "archive/base/exception.h"
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

TEST_F(ExtractTest, AesFieldOfAnUnknownStrengthIsAnUnsupportedMethodNotAMissingPassword) {
  ZipEntry secret = Entry("secret.txt", "the secret");
  secret.password = "right";
  secret.aesStrength = 3;
  const std::string whole = ZipBuilder().Add(secret).Add(Entry("plain.txt", "plain")).Build();
  // The strength byte of the central header's AES field (after the local one).
  const size_t strength = whole.rfind("AE") + 2;
  ASSERT_GT(strength, whole.find("PK\x01\x02", 0, 4));
  for (uint8_t value : {0, 4, 255}) {
    SCOPED_TRACE(int(value));
    std::string bytes = whole;
    bytes[strength] = static_cast<char>(value);
    arc_.CloseArchive();
    Open(bytes);
    arc_.SetPassword("right");
    int passwordAsked = 0;
    arc_.OnPassword = [&](TComponent*, const std::u16string&, std::string&, bool& skip) {
      ++passwordAsked;
      skip = true;
    };
    std::vector<int32_t> natives;
    arc_.OnProcessFileFailure = [&](TComponent*, const std::u16string&, TQPProcessOperation, int32_t native,
                                    int32_t, const std::u16string& message, TQPAction& action) {
      natives.push_back(native);
      EXPECT_NE(message.find(u"unsupported compression format"), std::u16string::npos);
      action = fxaIgnore;
    };
    ExtractAll();
    EXPECT_EQ(natives, std::vector<int32_t>{8});
    EXPECT_EQ(passwordAsked, 0);
    EXPECT_FALSE(Exists("secret.txt"));
    EXPECT_EQ(Read("plain.txt"), "plain");
  }
}

}  // namespace
}  // namespace extract_test
