// The chained string hash and the hashed string list.
#include "archive/directory/string_hash.h"

#include <algorithm>

#include "archive/format/ascii_fold.h"

TQPStringHash::TQPStringHash(uint32_t bucketCount) : buckets_(std::max<uint32_t>(1, bucketCount), nullptr) {}

TQPStringHash::~TQPStringHash() { ClearBuckets(); }

uint32_t TQPStringHash::HashOf(std::u16string_view key) const {
  uint32_t h = 0;
  for (char16_t c : key) h = ((h << 2) | (h >> 30)) ^ c;
  return h;
}

void TQPStringHash::Insert(const std::u16string& key, int32_t value) {
  THashItem*& head = buckets_[HashOf(key) % buckets_.size()];
  head = new THashItem{head, key, value};
}

void TQPStringHash::Remove(const std::u16string& key, int32_t value) {
  THashItem** link = &buckets_[HashOf(key) % buckets_.size()];
  for (; *link != nullptr; link = &(*link)->Next) {
    if ((*link)->Value == value && (*link)->Key == key) {
      THashItem* doomed = *link;
      *link = doomed->Next;
      delete doomed;
      return;
    }
  }
}

int32_t TQPStringHash::Lookup(std::u16string_view key) const {
  for (const THashItem* item = buckets_[HashOf(key) % buckets_.size()]; item; item = item->Next) {
    if (item->Key == key) return item->Value;
  }
  return -1;
}

void TQPStringHash::ClearBuckets() {
  // Iterative: a hostile archive can put every name into one chain.
  for (THashItem*& head : buckets_) {
    while (head != nullptr) {
      THashItem* next = head->Next;
      delete head;
      head = next;
    }
  }
}

TQPHashedStringList::~TQPHashedStringList() { DropIndex(); }

void TQPHashedStringList::DropIndex() {
  delete index_;
  index_ = nullptr;
}

int32_t TQPHashedStringList::Add(const std::u16string& s) {
  items_.push_back(s);
  int32_t position = Count() - 1;
  if (index_ != nullptr) {
    index_->Insert(QPFoldAscii(s), position);
    // Dropped rather than grown: the next IndexOf builds one sized to the list.
    if (static_cast<uint64_t>(Count()) > 5ull * index_->BucketCount()) DropIndex();
  }
  return position;
}

void TQPHashedStringList::Replace(int32_t index, const std::u16string& s) {
  std::u16string& slot = items_[static_cast<size_t>(index)];
  if (index_ != nullptr) {
    index_->Remove(QPFoldAscii(slot), index);
    index_->Insert(QPFoldAscii(s), index);
  }
  slot = s;
}

void TQPHashedStringList::Clear() {
  items_.clear();
  DropIndex();
}

int32_t TQPHashedStringList::IndexOf(std::u16string_view s) {
  if (index_ == nullptr) {
    index_ = new TQPStringHash(std::max<uint32_t>(1000, static_cast<uint32_t>(items_.size())));
    for (size_t i = 0; i < items_.size(); ++i) index_->Insert(QPFoldAscii(items_[i]), static_cast<int32_t>(i));
  }
  return index_->Lookup(QPFoldAscii(s));
}
