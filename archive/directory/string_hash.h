// Name lookup: TQPStringHash, a chained hash from UTF-16 keys to list positions, and
// TQPHashedStringList, an ordered string list with a lazily built hash index over its
// folded entries. Among equal keys the one inserted last is found first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct THashItem {
  THashItem* Next;
  std::u16string Key;
  int32_t Value;
};

class TQPStringHash {
 public:
  explicit TQPStringHash(uint32_t bucketCount);
  virtual ~TQPStringHash();
  TQPStringHash(const TQPStringHash&) = delete;
  TQPStringHash& operator=(const TQPStringHash&) = delete;

  void Insert(const std::u16string& key, int32_t value);
  // Removes the entry that maps `key` to `value`: among equal keys (two items of one name)
  // only that one, so that the others stay findable.
  void Remove(const std::u16string& key, int32_t value);
  // The value of the most recently inserted equal key, or -1.
  int32_t Lookup(std::u16string_view key) const;
  void ClearBuckets();
  uint32_t BucketCount() const { return static_cast<uint32_t>(buckets_.size()); }

  virtual uint32_t HashOf(std::u16string_view key) const;

 private:
  std::vector<THashItem*> buckets_;
};

class TQPHashedStringList {
 public:
  TQPHashedStringList() = default;
  ~TQPHashedStringList();
  TQPHashedStringList(const TQPHashedStringList&) = delete;
  TQPHashedStringList& operator=(const TQPHashedStringList&) = delete;

  int32_t Add(const std::u16string& s);
  void Replace(int32_t index, const std::u16string& s);
  void Clear();
  // Position of the entry equal to s after folding, or -1.
  int32_t IndexOf(std::u16string_view s);
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  const std::u16string& operator[](int32_t index) const { return items_[static_cast<size_t>(index)]; }

 private:
  void DropIndex();

  std::vector<std::u16string> items_;
  TQPStringHash* index_ = nullptr;
};
