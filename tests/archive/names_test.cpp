// Name decoding: the OEM step, UTF-8 by flag and by content, the ANSI fallback, the Unicode
// name field, and names rebuilt from local headers.
#include <gtest/gtest.h>

#include "archive/format/names.h"
#include "tests/archive/open_memory.h"
#include "tests/support/zip_builder.h"

namespace {

constexpr uint16_t kUtf8 = 0x0800;

TEST(NameBytes, ClassificationFollowsWellFormedUtf8) {
  EXPECT_EQ(ClassifyNameBytes("plain/name.txt"), TNameBytesKind::Ascii);
  EXPECT_EQ(ClassifyNameBytes("Gr\xC3\xBC\xC3\x9F" "e"), TNameBytesKind::Utf8);
  EXPECT_EQ(ClassifyNameBytes("\xF0\x9F\x98\x80"), TNameBytesKind::Utf8);
  EXPECT_EQ(ClassifyNameBytes("\xED\xA0\x80"), TNameBytesKind::Utf8);  // 0xED takes any continuation
  EXPECT_EQ(ClassifyNameBytes("\xC3"), TNameBytesKind::Other);          // cut short
  EXPECT_EQ(ClassifyNameBytes("\xC0\xAF"), TNameBytesKind::Other);      // overlong
  EXPECT_EQ(ClassifyNameBytes("\xE0\x80\x80"), TNameBytesKind::Other);
  EXPECT_EQ(ClassifyNameBytes("\xF4\x90\x80\x80"), TNameBytesKind::Other);  // above U+10FFFF
  EXPECT_EQ(ClassifyNameBytes("\xFC"), TNameBytesKind::Other);
}

TEST(NameDecoding, Utf8ByFlagOrByContent) {
  const std::string utf8 = "Gr\xC3\xBC\xC3\x9F" "e.txt";
  EXPECT_EQ(DecodeCentralName(utf8, kUtf8, true), u"Grüße.txt");
  EXPECT_EQ(DecodeCentralName(utf8, 0, false), u"Grüße.txt");
  // The flag does not force UTF-8: invalid bytes still decode from the ANSI code page.
  EXPECT_EQ(DecodeCentralName("caf\xE9", kUtf8, true), u"café");
}

TEST(NameDecoding, AsciiIsUnchangedByTheOemStep) {
  EXPECT_EQ(DecodeCentralName("docs/Read Me.txt", 0, true), u"docs/Read Me.txt");
}

TEST(NameDecoding, OemStepRunsOnlyWithoutTheUtf8Flag) {
  // 0x81 is u-umlaut in the OEM code page; in the ANSI code page it has no letter.
  EXPECT_EQ(DecodeCentralName("\x81" "ber", 0, true), u"über");
  EXPECT_EQ(DecodeCentralName("\x84", 0, false), u"\u201E");  // ANSI low double quote
  EXPECT_NE(DecodeCentralName("\x81" "ber", kUtf8, true), u"über");
}

TEST(NameDecoding, Utf8WithoutFlagPassesTheOemStepFirst) {
  // With OEM names on, UTF-8 bytes without the flag are OEM-converted and then no longer
  // valid UTF-8, so they decode from the ANSI code page (as the OEM text they claim to be).
  const std::string utf8 = "\xC3\xBC";
  std::u16string decoded = DecodeCentralName(utf8, 0, true);
  EXPECT_NE(decoded, u"ü");
  EXPECT_EQ(decoded.size(), 2u);
}

TEST(NameDecoding, RebuiltNamesStopAtZeroAndUseAnsi) {
  EXPECT_EQ(DecodeRebuiltName(std::string("abc\0def", 7), false), u"abc");
  EXPECT_EQ(DecodeRebuiltName("\xC3\xBC", false), u"Ã¼");  // no UTF-8 detection here
  EXPECT_EQ(DecodeRebuiltName("\x81", true), u"ü");
}

TEST(UnicodeField, ReplacesTheStoredNameEvenWhenValid) {
  ZipEntry e;
  e.name = "plain.txt";
  e.centralExtra = UnicodeNameField(u"Привет.txt");
  ZipEntry empty;
  empty.name = "named.txt";
  empty.centralExtra = UnicodeNameField(u"ignored", 0);
  ZipEntry wrong;
  wrong.name = "kept.txt";
  wrong.centralExtra = UnicodeNameField(u"other", {}, 0x12345678);
  ZipEntry after;
  after.name = "after.txt";
  // A nameless item does not keep the items after it from being named.
  OpenedArchive a(ZipBuilder().Add(e).Add(empty).Add(wrong).Add(empty).Add(after).Build());
  ASSERT_EQ(a.Count(), 5);
  EXPECT_EQ(a.Name(0), u"Привет.txt");
  EXPECT_EQ(a.Name(1), u"");
  EXPECT_EQ(a.Name(2), u"kept.txt");
  EXPECT_EQ(a.Name(3), u"");
  EXPECT_EQ(a.Name(4), u"after.txt");
  int32_t index;
  ASSERT_TRUE(a.manager.Directory.FindName(u"Привет.TXT", index));
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(a.manager.Directory.FindName(u"привет.txt", index));  // only ASCII folds
  EXPECT_FALSE(a.manager.Directory.FindName(u"plain.txt", index));
}

TEST(UnicodeField, CountBeyondTheDataTakesWhatIsThere) {
  TUnicodeExtendedInfo info;
  std::string field = UnicodeNameField(u"abc", 0x7FFFFFFF).substr(4);
  ASSERT_TRUE(info.Parse(reinterpret_cast<const uint8_t*>(field.data()), field.size()));
  EXPECT_EQ(info.Name, u"abc");
}

TEST(UnicodeField, AppliesToRebuiltItemsToo) {
  ZipEntry e;
  e.name = "x";
  e.data = "1";
  e.localExtra = UnicodeNameField(u"ünï.txt");
  OpenedArchive a(ZipBuilder().Add(e).OmitEndRecord().Build());
  ASSERT_EQ(a.Count(), 1);
  EXPECT_EQ(a.Name(0), u"ünï.txt");
}

TEST(CodePages, ThroughTheDirectory) {
  ZipEntry oem;
  oem.name = "\x81" "ber.txt";
  ZipEntry utf8;
  utf8.name = "\xC3\xBC" "ber2.txt";
  utf8.flags = kUtf8;
  OpenedArchive withOem(ZipBuilder().Add(oem).Add(utf8).Build(), true);
  EXPECT_EQ(withOem.Name(0), u"über.txt");
  EXPECT_EQ(withOem.Name(1), u"über2.txt");
}

}  // namespace
