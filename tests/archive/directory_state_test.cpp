// The directory state that opening reports: stored for a whole archive, cut off for copies
// that end anywhere before the end of the file (every record boundary and inside each record),
// damaged when the end record is there but an entry cannot be read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/archive/open_memory.h"
#include "tests/support/zip_builder.h"

namespace {

// A stored, a deflated and a streamed item (data descriptor), and an archive comment, so that
// every kind of record is there to be cut.
std::string ThreeItems() {
  ZipEntry stored;
  stored.name = "one.txt";
  stored.data = "the first item";
  ZipEntry deflated;
  deflated.name = "dir/two.txt";
  deflated.data = std::string(5000, 'b') + "tail";
  deflated.deflate = true;
  ZipEntry streamed;
  streamed.name = "three.bin";
  streamed.data = std::string(300, '\x07');
  streamed.dataDescriptor = true;
  return ZipBuilder().Add(stored).Add(deflated).Add(streamed).Comment("archive comment").Build();
}

// Start positions of every record with `signature` in `bytes`.
std::vector<size_t> RecordsOf(const std::string& bytes, const char* signature) {
  std::vector<size_t> at;
  for (size_t p = bytes.find(signature, 0, 4); p != std::string::npos; p = bytes.find(signature, p + 1, 4))
    at.push_back(p);
  return at;
}

TEST(DirectoryState, WholeArchiveIsReadAsStored) {
  OpenedArchive a(ThreeItems());
  EXPECT_EQ(a.Count(), 3);
  EXPECT_EQ(a.manager.DirectoryState, dsStored);
}

TEST(DirectoryState, EveryCutOffCopyIsReportedAsCutOff) {
  const std::string whole = ThreeItems();
  const std::vector<size_t> locals = RecordsOf(whole, "PK\x03\x04");
  ASSERT_EQ(locals.size(), 3u);
  // Record starts, one byte into each record, their middles, and the last byte.
  std::vector<size_t> cuts = {whole.size() - 1};
  for (const char* signature : {"PK\x03\x04", "PK\x07\x08", "PK\x01\x02", "PK\x05\x06"}) {
    const std::vector<size_t> starts = RecordsOf(whole, signature);
    ASSERT_FALSE(starts.empty()) << signature;
    for (size_t i = 0; i < starts.size(); ++i) {
      const size_t next = i + 1 < starts.size() ? starts[i + 1] : whole.size();
      for (size_t cut : {starts[i], starts[i] + 1, starts[i] + 29, (starts[i] + next) / 2})
        if (cut > 0 && cut < whole.size()) cuts.push_back(cut);
    }
  }
  for (size_t cut : cuts) {
    SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(whole.size()));
    const std::string part = whole.substr(0, cut);
    // The rebuild finds the local headers of which all 30 bytes are there.
    int32_t headers = 0;
    for (size_t at : locals) headers += at + 30 <= cut;
    if (headers == 0) {
      try {
        OpenedArchive a(part);
        ADD_FAILURE() << "opened with " << a.Count() << " items";
      } catch (const EQPException& e) {
        EXPECT_EQ(e.NativeError, neInvalidArchive);
      }
      continue;
    }
    OpenedArchive a(part);
    EXPECT_EQ(a.manager.DirectoryState, dsRebuiltCutOff);
    EXPECT_EQ(a.Count(), headers);
    EXPECT_EQ(a.Name(0), u"one.txt");
  }
}

TEST(DirectoryState, UnreadableEntriesAreReportedAsDamaged) {
  const std::string whole = ThreeItems();
  const std::vector<size_t> central = RecordsOf(whole, "PK\x01\x02");
  ASSERT_EQ(central.size(), 3u);
  // The last entry's name length runs past the end of the file.
  std::string longName = whole;
  longName[central[2] + 28] = '\xFF';
  longName[central[2] + 29] = '\xFF';
  // An extra length that runs past it.
  std::string longExtra = whole;
  longExtra[central[2] + 30] = '\xFF';
  longExtra[central[2] + 31] = '\xFF';
  const std::string moreEntries = [] {
    ZipEntry e;
    e.name = "a";
    e.data = "1";
    return ZipBuilder().Add(e).Add(e).EntryCount(9).Build();
  }();
  const std::string markerCount = [] {
    ZipEntry e;
    e.name = "a";
    e.data = "1";
    return ZipBuilder().Add(e).EntryCount(0xFFFF).Build();
  }();
  // Fewer entries counted than the directory holds: the rest would be hidden.
  std::string fewerEntries = whole;
  const size_t end = whole.rfind("PK\x05\x06");
  fewerEntries[end + 8] = fewerEntries[end + 10] = 2;
  for (const std::string* bytes :
       std::vector<const std::string*>{&longName, &longExtra, &moreEntries, &markerCount, &fewerEntries}) {
    OpenedArchive a(*bytes);
    EXPECT_EQ(a.manager.DirectoryState, dsRebuiltDamaged);
    EXPECT_GE(a.Count(), 1);
  }
  EXPECT_EQ(OpenedArchive(fewerEntries).Count(), 3);
  // A directory whose size takes in a few other bytes before the end record is still read as
  // stored: only another central header there means hidden entries.
  std::string padded = whole;
  padded.insert(end, "xxxxxxxx");
  padded[end + 8 + 12] = static_cast<char>(padded[end + 8 + 12] + 8);
  OpenedArchive read(padded);
  EXPECT_EQ(read.manager.DirectoryState, dsStored);
  EXPECT_EQ(read.Count(), 3);
}

TEST(DirectoryState, AManagerReadAgainForgetsAnEarlierRebuild) {
  // The same manager over a cut copy and then over the whole archive.
  const std::string whole = ThreeItems();
  OpenedArchive a(whole.substr(0, whole.size() - 5));
  EXPECT_EQ(a.manager.DirectoryState, dsRebuiltCutOff);
  a.stream.Clear();
  a.stream.WriteBuffer(whole.data(), whole.size());
  a.manager.ReadDirectory(a.stream);
  EXPECT_EQ(a.manager.DirectoryState, dsStored);
  EXPECT_EQ(a.Count(), 3);
}

}  // namespace
