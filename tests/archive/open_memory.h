// Opens an archive held in memory with a directory manager and a stand-in owner, so the
// reader can be driven without the component.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archive/directory/dir_manager.h"
#include "archive/base/exception.h"

class TestOwner : public TQPDirManagerOwner {
 public:
  bool oemNames = false;
  TQPSpanningMode spanning = smNone;
  bool GetOEMFileNames() const override { return oemNames; }
  TQPSpanningMode GetSpanningMode() const override { return spanning; }
  TQPStream* SwitchVolume(const TQPVolumeNumberInfo&) override { throw EQPException(45, nullptr); }
};

struct OpenedArchive {
  explicit OpenedArchive(const std::string& bytes, bool oemNames = false)
      : stream(std::vector<uint8_t>(bytes.begin(), bytes.end())), manager(&owner) {
    owner.oemNames = oemNames;
    manager.ReadDirectory(stream);
  }
  std::u16string Name(int32_t i) { return manager.Directory.ItemRef(i).ItemName; }
  int32_t Count() { return manager.Directory.Count(); }

  TQPMemoryStream stream;
  TestOwner owner;
  TQPDirManager manager;
};
