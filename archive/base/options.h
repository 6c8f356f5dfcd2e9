// The component's option objects: TQPOptions (search, overwrite, attribute and name
// settings) and TQPSpanningOptions (volume naming and size limits).
#pragma once

#include <cstdint>

#include "archive/base/component_base.h"
#include "archive/base/types.h"

// The default search attributes (0x28BF): every item, folders and hidden ones included. A
// search with other attributes marks items one by one.
constexpr int32_t kQPDefaultSearchAttr = 10431;

class TQPOptions : public TPersistent {
 public:
  void Assign(const TPersistent& source) override;

  bool Recurse = true;
  TQPStorePathMode StorePath = spRelativePath;
  TQPFileShareMode ShareMode = smShareDenyNone;
  TQPOverwriteMode OverwriteMode = omAlways;
  bool CreateDirs = true;
  bool ReplaceReadOnly = true;
  bool SetAttributes = true;
  int32_t SearchAttr = kQPDefaultSearchAttr;
  bool FlushBuffers = true;
  bool OEMFileNames = true;
};

class TQPSpanningOptions : public TPersistent {
 public:
  void Assign(const TPersistent& source) override;

  bool AdvancedNaming = false;
  int64_t FirstVolumeSize = 0;
  TQPVolumeSize VolumeSize = vsAutoDetect;
  int64_t GetCustomVolumeSize() const { return customVolumeSize_; }
  // Values below 65536 are raised to 65536.
  void SetCustomVolumeSize(int64_t value);
  // The size limit of a volume in bytes (-1: fill the medium); `first` for the first volume.
  int64_t VolumeSizeLimit(bool first) const;

 private:
  int64_t customVolumeSize_ = 0;
};
