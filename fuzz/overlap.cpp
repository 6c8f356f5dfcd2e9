// Fuzzes the check that items share no bytes: the input chooses, per central entry, which of
// a few local headers it names (or an offset of its own) and its compressed size, so that
// entries overlap, nest and name one header many times. Whatever opens must have items whose
// ranges (fixed local header part plus compressed size, cut at the directory) lie apart and
// start outside the directory; anything else must raise EQPException.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/base/exception.h"
#include "archive/directory/dir_manager.h"

namespace {

class FuzzOwner : public TQPDirManagerOwner {
 public:
  bool GetOEMFileNames() const override { return false; }
  TQPSpanningMode GetSpanningMode() const override { return smNone; }
  TQPStream* SwitchVolume(const TQPVolumeNumberInfo&) override { throw EQPException(neVolumeRequestCancelled, nullptr); }
};

void Put(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Four local headers of one-byte names with 0..255 bytes of stored data each.
  std::string body;
  std::vector<uint32_t> headers;
  for (int h = 0; h < 4; ++h) {
    const uint32_t length = size > static_cast<size_t>(h) ? data[h] : 16;
    headers.push_back(static_cast<uint32_t>(body.size()));
    Put(body, 0x04034B50, 4);
    Put(body, 10, 2);
    Put(body, 0, 6);
    Put(body, 0, 4);
    Put(body, 0, 4);
    Put(body, length, 4);
    Put(body, length, 4);
    Put(body, 1, 2);
    Put(body, 0, 2);
    body.push_back(static_cast<char>('a' + h));
    body.append(length, 'd');
  }
  // Then entries of four input bytes each: the header it names (or, above 3, an offset of
  // its own), a compressed size, and a folder bit.
  std::string directory;
  uint16_t count = 0;
  for (size_t at = 4; at + 4 <= size && count < 64; at += 4, ++count) {
    const uint8_t which = data[at];
    const uint32_t offset = which < 4 ? headers[which] : static_cast<uint32_t>(data[at + 1]) * 4;
    const uint32_t compressed = static_cast<uint32_t>(data[at + 2]) << (data[at + 3] & 7);
    Put(directory, 0x02014B50, 4);
    Put(directory, 20, 2);
    Put(directory, 10, 2);
    Put(directory, 0, 12);
    Put(directory, compressed, 4);
    Put(directory, compressed, 4);
    Put(directory, 1, 2);
    Put(directory, 0, 8);
    Put(directory, (data[at + 3] & 0x80) ? 0x10 : 0x20, 4);
    Put(directory, offset, 4);
    directory.push_back(static_cast<char>('A' + count % 26));
  }
  std::string bytes = body + directory;
  Put(bytes, 0x06054B50, 4);
  Put(bytes, 0, 4);
  Put(bytes, count, 2);
  Put(bytes, count, 2);
  Put(bytes, directory.size(), 4);
  Put(bytes, body.size(), 4);
  Put(bytes, 0, 2);

  TQPMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  FuzzOwner owner;
  TQPDirManager manager(&owner);
  try {
    manager.ReadDirectory(stream);
  } catch (const EQPException&) {
    return 0;
  }
  // The ranges as decoding honours them: a single file's data is cut at the directory.
  struct Range {
    uint64_t begin, end;
  };
  const bool rebuilt = manager.DirectoryStart == bytes.size();
  const uint64_t directoryEnd = manager.DirectoryStart + directory.size();
  std::vector<Range> ranges;
  for (int32_t i = 0; i < manager.Directory.Count(); ++i) {
    const TDirItem& item = manager.Directory.ItemRef(i);
    if (item.IsFolder()) continue;
    Range r{item.LocalHeaderOffset(), item.LocalHeaderOffset() + 30 + item.CompressedSize()};
    if (!rebuilt && r.begin >= manager.DirectoryStart && r.begin < directoryEnd) std::abort();
    if (!rebuilt && r.begin < manager.DirectoryStart) r.end = std::min<uint64_t>(r.end, manager.DirectoryStart);
    ranges.push_back(r);
  }
  for (size_t i = 0; i < ranges.size(); ++i) {
    for (size_t j = i + 1; j < ranges.size(); ++j) {
      if (ranges[i].begin < ranges[j].end && ranges[j].begin < ranges[i].end) std::abort();
    }
  }
  return 0;
}
