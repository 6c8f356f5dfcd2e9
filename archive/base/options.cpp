// Assignment of the option objects and the volume size limits.
#include "archive/base/options.h"

void TQPOptions::Assign(const TPersistent& source) {
  const auto* other = dynamic_cast<const TQPOptions*>(&source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  // ShareMode stays the target's own: it describes how this component opens the files it
  // adds, which a copied set of search and extraction settings should not change.
  Recurse = other->Recurse;
  StorePath = other->StorePath;
  OverwriteMode = other->OverwriteMode;
  CreateDirs = other->CreateDirs;
  ReplaceReadOnly = other->ReplaceReadOnly;
  SetAttributes = other->SetAttributes;
  SearchAttr = other->SearchAttr;
  FlushBuffers = other->FlushBuffers;
  OEMFileNames = other->OEMFileNames;
}

void TQPSpanningOptions::Assign(const TPersistent& source) {
  const auto* other = dynamic_cast<const TQPSpanningOptions*>(&source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  AdvancedNaming = other->AdvancedNaming;
  FirstVolumeSize = other->FirstVolumeSize;
  VolumeSize = other->VolumeSize;
  // Copied as it stands: a source that still holds the constructor's 0 passes on 0.
  customVolumeSize_ = other->customVolumeSize_;
}

void TQPSpanningOptions::SetCustomVolumeSize(int64_t value) {
  // A volume must at least hold the largest fixed-size records and a useful amount of data.
  constexpr int64_t kMinimumVolumeSize = 65536;
  customVolumeSize_ = value < kMinimumVolumeSize ? kMinimumVolumeSize : value;
}

int64_t TQPSpanningOptions::VolumeSizeLimit(bool first) const {
  if (first && FirstVolumeSize > 0) return FirstVolumeSize;
  switch (VolumeSize) {
    case vsAutoDetect: return -1;
    case vsCustom: return customVolumeSize_;
    case vs1_44MB: return 1457664;
    case vs100MB: return 104857600;
    case vs200MB: return 209715200;
    case vs250MB: return 262144000;
    case vs600MB: return 629145600;
    case vs650MB: return 681574400;
    case vs700MB: return 734003200;
    case vs4700MB: return 4928307200;
  }
  return -1;
}
