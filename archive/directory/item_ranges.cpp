// Comparing the byte ranges of the items of a directory (see item_ranges.h).
#include "archive/directory/item_ranges.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "archive/base/exception.h"
#include "archive/format/records.h"

namespace {

struct ItemRange {
  uint32_t disk;
  uint64_t begin;
  uint64_t end;
};

// a + b, held at the largest value instead of wrapping round.
uint64_t SaturatedAdd(uint64_t a, uint64_t b) {
  return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max() : a + b;
}

[[noreturn]] void Refuse(const char16_t* why) {
  throw EQPException(neArchiveDamaged, nullptr, TQPEngineCause{why});
}

}  // namespace

void QPCheckItemRangesApart(const TQPDirArray& directory, const TQPDirectorySpan& span, bool perDisk) {
  std::vector<ItemRange> ranges;
  ranges.reserve(static_cast<size_t>(directory.Count()));
  for (int32_t i = 0; i < directory.Count(); ++i) {
    const TDirItem& item = directory.ItemRef(i);
    if (item.IsFolder()) continue;
    // The local header's name and extra lengths are not known here and may differ from the
    // central ones; its fixed part and the compressed size are the least the item takes.
    const uint64_t begin = item.LocalHeaderOffset();
    const uint64_t end = SaturatedAdd(SaturatedAdd(begin, TLocalFileHeader::kSize), item.CompressedSize());
    ranges.push_back({perDisk ? item.DiskNumberStart() : 0, begin, end});
  }
  const uint32_t directoryDisk = perDisk ? span.Disk : 0;
  const bool haveDirectory = span.Begin < span.End;
  for (ItemRange& r : ranges) {
    if (!haveDirectory || r.disk != directoryDisk) continue;
    // A header inside the directory would turn its bytes into an item's data.
    if (r.begin >= span.Begin && r.begin < span.End) Refuse(u"an item starts inside the central directory");
    // Data that claims to run into the directory is cut where the directory starts when it is
    // decoded: that is the size honoured.
    if (r.begin < span.Begin) r.end = std::min(r.end, span.Begin);
  }
  std::sort(ranges.begin(), ranges.end(), [](const ItemRange& a, const ItemRange& b) {
    return a.disk != b.disk ? a.disk < b.disk : a.begin < b.begin;
  });
  // The furthest end reached so far on the disk: an early item may cover several later ones.
  uint64_t reached = 0;
  for (size_t i = 0; i < ranges.size(); ++i) {
    const ItemRange& r = ranges[i];
    if (i == 0 || ranges[i - 1].disk != r.disk) reached = 0;
    else if (r.begin < reached) Refuse(u"overlapping items, possible zip bomb");
    reached = std::max(reached, r.end);
  }
}
