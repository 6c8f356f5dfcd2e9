// TQPDirArray: the item directory, the items in central-directory order, with a names list of
// their folded names for lookup by name, made at the first lookup.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/format/dir_item.h"
#include "archive/directory/string_hash.h"

class TQPDirArray {
 public:
  // Frees every item and empties the names list.
  void Clear();
  // Resizes to n items; new slots start empty. Capacity grows by a doubling step of at most
  // 10,000 items. SetCount(0) frees everything.
  void SetCount(int32_t n);
  int32_t Count() const { return count_; }

  // A copy of item i; native error 2 outside 0..Count()-1.
  TDirItem GetItem(int32_t i) const;
  // Item i itself; native error 3 outside 0..Count()-1.
  TDirItem& ItemRef(int32_t i);
  const TDirItem& ItemRef(int32_t i) const;

  void ClearTags();
  // The highest index whose folded name equals fold(name), or -1.
  [[nodiscard]] bool FindName(std::u16string_view name, int32_t& index);
  // Names item i, keeping the names list in step; native error 59 when it is not.
  void SetEntryName(int32_t i, const std::u16string& name);

 private:
  // Items live in fixed chunks, so growing never moves (or copies) the items already read,
  // and references from ItemRef stay valid while the directory grows.
  static constexpr int32_t kChunkShift = 12;
  static constexpr int32_t kChunkSize = 1 << kChunkShift;
  TDirItem& At(int32_t i) { return chunks_[static_cast<size_t>(i >> kChunkShift)][i & (kChunkSize - 1)]; }
  const TDirItem& At(int32_t i) const {
    return chunks_[static_cast<size_t>(i >> kChunkShift)][i & (kChunkSize - 1)];
  }

  std::vector<std::unique_ptr<TDirItem[]>> chunks_;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
  int32_t growthStep_ = 500;
  TQPHashedStringList names_;
  // Whether names_ was made (at the first FindName) and is kept in step since.
  bool namesListed_ = false;
};
