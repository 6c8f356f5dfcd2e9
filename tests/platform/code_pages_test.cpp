// Code pages: OEM to ANSI with Windows' best fits, the whole ANSI range (including the bytes
// iconv leaves undefined) both ways, and UTF-8 <-> UTF-16 on valid and broken input.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace qp::platform {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

TEST(CodePagesTest, OemToAnsiMapsByteForByteWithBestFits) {
  EXPECT_EQ(OemToAnsi("Plain name.txt"), "Plain name.txt");
  // u-umlaut, e-acute, sharp s, then box drawing and Greek letters that CP1252 lacks.
  EXPECT_EQ(OemToAnsi(Bytes({0x81, 0x82, 0xE1})), Bytes({0xFC, 0xE9, 0xDF}));
  EXPECT_EQ(OemToAnsi(Bytes({0xC4, 0xDA, 0xB3, 0xCD, 0xE3, 0xE0})),
            Bytes({'-', '+', 0xA6, '-', 'p', 'a'}));
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string converted = OemToAnsi(all);
  ASSERT_EQ(converted.size(), 256u);
  EXPECT_EQ(converted.substr(0, 128), all.substr(0, 128));
  EXPECT_EQ(OemToAnsi(std::string_view("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(OemToAnsi(""), "");
}

TEST(CodePagesTest, Utf16ToAnsiIsTheReverseAndMarksWhatIsMissing) {
  // Every byte but the five undefined ones comes back as it went (wine and Windows best-fit
  // the C1 controls differently from a table, so those are left out).
  std::string all;
  for (int b = 1; b < 256; ++b)
    if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(all)), all);
  EXPECT_EQ(Utf16ToAnsi(u"gr\u00fcn \u20ac"), Bytes({'g', 'r', 0xFC, 'n', ' ', 0x80}));
  // Characters CP1252 lacks (Cyrillic, a surrogate pair) give a '?' per UTF-16 unit.
  EXPECT_EQ(Utf16ToAnsi(u"\u0436\U0001F600"), "???");
  EXPECT_EQ(Utf16ToAnsi(u""), "");
}

TEST(CodePagesTest, AnsiToUtf16CoversEveryByte) {
  EXPECT_EQ(AnsiToUtf16(Bytes({0x80, 0xE4, 0x9F})), u"\u20ac\u00e4\u0178");
  // The five bytes CP1252 leaves undefined come through as the C1 controls, as on Windows.
  EXPECT_EQ(AnsiToUtf16(Bytes({0x81, 0x8D, 0x8F, 0x90, 0x9D})), u"\u0081\u008d\u008f\u0090\u009d");
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::u16string wide = AnsiToUtf16(all);
  ASSERT_EQ(wide.size(), all.size());
  for (char16_t c : wide) EXPECT_NE(c, 0xFFFD);
  EXPECT_EQ(AnsiToUtf16("abc"), u"abc");
}

TEST(CodePagesTest, Utf8AndUtf16RoundTrip) {
  const std::string grusse = "Gr\xc3\xbc\xc3\x9f" "e";
  EXPECT_EQ(Utf8ToUtf16(grusse), u"Gr\u00fc\u00dfe");
  EXPECT_EQ(Utf8ToUtf16("\xf0\x9f\x98\x80"), u"\xd83d\xde00");
  EXPECT_EQ(Utf8ToUtf16("\xe2\x82\xac"), u"\u20ac");
  EXPECT_EQ(Utf16ToUtf8(u"Gr\u00fc\u00dfe \xd83d\xde00 \u20ac"),
            grusse + " \xf0\x9f\x98\x80 \xe2\x82\xac");
  EXPECT_EQ(Utf8ToUtf16(""), u"");
  EXPECT_EQ(Utf16ToUtf8(u""), "");
}

TEST(CodePagesTest, BrokenTextBecomesReplacementCharacters) {
  // Truncated sequence, stray continuation, invalid byte, overlong '/', encoded surrogate.
  for (const char* broken : {"a\xc3", "a\x80z", "a\xffz", "a\xc0\xafz", "a\xed\xa0\x80z",
                             "a\xf4\x90\x80\x80z", "a\xe2\x82z"}) {
    const std::u16string wide = Utf8ToUtf16(broken);
    ASSERT_FALSE(wide.empty()) << broken;
    EXPECT_EQ(wide.front(), u'a');
    EXPECT_NE(wide.find(u'\xfffd'), std::u16string::npos) << broken;
    if (std::string(broken).back() == 'z') {
      EXPECT_EQ(wide.back(), u'z') << broken;
    }
  }
  EXPECT_EQ(Utf16ToUtf8(u"a\xd800z"), "a\xef\xbf\xbdz");
  EXPECT_EQ(Utf16ToUtf8(u"a\xdc00"), "a\xef\xbf\xbd");
  EXPECT_EQ(Utf16ToUtf8(u"\xde00\xd83d"), "\xef\xbf\xbd\xef\xbf\xbd");  // reversed pair
}

}  // namespace
}  // namespace qp::platform
