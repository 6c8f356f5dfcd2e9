// Fuzzes the whole opening path: end-record search, ZIP64 records, the directory reader,
// the archive-start search, offset correction and the rebuild from local headers. Any input
// must open or raise EQPException.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/directory/dir_manager.h"
#include "archive/base/exception.h"

namespace {

class FuzzOwner : public TQPDirManagerOwner {
 public:
  bool oem = true;
  bool GetOEMFileNames() const override { return oem; }
  TQPSpanningMode GetSpanningMode() const override { return smNone; }
  TQPStream* SwitchVolume(const TQPVolumeNumberInfo&) override { throw EQPException(neVolumeRequestCancelled, nullptr); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TQPMemoryStream stream(std::vector<uint8_t>(data, data + size));
  FuzzOwner owner;
  owner.oem = size > 0 && (data[0] & 1);
  TQPDirManager manager(&owner);
  try {
    manager.ReadDirectory(stream);
    int32_t index;
    for (int32_t i = 0; i < manager.Directory.Count(); ++i)
      static_cast<void>(manager.Directory.FindName(manager.Directory.ItemRef(i).ItemName, index));
  } catch (const EQPException&) {
  }
  return 0;
}
