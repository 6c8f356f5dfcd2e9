// FindFirst and FindNext: selecting items of the open archive by a mask, an exclusion mask
// and search attributes, and filling the public search record of the item found.
#include <algorithm>
#include <cstring>

#include "archive/component/archiver.h"
#include "archive/base/exception.h"
#include "archive/extract/mask_match.h"
#include "archive/format/ascii_fold.h"
#include "archive/format/item_path.h"

namespace {

// Removes "X:" or "\\server\share" in front of a mask, and the separator after it: stored
// names never begin with one, so "C:\docs\a.txt" is to find "docs/a.txt".
std::u16string WithoutDrive(const std::u16string& mask) {
  size_t cut = 0;
  if (mask.size() >= 2 && mask[1] == u':') {
    cut = 2;
  } else if (mask.size() >= 2 && mask[0] == u'\\' && mask[1] == u'\\') {
    const size_t server = mask.find(u'\\', 2);
    const size_t share = server == std::u16string::npos ? server : mask.find(u'\\', server + 1);
    cut = share == std::u16string::npos ? mask.size() : share;
  } else {
    return mask;
  }
  if (cut < mask.size() && (mask[cut] == u'\\' || mask[cut] == u'/')) ++cut;
  return mask.substr(cut);
}

// The folder part of a name or mask (through its last separator of either kind), in the
// stored form and lower-cased, so that folders compare whatever their separators.
std::u16string FolderKey(std::u16string_view name) {
  const size_t sep = name.find_last_of(u"/\\");
  return QPFoldAscii(QPStoredFormOf(sep == std::u16string_view::npos ? std::u16string_view() : name.substr(0, sep + 1)));
}

std::u16string MaskOf(const TInternalSearchRec& handle) {
  return std::u16string(handle.FileMask.data());
}

}  // namespace

bool TQPBaseArchiver::FindFirst(const std::u16string& FileMask, TQPArchiveItem& Item, int32_t SearchAttr,
                                const std::u16string& ExclusionMask) {
  std::u16string mask = FileMask;
  if (Options().StorePath != spFullPathWithDrive) mask = WithoutDrive(mask);
  // Stored names are looked up by the stored form.
  mask = QPStoredFormOf(mask);
  // The search record has a fixed field for the mask; a longer one is refused, never cut.
  if (mask.size() > TInternalSearchRec::kMaxMaskLength) throw EQPException(neMaskTooLong, this, {FileMask});
  TInternalSearchRec& h = Item.Handle;
  h.FileMask.fill(0);
  std::copy(mask.begin(), mask.end(), h.FileMask.begin());
  h.ExclusionMask = ExclusionMask;
  h.UseMaskLists = false;
  h.HasWildcards = HasWildcards(mask);
  h.SearchAttr = SearchAttr;
  h.ItemIndex = 0;
  return SearchStep(Item);
}

bool TQPBaseArchiver::FindNext(TQPArchiveItem& Item) {
  Item.Handle.ItemIndex += 1;
  return SearchStep(Item);
}

bool TQPBaseArchiver::NameTestPasses(const TInternalSearchRec& handle, const std::u16string& storedName) const {
  if (handle.UseMaskLists) {
    // The lists are written in the engine path form, the single mask in the stored one.
    const std::u16string name = QPEnginePathOf(storedName);
    const auto matches = [&](const std::u16string& m) { return MatchesMask(name, m); };
    return std::any_of(FileMasks.begin(), FileMasks.end(), matches) &&
           std::none_of(ExclusionMasks.begin(), ExclusionMasks.end(), matches);
  }
  std::u16string_view name = storedName;
  if (QPNameIsFolder(name)) name.remove_suffix(1);
  const std::u16string mask = MaskOf(handle);
  bool pass = MatchesMask(name, mask);
  if (!pass) {
    const size_t sep = name.find_last_of(u"/\\");
    if (sep != std::u16string_view::npos) pass = MatchesMask(name.substr(sep + 1), mask);
  }
  // The exclusion sees the full stored name only.
  return pass && !MatchesMask(name, handle.ExclusionMask);
}

bool TQPBaseArchiver::SearchStep(TQPArchiveItem& Item) {
  if (!source_->DirManager()) return false;
  TQPDirArray& dir = source_->DirManager()->Directory;
  TInternalSearchRec& h = Item.Handle;
  if (h.ItemIndex < 0) h.ItemIndex = 0;
  const bool recurse = Options().Recurse;
  int32_t found = -1;
  if (h.HasWildcards || recurse || h.UseMaskLists) {
    const std::u16string maskFolder = recurse ? std::u16string() : FolderKey(MaskOf(h));
    for (int32_t i = h.ItemIndex; i < dir.Count(); ++i) {
      const TDirItem& item = dir.ItemRef(i);
      if (!recurse) {
        std::u16string_view name = item.ItemName;
        if (QPNameIsFolder(name)) name.remove_suffix(1);
        if (FolderKey(name) != maskFolder) continue;
      }
      if (!NameTestPasses(h, item.ItemName)) continue;
      // Hidden, system, volume and folder items only when asked for; read-only and archive
      // bits never exclude.
      if ((item.CentralDirItem.ExternalAttributes & 0x1E & ~static_cast<uint32_t>(h.SearchAttr)) != 0) continue;
      found = i;
      break;
    }
  } else {
    int32_t index = -1;
    if (dir.FindName(MaskOf(h), index) && index >= h.ItemIndex) found = index;
  }
  if (found < 0) return false;
  h.ItemIndex = found;
  FillSearchRecord(found, Item);
  return true;
}

void TQPBaseArchiver::FillSearchRecord(int32_t index, TQPArchiveItem& Item) {
  const TDirItem& item = source_->DirManager()->Directory.ItemRef(index);
  std::u16string name = QPEnginePathOf(item.ItemName);
  if (!name.empty() && name.back() == u'\\') name.pop_back();
  const size_t sep = name.rfind(u'\\');
  Item.FileName = sep == std::u16string::npos ? name : name.substr(sep + 1);
  Item.StoredPath = sep == std::u16string::npos ? std::u16string() : name.substr(0, sep + 1);
  Item.CompressedSize = static_cast<int64_t>(item.CompressedSize());
  Item.UncompressedSize = static_cast<int64_t>(item.UncompressedSize());
  double rate = 100;
  if (Item.UncompressedSize > 0)
    rate = (1.0 - static_cast<double>(Item.CompressedSize) / static_cast<double>(Item.UncompressedSize)) * 100;
  Item.CompressionRate = rate < 0 ? 0 : rate;
  Item.Encrypted = item.IsEncrypted();
  Item.ModDate = item.CentralDirItem.Date;
  Item.ModTime = item.CentralDirItem.Time;
  Item.Crc32 = item.CentralDirItem.Crc32;
  Item.ExternalAttributes = item.CentralDirItem.ExternalAttributes;
  Item.Comment = item.ItemComment;
}
