// The item directory.
#include "archive/dir_array.h"

#include <algorithm>

#include "archive/exception.h"

namespace {
constexpr int32_t kMaxGrowthStep = 10000;
}

void TQPDirArray::Clear() {
  items_.clear();
  names_.Clear();
}

void TQPDirArray::SetCount(int32_t n) {
  if (n <= 0) {
    std::vector<TDirItem>().swap(items_);
    names_.Clear();
    growthStep_ = 500;
    return;
  }
  size_t wanted = static_cast<size_t>(n);
  if (wanted > items_.capacity()) {
    growthStep_ = std::min(growthStep_ * 2, kMaxGrowthStep);
    items_.reserve(std::max(items_.capacity() + static_cast<size_t>(growthStep_), wanted));
  }
  items_.resize(wanted);
}

TDirItem TQPDirArray::GetItem(int32_t i) const {
  if (i < 0 || i >= Count()) throw EQPException(2, nullptr);
  return items_[static_cast<size_t>(i)];
}

TDirItem& TQPDirArray::ItemRef(int32_t i) {
  if (i < 0 || i >= Count()) throw EQPException(3, nullptr);
  return items_[static_cast<size_t>(i)];
}

const TDirItem& TQPDirArray::ItemRef(int32_t i) const {
  if (i < 0 || i >= Count()) throw EQPException(3, nullptr);
  return items_[static_cast<size_t>(i)];
}

void TQPDirArray::ClearTags() {
  for (TDirItem& item : items_) item.IsTagged = false;
}

bool TQPDirArray::FindName(std::u16string_view name, int32_t& index) {
  index = names_.IndexOf(name);
  return index >= 0;
}

void TQPDirArray::SetEntryName(int32_t i, const std::u16string& name) {
  TDirItem& item = ItemRef(i);
  // Whether item i is named yet is told by the names list's length, not by looking its
  // current (empty) name up: that lookup would find any earlier item whose real name is
  // empty, and one nameless item would then block the names of all later ones.
  if (i == names_.Count()) {
    names_.Add(FoldName(name));
  } else if (i < names_.Count() && names_[i] == FoldName(item.ItemName)) {
    names_.Replace(i, FoldName(name));
  } else {
    throw EQPException(59, nullptr);
  }
  item.ItemName = name;
}
