// TQPExtractRun: the state of one run of the per-item loop, owned by the run and gone with
// it. Progress events, the overwrite steps and the decoder read and write it here instead of
// in fields of the component.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "archive/component/types.h"
#include "archive/extract/decode_ahead.h"
#include "archive/extract/decrypt_ahead.h"
#include "archive/extract/inflater.h"
#include "platform/platform.h"

struct TQPExtractRun {
  TQPProcessOperation Operation = poExtract;
  int32_t ItemsDone = 0;
  int32_t ItemsTotal = 0;
  // Set by a progress handler, or by the answer Cancel to a full disk; ends the run.
  bool Cancel = false;
  // The decoder's buffers (and its inflate-ahead thread), kept for every item of the run so
  // that memory stays fixed and small items pay no allocation.
  TQPInflater Inflater;
  // The second input buffer and thread that decrypt the next block of an encrypted item.
  TQPDecryptAhead DecryptAhead;
  // The destination folders made sure of in this run, so that items alternating between
  // folders do not walk each folder's tree again from the root; the last one apart, since
  // items mostly arrive folder by folder.
  std::u16string LastEnsuredDir;
  std::unordered_set<std::u16string> EnsuredDirs;
  // Each destination folder's listing is checked once per run, not once per file.
  qp::platform::FolderListingScope Listings;
  // Whether the destination's drive (by letter) is removable, for the flush rule: a drive
  // does not change its type during a run, and asking costs several system calls per file.
  // 0 not asked yet, 1 removable, 2 not; the last slot is the current drive's.
  uint8_t DriveRemovable[27] = {};
  // The workers that decode the run's items ahead of the loop; last, so that they are
  // stopped and joined first when the run ends.
  TQPDecodeAhead Ahead;
};
