// The split-set writer of split_set.h.
#include "tests/component/split_set.h"

#include <cstdint>

#include "tests/support/zip_builder.h"

namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

std::vector<std::string> BuildSplitSet(const SplitSetLayout& layout) {
  std::vector<std::string> volumes;
  std::string directoryHeaders;
  std::vector<std::string> headers;
  for (size_t i = 0; i < layout.entries.size(); ++i) {
    if (i % layout.entriesPerVolume == 0) volumes.push_back(volumes.empty() ? layout.firstVolumePrefix : "");
    const auto& [name, data] = layout.entries[i];
    std::string& volume = volumes.back();
    const auto offset = static_cast<uint32_t>(volume.size());
    const uint32_t crc = TestCrc32(data);
    const auto size = static_cast<uint32_t>(data.size());
    Put32(volume, 0x04034B50);
    Put16(volume, 20); Put16(volume, 0); Put16(volume, 0); Put16(volume, 0x6000); Put16(volume, 0x5A21);
    Put32(volume, crc); Put32(volume, size); Put32(volume, size);
    Put16(volume, static_cast<uint32_t>(name.size())); Put16(volume, 0);
    volume += name;
    volume += data;
    std::string h;
    Put32(h, 0x02014B50);
    Put16(h, 20); Put16(h, 20); Put16(h, 0); Put16(h, 0); Put16(h, 0x6000); Put16(h, 0x5A21);
    Put32(h, crc); Put32(h, size); Put32(h, size);
    Put16(h, static_cast<uint32_t>(name.size())); Put16(h, 0); Put16(h, 0);
    Put16(h, static_cast<uint32_t>(volumes.size() - 1)); Put16(h, 0); Put32(h, 0x20); Put32(h, offset);
    h += name;
    headers.push_back(h);
  }
  const auto startDisk = static_cast<uint32_t>(volumes.size());
  volumes.emplace_back();
  uint32_t onLastDisk = 0;
  uint32_t directorySize = 0;
  for (size_t i = 0; i < headers.size(); ++i) {
    if (layout.headersPerVolume != 0 && onLastDisk == layout.headersPerVolume) {
      volumes.emplace_back();
      onLastDisk = 0;
    }
    volumes.back() += headers[i];
    directorySize += static_cast<uint32_t>(headers[i].size());
    ++onLastDisk;
  }
  std::string& last = volumes.back();
  Put32(last, 0x06054B50);
  Put16(last, static_cast<uint32_t>(volumes.size() - 1));
  Put16(last, startDisk);
  Put16(last, onLastDisk);
  Put16(last, static_cast<uint32_t>(headers.size()));
  Put32(last, directorySize);
  Put32(last, 0);  // the directory starts at the beginning of its first volume
  Put16(last, 0);
  return volumes;
}
