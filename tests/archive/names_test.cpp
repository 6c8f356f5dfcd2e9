// Name decoding: the OEM step, UTF-8 by flag and by content, the ANSI fallback, the Unicode
// name field, the Unicode path field, names from Unix hosts, and names rebuilt from local
// headers; the names list that finds items by name.
#include <gtest/gtest.h>

#include "archive/directory/dir_array.h"
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

constexpr uint16_t kMadeByDos = 0x0014;
constexpr uint16_t kMadeByUnix = 0x031E;
constexpr uint16_t kMadeByOsX = 0x1315;

TEST(NameDecoding, UnixHostUtf8SkipsTheOemStep) {
  const std::string nfc = "Best\xC3\xA4tigung.txt";
  const std::string nfd = "Besta\xCC\x88tigung.txt";
  EXPECT_EQ(DecodeCentralName(nfc, 0, true, kMadeByUnix), u"Bestätigung.txt");
  EXPECT_EQ(DecodeCentralName(nfc, 0, true, kMadeByOsX), u"Bestätigung.txt");
  // Decomposed names stay decomposed.
  EXPECT_EQ(DecodeCentralName(nfd, 0, true, kMadeByOsX), u"Besta\u0308tigung.txt");
  EXPECT_EQ(DecodeCentralName("\xE6\x97\xA5\xE6\x9C\xAC", 0, true, kMadeByUnix), u"日本");
  // Bytes that are no UTF-8 keep the OEM rule, whatever the host.
  EXPECT_EQ(DecodeCentralName("\x81" "ber", 0, true, kMadeByUnix), u"über");
  // DOS and Windows hosts (0, 10, 11, 14) keep the OEM step for UTF-8-looking bytes.
  for (uint16_t host : {0, 10, 11, 14}) {
    const auto madeBy = static_cast<uint16_t>(host << 8 | 0x14);
    EXPECT_EQ(DecodeCentralName(nfc, 0, true, madeBy), DecodeCentralName(nfc, 0, true)) << host;
    EXPECT_NE(DecodeCentralName(nfc, 0, true, madeBy), u"Bestätigung.txt") << host;
  }
}

TEST(NameDecoding, UnixHostNamesAreLookedUpAsDecoded) {
  ZipEntry unix;
  unix.name = "\xC3\x9C" "bersicht/Gr\xC3\xBC\xC3\x9F" "e.txt";
  ZipEntry dos = unix;
  dos.versionMadeBy = kMadeByDos;
  OpenedArchive a(ZipBuilder().Add(unix).Add(dos).Build(), true);
  EXPECT_EQ(a.Name(0), u"Übersicht/Grüße.txt");
  EXPECT_NE(a.Name(1), u"Übersicht/Grüße.txt");
  int32_t index = -1;
  ASSERT_TRUE(a.manager.Directory.FindName(u"Übersicht/Grüße.TXT", index));
  EXPECT_EQ(index, 0);
}

// One item per case of the Unicode path field; the header name is what an OEM writer stores
// for letters it cannot spell.
TEST(UnicodePathField, TakenOnlyWhenVersionCrcAndTextHold) {
  const std::string stored = "___.txt";
  const std::string utf8 = "\xC5\x81\xC3\xB3" "d\xC5\xBA.txt";  // Łódź.txt
  auto item = [&](std::string extra) {
    ZipEntry e;
    e.name = stored;
    e.versionMadeBy = kMadeByDos;
    e.centralExtra = std::move(extra);
    return e;
  };
  const std::string matching = UnicodePathField(utf8, stored);
  ZipBuilder b;
  b.Add(item(matching));
  b.Add(item(UnicodePathField(utf8, "old.txt")));          // stale: the name changed after
  b.Add(item(UnicodePathField(utf8, stored, 2)));          // unknown version
  b.Add(item(matching.substr(0, 4 + 3)));                  // cut short inside the CRC
  b.Add(item(ExtraField(0x7075, matching.substr(4, 5))));  // no text
  b.Add(item(UnicodePathField("\xC5\x81\xFF.txt", stored)));  // not UTF-8
  // The Unicode name field has the last word, before or after the path field.
  b.Add(item(UnicodeNameField(u"nucx.txt") + matching));
  b.Add(item(matching + UnicodeNameField(u"nucx.txt")));
  // A field whose size runs past the extra area is cut to it and still checked.
  const std::string other = UnicodePathField("\xC5\x81\xC3\xB3" "d\xC5\xBA" "8.txt", stored);
  b.Add(item(other.substr(0, 2) + std::string("\xFF\x00", 2) + other.substr(4)));
  OpenedArchive a(b.Build(), true);
  ASSERT_EQ(a.Count(), 9);
  EXPECT_EQ(a.Name(0), u"Łódź.txt");
  for (int32_t i : {1, 2, 3, 4, 5}) EXPECT_EQ(a.Name(i), u"___.txt") << i;
  EXPECT_EQ(a.Name(6), u"nucx.txt");
  EXPECT_EQ(a.Name(7), u"nucx.txt");
  EXPECT_EQ(a.Name(8), u"Łódź8.txt");
  int32_t index = -1;
  ASSERT_TRUE(a.manager.Directory.FindName(u"Łódź.TXT", index));
  EXPECT_EQ(index, 0);
}

TEST(UnicodePathField, AppliesToRebuiltItems) {
  ZipEntry e;
  e.name = "?rger.txt";
  e.data = "1";
  e.localExtra = UnicodePathField("\xC3\x84rger.txt", e.name);
  ZipEntry stale = e;
  stale.localExtra = UnicodePathField("\xC3\x84rger.txt", "other");
  OpenedArchive a(ZipBuilder().Add(e).Add(stale).OmitEndRecord().Build());
  ASSERT_EQ(a.Count(), 2);
  EXPECT_EQ(a.Name(0), u"Ärger.txt");
  EXPECT_EQ(a.Name(1), u"?rger.txt");
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

TEST(NamesList, RenamingOneOfTwoEqualNamesLeavesTheOtherFindable) {
  // Two items of one name (folded), then the first renamed: the name must lead to the
  // second, and the new name to the first; no entry may point at an item that left it.
  TQPDirArray directory;
  directory.SetCount(3);
  directory.SetEntryName(0, u"Same.txt");
  directory.SetEntryName(1, u"SAME.TXT");
  directory.SetEntryName(2, u"other.txt");
  int32_t index = -1;
  ASSERT_TRUE(directory.FindName(u"same.txt", index));  // builds the lookup index
  EXPECT_EQ(index, 1);
  directory.SetEntryName(0, u"renamed.txt");
  ASSERT_TRUE(directory.FindName(u"same.txt", index));
  EXPECT_EQ(index, 1);
  ASSERT_TRUE(directory.FindName(u"RENAMED.txt", index));
  EXPECT_EQ(index, 0);
  // And renamed onto a name another item holds, then away again: nothing stale is left.
  directory.SetEntryName(2, u"same.txt");
  directory.SetEntryName(2, u"third.txt");
  ASSERT_TRUE(directory.FindName(u"same.txt", index));
  EXPECT_EQ(index, 1);
  directory.SetEntryName(1, u"fourth.txt");
  EXPECT_FALSE(directory.FindName(u"same.txt", index));
}
