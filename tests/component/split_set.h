// A test-only writer of split sets: stored entries laid out over several volume files, the
// central directory starting on a volume of its own and, when asked, continued over the
// following volumes, the end record (with the set's disk numbers) in the last one.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct SplitSetLayout {
  std::vector<std::pair<std::string, std::string>> entries;  // name, stored content
  size_t entriesPerVolume = 1;
  // Central directory headers per volume; 0 puts the whole directory in the last volume.
  size_t headersPerVolume = 0;
  std::string firstVolumePrefix;  // e.g. a program image in front of the first volume
};

// The bytes of each volume, first to last.
std::vector<std::string> BuildSplitSet(const SplitSetLayout& layout);
