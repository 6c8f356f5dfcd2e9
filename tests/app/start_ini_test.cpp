// The follow-up launch: start.ini's first line in each encoding and line ending, and the
// lines that open nothing or cannot be read.
#include <gtest/gtest.h>

#include "app/display_path.h"
#include "app/text_lines.h"
#include "tests/app/app_fixture.h"

namespace app_test {
namespace {

using Lines = std::vector<std::u16string>;

TEST(TextLinesTest, EncodingsAndLineEnds) {
  EXPECT_EQ(SplitTextLines(""), Lines{});
  EXPECT_EQ(SplitTextLines("\xEF\xBB\xBF"), Lines{});
  EXPECT_EQ(SplitTextLines("\r\n"), Lines{u""});
  EXPECT_EQ(SplitTextLines("a\rb\nc\r\nd\n\re"), (Lines{u"a", u"b", u"c", u"d", u"", u"e"}));
  EXPECT_EQ(SplitTextLines("  x \t\r\n"), Lines{u"  x \t"});
  EXPECT_EQ(SplitTextLines("\xE4.exe"), Lines{u"\u00E4.exe"});
  EXPECT_EQ(SplitTextLines("\xEF\xBB\xBF\xC3\xA4.exe\n"), Lines{u"\u00E4.exe"});
  EXPECT_EQ(SplitTextLines(std::string("\xFF\xFE\xE4\x00\r\x00\n\x00z\x00", 10)), (Lines{u"\u00E4", u"z"}));
  EXPECT_EQ(SplitTextLines(std::string("\xFE\xFF\x00\xE4\x00\r\x00z\x00", 9)), (Lines{u"\u00E4", u"z"}));
}

struct IniCase {
  const char* label;
  std::string ini;
  std::string launched;  // relative to the destination; empty: nothing opened
};

class StartIniTest : public AppRunTest {
 protected:
  // Runs a self-extractor holding `ini` as start.ini beside a few files to open.
  void Run(const std::string& ini) {
    ZipEntry utf8Name = Entry("L\xC3\xA4ufer.exe", "MZ");
    utf8Name.flags = 0x800;
    WriteProgram(ZipBuilder()
                     .Add(Entry("start.ini", ini))
                     .Add(Entry("run.exe", "MZ"))
                     .Add(Entry("sub/run.exe", "MZ"))
                     .Add(utf8Name));
    form_ = &Start();
    Extract();
  }
  TForm1* form_ = nullptr;
};

class StartIniCaseTest : public StartIniTest, public ::testing::WithParamInterface<IniCase> {};

TEST_P(StartIniCaseTest, FirstLineOpensItsFileOrNothing) {
  const IniCase& c = GetParam();
  Run(c.ini);
  EXPECT_TRUE(kit.errorBoxes.empty());
  if (c.launched.empty()) {
    EXPECT_TRUE(kit.shellOpened.empty());
  } else {
    // The destination ends in a backslash, so the path holds a doubled one.
    EXPECT_EQ(kit.shellOpened, Lines{dest_ + u"\\" + U(c.launched)});
  }
  EXPECT_EQ(kit.LogOf({"ShellOpen", "CloseWindow", "Terminate"}).back(), "Terminate");
  EXPECT_EQ(form_->State(), TFormState::Ending);
}

INSTANTIATE_TEST_SUITE_P(
    EncodingsAndLines, StartIniCaseTest,
    ::testing::Values(IniCase{"AnsiCrLf", "run.exe\r\nother.exe\r\n", "run.exe"},
                      IniCase{"AnsiLf", "run.exe\nother.exe", "run.exe"},
                      IniCase{"AnsiCr", "run.exe\rother.exe", "run.exe"},
                      IniCase{"NoLineEnd", "run.exe", "run.exe"},
                      IniCase{"AnsiE4", "L\xE4ufer.exe\r\n", "L\xC3\xA4ufer.exe"},
                      IniCase{"Utf8Bom", "\xEF\xBB\xBFL\xC3\xA4ufer.exe\n", "L\xC3\xA4ufer.exe"},
                      IniCase{"Utf16LeBom", std::string("\xFF\xFEL\0\xE4\0u\0f\0e\0r\0.\0e\0x\0e\0\r\0\n\0", 26),
                              "L\xC3\xA4ufer.exe"},
                      IniCase{"Utf16BeBom", std::string("\xFE\xFF\0r\0u\0n\0.\0e\0x\0e\0\r", 18), "run.exe"},
                      IniCase{"SubFolder", "sub\\run.exe", "sub\\run.exe"},
                      IniCase{"EmptyFirstLine", "\r\nrun.exe\r\n", ""},
                      IniCase{"Folder", "sub\r\n", ""},
                      IniCase{"MissingFile", "missing.exe\r\n", ""}),
    [](const ::testing::TestParamInfo<IniCase>& info) { return std::string(info.param.label); });

TEST_F(StartIniTest, AbsolutePathIsTakenUnderTheDestinationAndOpensNothing) {
  // The absolute path of a file that does exist once extracted.
  Run(qp::platform::Utf16ToUtf8(dest_ + u"run.exe") + "\r\n");
  ASSERT_TRUE(Exists("run.exe"));
  EXPECT_TRUE(kit.shellOpened.empty());
  EXPECT_EQ(form_->State(), TFormState::Ending);
}

TEST_F(StartIniTest, WithoutAnyLineTheErrorBoxShowsAndTheWindowStays) {
  Run("\xEF\xBB\xBF");
  ASSERT_EQ(kit.errorBoxes.size(), 1u);
  EXPECT_EQ(kit.errorBoxes[0].back(), u'.');
  // The destination ends in a backslash; the message shows the path with single ones.
  EXPECT_EQ(kit.errorBoxes[0], u"List index out of bounds (0): " + dest_ + u"start.ini holds no line.");
  EXPECT_TRUE(kit.shellOpened.empty());
  EXPECT_EQ(kit.LogOf({"CloseWindow", "Terminate"}), std::vector<std::string>{});
  EXPECT_EQ(form_->State(), TFormState::Stuck);
  // Everything was extracted before the follow-up failed.
  EXPECT_TRUE(Exists("sub/run.exe"));
}

TEST_F(StartIniTest, NoStartIniEndsRightAfterTheExtraction) {
  WriteProgram(ZipBuilder().Add(Entry("run.exe", "MZ")));
  TForm1& form = Start();
  Extract();
  EXPECT_TRUE(kit.shellOpened.empty());
  EXPECT_EQ(form.State(), TFormState::Ending);
}

TEST(DisplayPathTest, DoubledSeparatorsShowOnceAndServerPrefixesStay) {
  EXPECT_EQ(DisplayPath(u"C:\\dest\\\\start.ini"), u"C:\\dest\\start.ini");
  EXPECT_EQ(DisplayPath(u"C:\\a\\\\\\b\\"), u"C:\\a\\b\\");
  EXPECT_EQ(DisplayPath(u"\\\\server\\share\\\\x"), u"\\\\server\\share\\x");
  EXPECT_EQ(DisplayPath(u"\\\\?\\C:\\x\\\\y"), u"\\\\?\\C:\\x\\y");
  EXPECT_EQ(DisplayPath(u"\\start.ini"), u"\\start.ini");
  EXPECT_EQ(DisplayPath(u""), u"");
}

TEST(DisplayPathTest, OverlongWordsKeepTheirStartAndEnd) {
  std::u16string deep = u"Z:\\dest";
  for (int i = 0; i < 30000; ++i) deep += u"\\d";
  deep += u"\\x.txt";
  const std::u16string text = u"Cannot create file \"" + deep + u"\" - Native error: 00020.";
  const std::u16string shown = ShortenLongWords(text, 60);
  EXPECT_LT(shown.size(), 120u);
  EXPECT_EQ(shown.substr(0, 27), u"Cannot create file \"Z:\\dest");
  const size_t cut = shown.find(u'\u2026');
  ASSERT_NE(cut, std::u16string::npos);
  // The word is 60 characters: its start, the ellipsis, its end (the name and the quote).
  const size_t wordStart = shown.find(u'"');
  const size_t wordEnd = shown.find(u' ', cut);
  EXPECT_EQ(wordEnd - wordStart, 60u);
  EXPECT_EQ(shown.substr(wordEnd - 6), u"x.txt\" - Native error: 00020.");
  // Words of the allowed length and the blanks between words stay as they are.
  EXPECT_EQ(ShortenLongWords(u"a  b\tc\r\nd " + std::u16string(60, u'x'), 60), u"a  b\tc\r\nd " + std::u16string(60, u'x'));
  EXPECT_EQ(ShortenLongWords(u""), u"");
}

}  // namespace
}  // namespace app_test
