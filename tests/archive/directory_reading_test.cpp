// Reading the central directory: end-record search, prefixes and offset correction, ZIP64
// values, extra fields, and the rebuild from local headers when the directory is unusable.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "archive/directory/dir_array.h"
#include "tests/archive/open_memory.h"
#include "tests/support/zip_builder.h"

namespace {

ZipEntry File(std::string name, std::string data) {
  ZipEntry e;
  e.name = std::move(name);
  e.data = std::move(data);
  return e;
}

ZipEntry Folder(std::string name) {
  ZipEntry e;
  e.name = std::move(name);
  e.externalAttributes = 0x10;
  return e;
}

// Where the local header of item i really is, checked by its signature.
bool LocalHeaderAt(OpenedArchive& a, int32_t i, const std::string& bytes) {
  uint64_t offset = a.manager.Directory.ItemRef(i).LocalHeaderOffset();
  return offset + 4 <= bytes.size() && bytes.compare(offset, 4, "PK\x03\x04") == 0;
}

TEST(EndRecord, FoundBehindTheLongestComment) {
  std::string comment(65535, 'c');
  std::string bytes = ZipBuilder().Add(File("a.txt", "hello")).Comment(comment).Build();
  OpenedArchive a(bytes);
  ASSERT_EQ(a.Count(), 1);
  EXPECT_EQ(a.manager.StoredComment, comment);
}

TEST(EndRecord, FalseSignatureInTheCommentIsPassedOver) {
  // An end record inside the comment whose fields fail the checks (entries on disk above
  // the total, a comment length past the file).
  std::string fake = std::string("PK\x05\x06", 4) + std::string("\x00\x00\x00\x00\x09\x00\x01\x00", 8) +
                     std::string(8, '\0') + std::string("\xFF\xFF", 2);
  std::string bytes = ZipBuilder().Add(File("a.txt", "x")).Add(File("b.txt", "y")).Comment("note " + fake).Build();
  OpenedArchive a(bytes);
  ASSERT_EQ(a.Count(), 2);
  EXPECT_EQ(a.Name(1), u"b.txt");
  EXPECT_EQ(a.manager.StoredComment, "note " + fake);
}

TEST(EndRecord, EmptyArchiveHasNoItemsAndItsPrefixIsTheRecordPosition) {
  OpenedArchive plain(ZipBuilder().Build());
  EXPECT_EQ(plain.Count(), 0);
  EXPECT_EQ(plain.manager.PrefixLength, 0u);
  OpenedArchive prefixed(ZipBuilder().Prefix(std::string(1234, 'M')).Build());
  EXPECT_EQ(prefixed.Count(), 0);
  EXPECT_EQ(prefixed.manager.PrefixLength, 1234u);
}

TEST(EndRecord, HasEndRecordFollowsTheTolerantFlag) {
  std::string bytes = ZipBuilder().Add(File("a", "1")).OmitEndRecord().Build();
  TQPMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  TestOwner owner;
  TQPDirManager manager(&owner);
  EXPECT_TRUE(manager.HasEndRecord(stream, true));
  EXPECT_FALSE(manager.HasEndRecord(stream, false));
}

TEST(Prefix, RelativeOffsetsAreCorrectedByThePrefixLength) {
  std::string prefix(5000, 'P');
  prefix.replace(100, 4, "PK\x03\x04");  // a false local header inside the program image
  std::string bytes = ZipBuilder()
                          .Prefix(prefix)
                          .RelativeOffsets()
                          .Add(Folder("docs/"))
                          .Add(File("docs/a.txt", "alpha"))
                          .Add(File("b.txt", "beta"))
                          .Build();
  OpenedArchive a(bytes);
  ASSERT_EQ(a.Count(), 3);
  EXPECT_EQ(a.manager.PrefixLength, 5000u);
  EXPECT_TRUE(LocalHeaderAt(a, 1, bytes));
  EXPECT_TRUE(LocalHeaderAt(a, 2, bytes));
  // Folders keep their stored offsets: the first file, not the first entry, decides.
  EXPECT_EQ(a.manager.Directory.ItemRef(0).LocalHeaderOffset(), 0u);
}

TEST(Prefix, AbsoluteOffsetsAreLeftAlone) {
  std::string bytes =
      ZipBuilder().Prefix(std::string(777, 'P')).Add(File("a.txt", "alpha")).Add(File("b.txt", "beta")).Build();
  OpenedArchive a(bytes);
  EXPECT_EQ(a.manager.PrefixLength, 777u);
  EXPECT_TRUE(LocalHeaderAt(a, 0, bytes));
  EXPECT_TRUE(LocalHeaderAt(a, 1, bytes));
}

TEST(Prefix, WrongDirectoryOffsetStillOpensASingleFile) {
  std::string bytes = ZipBuilder().Add(File("a.txt", "alpha")).DirectoryOffset(3).Build();
  OpenedArchive a(bytes);
  ASSERT_EQ(a.Count(), 1);
  EXPECT_EQ(a.Name(0), u"a.txt");
}

TEST(Zip64, ValuesComeFromTheExtraField) {
  ZipEntry e = File("big.bin", std::string(100, 'z'));
  e.zip64 = true;
  std::string bytes = ZipBuilder().Prefix("SFX").Add(e).Zip64EndRecords().Build();
  OpenedArchive a(bytes);
  ASSERT_EQ(a.Count(), 1);
  EXPECT_TRUE(a.manager.IsZip64);
  const TDirItem& item = a.manager.Directory.ItemRef(0);
  EXPECT_TRUE(item.HasZip64Values);
  EXPECT_EQ(item.UncompressedSize(), 100u);
  EXPECT_EQ(item.CompressedSize(), 100u);
  EXPECT_TRUE(LocalHeaderAt(a, 0, bytes));
}

TEST(Zip64, RelativeArchiveFindsItsEndRecordBeforeTheLocator) {
  ZipEntry e = File("a.txt", "alpha");
  std::string bytes = ZipBuilder().Prefix(std::string(300, 'P')).RelativeOffsets().Add(e).Zip64EndRecords().Build();
  OpenedArchive a(bytes);
  ASSERT_EQ(a.Count(), 1);
  EXPECT_TRUE(LocalHeaderAt(a, 0, bytes));
}

TEST(Zip64, ShortFieldYieldsOnlyTheWholeParts) {
  ZipEntry e = File("a.txt", "alpha");
  e.zip64 = true;
  e.zip64FieldBytes = 12;  // the uncompressed size and half of the compressed size
  OpenedArchive a(ZipBuilder().Add(e).Build());
  const TDirItem& item = a.manager.Directory.ItemRef(0);
  EXPECT_EQ(item.UncompressedSize(), 5u);
  EXPECT_EQ(item.CompressedSize(), 0xFFFFFFFFu);  // not taken: the marker stays
}

TEST(Zip64, LocatorWithoutEndRecordFailsTheOpen) {
  std::string bytes = ZipBuilder().Add(File("a", "1")).Zip64EndRecords().Build();
  // Break the ZIP64 end record's signature: the locator then points at nothing.
  size_t at = bytes.rfind(std::string("PK\x06\x06", 4));
  bytes[at + 3] = 'X';
  try {
    OpenedArchive a(bytes);
    FAIL() << "opened";
  } catch (const EQPException& e) {
    EXPECT_EQ(e.NativeError, 40);
  }
}

TEST(ExtraFields, SizeRunningPastTheAreaIsCut) {
  ZipEntry e = File("a.txt", "alpha");
  e.centralExtra = ExtraField(0xCAFE, "abcd").substr(0, 6);  // announces 4 bytes, holds 2
  e.centralExtra[2] = 4;
  OpenedArchive a(ZipBuilder().Add(e).Add(File("b.txt", "beta")).Build());
  ASSERT_EQ(a.Count(), 2);
  const TDirItem& item = a.manager.Directory.ItemRef(0);
  ASSERT_EQ(item.ExtraBlocks.size(), 1u);
  EXPECT_EQ(item.ExtraBlocks[0].HeaderId, 0xCAFE);
  EXPECT_EQ(item.ExtraBlocks[0].DataSize, 2);
  EXPECT_EQ(a.Name(1), u"b.txt");
}

TEST(ExtraFields, AesFieldSetsAlgorithmAndMethod) {
  ZipEntry e = File("secret.txt", "data");
  e.flags = 1;
  e.method = 99;
  e.centralExtra = ExtraField(0x9901, std::string("\x02\x00" "AE" "\x03\x08\x00", 7));
  OpenedArchive a(ZipBuilder().Add(e).Build());
  const TDirItem& item = a.manager.Directory.ItemRef(0);
  EXPECT_EQ(item.CryptoAlgorithm, 3);
  EXPECT_EQ(item.ActualMethod, 8);
  EXPECT_TRUE(item.IsEncrypted());
}

TEST(Rebuild, MissingEndRecordRebuildsFromLocalHeaders) {
  ZipEntry streamed = File("c.txt", "gamma gamma");
  streamed.dataDescriptor = true;
  std::string bytes = ZipBuilder()
                          .Add(File("a.txt", "alpha"))
                          .Add(File("empty/", ""))
                          .Add(streamed)
                          .OmitEndRecord()
                          .Build();
  OpenedArchive a(bytes);
  ASSERT_EQ(a.Count(), 3);
  EXPECT_EQ(a.Name(0), u"a.txt");
  EXPECT_EQ(a.manager.Directory.ItemRef(0).CentralDirItem.ExternalAttributes, 0x20u);
  // Zero length without a descriptor: a folder.
  EXPECT_EQ(a.manager.Directory.ItemRef(1).CentralDirItem.ExternalAttributes, 0x10u);
  const TDirItem& c = a.manager.Directory.ItemRef(2);
  EXPECT_EQ(c.CentralDirItem.ExternalAttributes, 0x20u);
  EXPECT_EQ(c.UncompressedSize(), 11u);
  EXPECT_EQ(c.CentralDirItem.Crc32, TestCrc32("gamma gamma"));
  EXPECT_EQ(a.manager.DirectoryStart, bytes.size());
}

TEST(Rebuild, CountThatCannotFitTheDirectoryRebuilds) {
  // 60,000 entries claimed, two stored: the directory is damaged, not 60,000 items long.
  std::string bytes = ZipBuilder().Add(File("a", "1")).Add(File("b", "2")).EntryCount(60000).Build();
  OpenedArchive a(bytes);
  EXPECT_EQ(a.Count(), 2);
}

TEST(Rebuild, TotalEntriesMarkerWithoutZip64Rebuilds) {
  std::string bytes = ZipBuilder().Add(File("a", "1")).EntryCount(0xFFFF).Build();
  OpenedArchive a(bytes);
  ASSERT_EQ(a.Count(), 1);
  EXPECT_EQ(a.Name(0), u"a");
}

TEST(Rebuild, TruncatedDirectoryRebuilds) {
  std::string full = ZipBuilder().Add(File("a.txt", "alpha")).Add(File("b.txt", "beta")).Build();
  // Name length of the second central header made huge: the read runs off the directory.
  size_t second = full.find(std::string("PK\x01\x02", 4), full.find(std::string("PK\x01\x02", 4)) + 4);
  full[second + 28] = '\xFF';
  full[second + 29] = '\x7F';
  OpenedArchive a(full);
  ASSERT_EQ(a.Count(), 2);
  EXPECT_EQ(a.Name(1), u"b.txt");
}

TEST(Rebuild, NoLocalHeaderIsAnInvalidArchive) {
  try {
    OpenedArchive a(std::string(5000, 'x'));
    FAIL() << "opened";
  } catch (const EQPException& e) {
    EXPECT_EQ(e.NativeError, 35);
    EXPECT_EQ(e.Message(), u"Invalid archive file. - Native error: 00035");
  }
}

TEST(Rebuild, ManyFlaggedHeadersWithoutDescriptorsStayFast) {
  // 20,000 local headers with flag bit 3 and no descriptor anywhere: each search for a
  // descriptor must not rescan the rest of the file.
  std::string bytes;
  for (int i = 0; i < 20000; ++i) {
    std::string h("PK\x03\x04\x14\x00\x08\x00\x00\x00\x00\x00\x21\x5A", 14);
    h += std::string(12, '\0');
    h += std::string("\x01\x00\x00\x00", 4);  // name length 1, no extra
    h += static_cast<char>('a' + i % 26);
    bytes += h;
  }
  // Distinct names are not needed: equal names are allowed in the directory.
  OpenedArchive a(bytes);
  EXPECT_EQ(a.Count(), 20000);
}

TEST(Lookup, FindNameFoldsAsciiCaseOnlyAndPrefersTheLaterItem) {
  OpenedArchive a(ZipBuilder()
                      .Add(File("Readme.TXT", "1"))
                      .Add(File("docs/a.txt", "2"))
                      .Add(File("README.txt", "3"))
                      .Build());
  int32_t index = -1;
  EXPECT_TRUE(a.manager.Directory.FindName(u"readme.txt", index));
  EXPECT_EQ(index, 2);
  EXPECT_TRUE(a.manager.Directory.FindName(u"DOCS/A.TXT", index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(a.manager.Directory.FindName(u"docs\\a.txt", index));
  EXPECT_EQ(index, -1);
}

// The names list is made at the first lookup; items named, renamed, added or dropped before
// and after it are all found by their names as they are then.
TEST(Lookup, NamesChangedBeforeAndAfterTheFirstLookupAreFound) {
  TQPDirArray directory;
  directory.SetCount(3);
  directory.SetEntryName(0, u"One.txt");
  directory.SetEntryName(1, u"two.txt");
  directory.SetEntryName(1, u"Zwei.txt");  // renamed before any lookup
  int32_t index = -1;
  EXPECT_TRUE(directory.FindName(u"ZWEI.TXT", index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(directory.FindName(u"two.txt", index));
  EXPECT_TRUE(directory.FindName(u"", index));  // item 2 has no name yet
  EXPECT_EQ(index, 2);
  directory.SetEntryName(2, u"three.txt");  // named after the list was made
  directory.SetEntryName(0, u"uno.txt");    // renamed after it
  directory.SetCount(4);
  directory.SetEntryName(3, u"four.txt");   // added after it
  EXPECT_TRUE(directory.FindName(u"THREE.txt", index));
  EXPECT_EQ(index, 2);
  EXPECT_TRUE(directory.FindName(u"Uno.Txt", index));
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(directory.FindName(u"one.txt", index));
  EXPECT_FALSE(directory.FindName(u"", index));
  EXPECT_TRUE(directory.FindName(u"four.TXT", index));
  EXPECT_EQ(index, 3);
  directory.SetCount(2);  // dropped items are not found again
  EXPECT_FALSE(directory.FindName(u"four.txt", index));
  directory.SetCount(3);
  directory.SetEntryName(2, u"drei.txt");
  EXPECT_TRUE(directory.FindName(u"DREI.TXT", index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(directory.FindName(u"three.txt", index));
}

TEST(Lookup, OutOfRangeIndexesRaise) {
  OpenedArchive a(ZipBuilder().Add(File("a", "1")).Build());
  try {
    a.manager.Directory.GetItem(1);
    FAIL();
  } catch (const EQPException& e) {
    EXPECT_EQ(e.NativeError, 2);
  }
  try {
    a.manager.Directory.ItemRef(-1);
    FAIL();
  } catch (const EQPException& e) {
    EXPECT_EQ(e.NativeError, 3);
  }
}

TEST(Lookup, IndexSurvivesGrowthPastItsBuckets) {
  // More than five entries per initial bucket: the index is dropped and rebuilt larger.
  ZipBuilder builder;
  for (int i = 0; i < 6000; ++i) builder.Add(File("f" + std::to_string(i), ""));
  OpenedArchive a(builder.Build());
  ASSERT_EQ(a.Count(), 6000);
  int32_t index;
  for (int i : {0, 4999, 5000, 5999}) {
    const std::string name = "F" + std::to_string(i);
    ASSERT_TRUE(a.manager.Directory.FindName(std::u16string(name.begin(), name.end()), index));
    EXPECT_EQ(index, i);
  }
}

}  // namespace

namespace {

// An archive placed far into an otherwise empty stream: zeros up to `base`, then `bytes`.
// Nothing is allocated for the zeros, so a stream past 4 GiB costs no memory.
class FarAwayStream : public TQPStream {
 public:
  FarAwayStream(uint64_t base, std::string bytes) : base_(base), bytes_(std::move(bytes)) {}
  size_t Read(void* buffer, size_t count) override {
    auto* out = static_cast<uint8_t*>(buffer);
    const uint64_t size = static_cast<uint64_t>(Size());
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, size - std::min(position_, size)));
    const size_t zeros = position_ < base_ ? static_cast<size_t>(std::min<uint64_t>(n, base_ - position_)) : 0;
    std::memset(out, 0, zeros);
    if (zeros < n) std::memcpy(out + zeros, bytes_.data() + (position_ + zeros - base_), n - zeros);
    position_ += n;
    return n;
  }
  size_t Write(const void*, size_t) override { return 0; }
  int64_t Seek(int64_t offset, qp::platform::SeekOrigin origin) override {
    const int64_t from = origin == qp::platform::SeekOrigin::Begin     ? 0
                         : origin == qp::platform::SeekOrigin::Current ? static_cast<int64_t>(position_)
                                                                        : Size();
    position_ = static_cast<uint64_t>(from + offset);
    return static_cast<int64_t>(position_);
  }
  int64_t Size() override { return static_cast<int64_t>(base_ + bytes_.size()); }

 private:
  uint64_t base_;
  std::string bytes_;
  uint64_t position_ = 0;
};

}  // namespace

TEST(Rebuild, HeaderBeyond4GiBKeepsItsWholeOffset) {
  const uint64_t base = (uint64_t{1} << 32) + 1000;
  FarAwayStream stream(base, ZipBuilder().Add(File("far.txt", "far away")).OmitEndRecord().Build());
  TestOwner owner;
  TQPDirManager manager(&owner);
  manager.ReadDirectory(stream);
  ASSERT_EQ(manager.Directory.Count(), 1);
  const TDirItem& item = manager.Directory.ItemRef(0);
  EXPECT_EQ(item.LocalHeaderOffset(), base);
  EXPECT_EQ(item.CompressedSize(), 8u);
}
