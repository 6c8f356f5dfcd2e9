// The item directory.
#include "archive/directory/dir_array.h"

#include <algorithm>

#include "archive/base/exception.h"
#include "archive/format/ascii_fold.h"

namespace {
constexpr int32_t kMaxGrowthStep = 10000;
}

void TQPDirArray::Clear() {
  SetCount(0);
}

void TQPDirArray::SetCount(int32_t n) {
  if (n <= 0) {
    chunks_.clear();
    names_.Clear();
    namesListed_ = false;
    count_ = capacity_ = 0;
    growthStep_ = 500;
    return;
  }
  if (n > capacity_) {
    growthStep_ = std::min(growthStep_ * 2, kMaxGrowthStep);
    capacity_ = std::max(capacity_ + growthStep_, n);
    const size_t chunksNeeded = static_cast<size_t>((capacity_ + kChunkSize - 1) >> kChunkShift);
    while (chunks_.size() < chunksNeeded) chunks_.push_back(std::make_unique<TDirItem[]>(kChunkSize));
  }
  // Slots given up by shrinking start empty when they are used again.
  for (int32_t i = n; i < count_; ++i) At(i) = TDirItem{};
  if (n < names_.Count()) {
    names_.Clear();
    namesListed_ = false;
  }
  count_ = n;
}

TDirItem TQPDirArray::GetItem(int32_t i) const {
  if (i < 0 || i >= Count()) throw EQPException(neItemIndexOutOfBounds, nullptr);
  return At(i);
}

TDirItem& TQPDirArray::ItemRef(int32_t i) {
  if (i < 0 || i >= Count()) throw EQPException(neNameIndexOutOfBounds, nullptr);
  return At(i);
}

const TDirItem& TQPDirArray::ItemRef(int32_t i) const {
  if (i < 0 || i >= Count()) throw EQPException(neNameIndexOutOfBounds, nullptr);
  return At(i);
}

void TQPDirArray::ClearTags() {
  for (int32_t i = 0; i < count_; ++i) At(i).IsTagged = false;
}

bool TQPDirArray::FindName(std::u16string_view name, int32_t& index) {
  // The names list is made at the first lookup by name, which most runs never make: until
  // then a directory of millions of items does not hold every name a second time.
  for (int32_t i = names_.Count(); i < count_; ++i) names_.Add(QPFoldAscii(At(i).ItemName));
  namesListed_ = true;
  index = names_.IndexOf(name);
  return index >= 0;
}

void TQPDirArray::SetEntryName(int32_t i, const std::u16string& name) {
  TDirItem& item = ItemRef(i);
  // Whether item i is named yet is told by the names list's length, not by looking its
  // current (empty) name up: that lookup would find any earlier item whose real name is
  // empty, and one nameless item would then block the names of all later ones. Before the
  // list is made there is nothing to keep in step.
  if (!namesListed_) {
    item.ItemName = name;
    return;
  }
  if (i == names_.Count()) {
    names_.Add(QPFoldAscii(name));
  } else if (i < names_.Count() && names_[i] == QPFoldAscii(item.ItemName)) {
    names_.Replace(i, QPFoldAscii(name));
  } else {
    throw EQPException(neNameListInvalid, nullptr);
  }
  item.ItemName = name;
}
