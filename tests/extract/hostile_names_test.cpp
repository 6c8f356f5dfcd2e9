// Stored names that are dangerous on Windows although they stay inside the destination:
// device names, hidden NUL and control characters, trailing dots and blanks. They are refused
// with native error 19 on every platform, so an archive behaves alike everywhere; and an
// existing file found through a name that differs only in case is replaced, not doubled.
#include <gtest/gtest.h>

#include "archive/extract/safe_path.h"
#include "tests/extract/extract_fixture.h"

namespace extract_test {
namespace {

TEST(SafePath, PlainFileNames) {
  for (std::u16string ok : std::initializer_list<std::u16string>{u"a.txt", u"sub\\b.txt", u"console.txt", u"COM10", u"LPT", u"comx.log", u"nul_x",
                            u"a\\..\\b", u".\\x", u"..\\x", u"folder\\", u"x.y.z", u".hidden"})
    EXPECT_TRUE(IsPlainFileName(ok)) << qp::platform::Utf16ToUtf8(ok);
  for (std::u16string bad : std::initializer_list<std::u16string>
       {u"CON", u"con", u"Prn.txt", u"AUX", u"NUL", u"nul.tar.gz", u"COM1", u"com2.log", u"COM0", u"LPT9",
        u"sub\\lpt2.txt", u"CON\\x.txt", u"Com1 .log", u"AUX.", u"conin$", u"CONOUT$.x", u"COM\u00B9",
        u"a.txt.", u"a.txt ", u"cfg.\\settings.ini", u"dir \\x", u"...", u"a\u001bb", u"tab\there",
        std::u16string(u"evil.exe\0.txt", 13)})
    EXPECT_FALSE(IsPlainFileName(bad)) << qp::platform::Utf16ToUtf8(bad);
}

TEST(SafePath, EveryEscapeFormStaysRefused) {
  for (const char16_t* bad : {u"..\\x", u"\\x", u"C:\\x", u"C:x", u"\\\\srv\\share\\x", u"\\\\?\\C:\\x",
                              u"\\\\.\\COM1", u"a.txt:stream", u"sub\\..\\..\\x"})
    EXPECT_FALSE(StaysInsideDestination(bad)) << qp::platform::Utf16ToUtf8(bad);
}

TEST_F(ExtractTest, DangerousNamesFailWith19AndWriteNothing) {
  Open(ZipBuilder()
           .Add(Entry("COM1", "to the port"))
           .Add(Entry("sub/lpt2.txt", "to the printer"))
           .Add(Entry(std::string("evil.exe\0.txt", 13), "MZ"))
           .Add(Entry("cfg./settings.ini", "alias"))
           .Add(Entry("a.txt.", "alias"))
           .Add(Entry("title\x1b]0;pwned\x07.txt", "escape"))
           .Add(Entry("fine.txt", "fine")));
  arc_.Options().OverwriteMode = omAlways;
  std::vector<std::u16string> failed;
  arc_.OnProcessFileFailure = [&](TComponent*, const std::u16string& n, TQPProcessOperation, int32_t native,
                                  int32_t, const std::u16string& message, TQPAction& action) {
    EXPECT_EQ(native, 19);
    EXPECT_NE(message.find(n), std::u16string::npos) << "the message names the item";
    failed.push_back(n);
    action = fxaIgnore;
  };
  ExtractAll();
  EXPECT_EQ(failed.size(), 6u);
  EXPECT_EQ(Everything(), (std::vector<std::string>{"out", "out/fine.txt", "test.zip"}));
}

TEST_F(ExtractTest, NulInANameIsJudgedWholeByMasksAndChecks) {
  // "*.txt" selects the whole name; the item is then refused instead of being written as
  // "evil.exe", and the exclusion "*.exe" never sees a name it would have caught.
  Open(ZipBuilder().Add(Entry(std::string("evil.exe\0.txt", 13), "MZ")).Add(Entry("a.txt", "a")));
  int failures = 0;
  arc_.OnProcessFileFailure = [&](TComponent*, const std::u16string&, TQPProcessOperation, int32_t, int32_t,
                                  const std::u16string&, TQPAction& action) {
    ++failures;
    action = fxaIgnore;
  };
  arc_.ExtractFiles(u"*.txt", 10431, u"*.exe");
  EXPECT_EQ(failures, 1);
  EXPECT_EQ(Everything(), (std::vector<std::string>{"out", "out/a.txt", "test.zip"}));
}

TEST_F(ExtractTest, ReplacingThroughAnotherCaseKeepsOneFile) {
  Open(ZipBuilder().Add(Entry("A.txt", "first")).Add(Entry("a.txt", "second")));
  arc_.Options().OverwriteMode = omAlways;
  ExtractAll();
  const std::vector<std::string> all = Everything();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[1], "out/A.txt");
  EXPECT_EQ(Read("A.txt"), "second");
}

}  // namespace
}  // namespace extract_test
