// Directories crafted to cost more than they hold: items that share bytes, entry counts that
// the directory cannot hold, and signatures inside item data during the rebuild.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "archive/directory/item_ranges.h"
#include "tests/archive/open_memory.h"
#include "tests/support/zip_builder.h"

namespace {

ZipEntry File(std::string name, std::string data) {
  ZipEntry e;
  e.name = std::move(name);
  e.data = std::move(data);
  return e;
}

void Put32At(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
}

// Position of the n-th central header (0-based).
size_t CentralHeader(const std::string& bytes, int n) {
  size_t at = bytes.find("PK\x01\x02");
  for (int i = 0; i < n; ++i) at = bytes.find("PK\x01\x02", at + 4);
  return at;
}

// The open must fail with native error 48 and the reason in the message.
void ExpectRefused(const std::string& bytes, const std::u16string& reason) {
  try {
    OpenedArchive a(bytes);
    FAIL() << "opened with " << a.Count() << " items";
  } catch (const EQPException& e) {
    EXPECT_EQ(e.NativeError, 48);
    EXPECT_EQ(e.Message(), u"Archive is damaged. Open failed: " + reason + u" - Native error: 00048");
  }
}

TEST(SharedBytes, ItemsNamingOneLocalHeaderAreRefused) {
  std::string bytes = ZipBuilder().Add(File("a.txt", "alpha")).Add(File("b.txt", "beta")).Add(File("c", "")).Build();
  Put32At(bytes, CentralHeader(bytes, 1) + 42, 0);
  ExpectRefused(bytes, u"overlapping items, possible zip bomb");
}

TEST(SharedBytes, DataThatCoversTheNextItemIsRefused) {
  // The first item's size reaches over the second item's header; the second item is the
  // third in the directory, so the early item has to be remembered past its neighbour.
  std::string bytes =
      ZipBuilder().Add(File("a.txt", std::string(10, 'a'))).Add(File("b.txt", "b")).Add(File("c.txt", "c")).Build();
  const size_t cOffset = bytes.find("PK\x03\x04", bytes.find("PK\x03\x04", 1) + 1);
  Put32At(bytes, CentralHeader(bytes, 0) + 20, static_cast<uint32_t>(cOffset + 1 - 30));
  ExpectRefused(bytes, u"overlapping items, possible zip bomb");
}

TEST(SharedBytes, HeaderInsideTheDirectoryIsRefusedDataRunningIntoItIsCut) {
  std::string bytes = ZipBuilder().Add(File("a.txt", "alpha")).Add(File("b.txt", "beta")).Build();
  std::string into = bytes;
  // Data claimed to run into the directory is cut there when decoded: no bytes are shared.
  Put32At(into, CentralHeader(into, 1) + 20, 100000);
  EXPECT_EQ(OpenedArchive(into).Count(), 2);
  Put32At(bytes, CentralHeader(bytes, 1) + 42, static_cast<uint32_t>(CentralHeader(bytes, 0) + 4));
  ExpectRefused(bytes, u"an item starts inside the central directory");
}

TEST(SharedBytes, ProgramImageAndFoldersStillOpen) {
  // Relative offsets behind a prefix are compared once corrected; a folder's offset (left
  // uncorrected, pointing into the prefix) takes no part.
  ZipEntry folder = File("docs/", "");
  folder.externalAttributes = 0x10;
  std::string bytes = ZipBuilder()
                          .Prefix(std::string(3000, 'P'))
                          .RelativeOffsets()
                          .Add(folder)
                          .Add(File("docs/a.txt", std::string(500, 'a')))
                          .Add(File("b.txt", ""))
                          .Add(File("c.txt", "c"))
                          .Build();
  OpenedArchive a(bytes);
  EXPECT_EQ(a.Count(), 4);
}

// A directory made by hand: (disk, offset, compressed size) per item.
void Fill(TQPDirArray& directory, std::initializer_list<std::tuple<uint16_t, uint32_t, uint32_t>> items) {
  int32_t i = 0;
  for (const auto& [disk, offset, size] : items) {
    directory.SetCount(i + 1);
    TCentralDirHeader& h = directory.ItemRef(i).CentralDirItem;
    h.DiskNumberStart = disk;
    h.LocalHeaderOffset = offset;
    h.CompressedSize = size;
    h.ExternalAttributes = 0x20;
    directory.SetEntryName(i, u"f" + std::u16string(1, static_cast<char16_t>(u'a' + i)));
    ++i;
  }
}

TEST(SharedBytes, SplitSetsCompareOffsetsWithinADiskOnly) {
  // The same offsets on two volumes are two places; on one volume they are one.
  TQPDirArray split;
  Fill(split, {{1, 0, 100}, {0, 0, 100}, {1, 130, 10}, {0, 130, 5}});
  EXPECT_NO_THROW(QPCheckItemRangesApart(split, {1, 200, 300}, true));
  EXPECT_THROW(QPCheckItemRangesApart(split, {1, 200, 300}, false), EQPException);
  // The directory is compared on its own disk only.
  EXPECT_THROW(QPCheckItemRangesApart(split, {1, 120, 300}, true), EQPException);
  EXPECT_NO_THROW(QPCheckItemRangesApart(split, {0, 140, 300}, true));
  // A size that would wrap round past 2^64 still counts as reaching the end.
  TQPDirArray huge;
  Fill(huge, {{0, 0, 0xFFFFFFFEu}, {0, 200, 0}});
  huge.ItemRef(0).CentralDirItem.CompressedSize = kMarker32;
  huge.ItemRef(0).HasZip64Values = true;
  huge.ItemRef(0).Zip64Values.CompressedSize = ~0ull - 10;
  EXPECT_THROW(QPCheckItemRangesApart(huge, {}, false), EQPException);
}

TEST(LyingCounts, Zip64CountsBeyondTheDirectoryRebuildAllItems) {
  for (uint64_t claimed : {(1ull << 32) + 1, 1ull << 63, 4ull}) {
    std::string bytes = ZipBuilder()
                            .Zip64EndRecords()
                            .Add(File("one.txt", "1"))
                            .Add(File("two.txt", "2"))
                            .Add(File("three.txt", "3"))
                            .Build();
    const size_t record = bytes.rfind("PK\x06\x06");
    ASSERT_NE(record, std::string::npos);
    for (int i = 0; i < 8; ++i) {
      bytes[record + 24 + static_cast<size_t>(i)] = static_cast<char>(claimed >> (8 * i));
      bytes[record + 32 + static_cast<size_t>(i)] = static_cast<char>(claimed >> (8 * i));
    }
    OpenedArchive a(bytes);
    ASSERT_EQ(a.Count(), 3) << claimed;
    EXPECT_EQ(a.Name(2), u"three.txt");
    // Rebuilt from local headers: the directory starts at the end of the file.
    EXPECT_EQ(a.manager.DirectoryStart, bytes.size()) << claimed;
  }
}

TEST(RebuildScan, SignaturesInsideStoredDataAreNoItems) {
  // (The inner archive has no end record either, or that would be found and read.)
  const std::string inner =
      ZipBuilder().Add(File("x.txt", "inner x")).Add(File("y.txt", "inner y")).OmitEndRecord().Build();
  std::string bytes = ZipBuilder().Add(File("inner.zip", inner)).Add(File("after.txt", "after")).OmitEndRecord().Build();
  OpenedArchive a(bytes);
  ASSERT_EQ(a.Count(), 2);
  EXPECT_EQ(a.Name(0), u"inner.zip");
  EXPECT_EQ(a.Name(1), u"after.txt");
}

TEST(RebuildScan, StreamedItemsSharingADescriptorAreRefused) {
  // Without an end record, two streamed items whose search finds one descriptor behind both
  // would decode the same bytes twice.
  ZipEntry first = File("a.txt", std::string(40, 'a'));
  first.dataDescriptor = true;
  std::string bytes = ZipBuilder().Add(first).OmitEndRecord().Build();
  const std::string streamedHeader = bytes.substr(0, 30 + 5);
  bytes.insert(30 + 5, streamedHeader);  // a second header inside the first one's data run
  ExpectRefused(bytes, u"overlapping items, possible zip bomb");
}

}  // namespace
