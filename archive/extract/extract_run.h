// TQPExtractRun: one run of the per-item loop (an ExtractFiles or a TestFiles), owning what
// lives exactly as long as the run: the counters, Cancel, the decoder's buffers and workers,
// and the destination rules learnt on the way (folders made, listings, drive kinds). It
// borrows the component that started it (IQPRunHost) for the run's length; per-item state
// lives in the steps of one item and in the decode job.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>

#include "archive/base/types.h"
#include "archive/extract/decode_ahead.h"
#include "archive/extract/decrypt_ahead.h"
#include "archive/extract/inflater.h"
#include "platform/platform.h"

class IQPRunHost;
class TQPPendingFile;
struct TDirItem;

class TQPExtractRun {
 public:
  TQPExtractRun(IQPRunHost& host, TQPProcessOperation operation) : host_(host), Operation(operation) {}
  TQPExtractRun(const TQPExtractRun&) = delete;
  TQPExtractRun& operator=(const TQPExtractRun&) = delete;

  // The loop over the tagged items: every one when `itemIndex` is -1, else that one only.
  void Process(int32_t itemIndex);

 private:
  IQPRunHost& host_;

 public:
  // Read by the decoder's progress reports while an item is decoded.
  const TQPProcessOperation Operation;
  int32_t ItemsDone = 0;
  int32_t ItemsTotal = 0;
  // Set by a progress handler, or by the answer Cancel to a full disk; ends the run.
  bool Cancel = false;
  // The decoder's buffers (and its inflate-ahead thread), kept for every item of the run so
  // that memory stays fixed and small items pay no allocation.
  TQPInflater Inflater;
  // The second input buffer and thread that decrypt the next block of an encrypted item.
  TQPDecryptAhead DecryptAhead;

 private:
  // One item with its retries; false when the run is to end after it (Abort).
  [[nodiscard]] bool ProcessItem(int32_t index);
  void TestOneItem(int32_t index);

  // ----- the steps of extracting one item (extract_item.cpp) -----
  // `base` is the destination folder with its trailing '\'.
  void ExtractOneItem(int32_t index, const std::u16string& base);
  // Where the item goes (`dest`), after OnExtractFile (which may change `name` and `attr`),
  // the name checks and the folders it needs; false for a folder item, which needs no more.
  [[nodiscard]] bool ResolveDestination(const TDirItem& item, std::u16string& name, uint32_t& attr, const std::u16string& base,
                          std::u16string& dest);
  // The file the item's data is written to, after the overwrite rules; null when the rules
  // keep the existing file.
  std::unique_ptr<TQPPendingFile> DecideOverwrite(const TDirItem& item, const std::u16string& name,
                                                  std::u16string& dest);
  // Creates a destination folder, once per run for each folder. Links are followed only in
  // the first `trusted` characters (the destination the person chose): one planted below it
  // would lead the items elsewhere (the call fails, native error 20).
  [[nodiscard]] bool EnsureDirectory(const std::u16string& folder, size_t trusted);
  // The flush rule's question, answered once per drive and run.
  [[nodiscard]] bool OnRemovableDrive(const std::u16string& path);

  // The destination folders made sure of in this run, so that items alternating between
  // folders do not walk each folder's tree again from the root; the last one apart, since
  // items mostly arrive folder by folder.
  std::u16string lastEnsuredDir_;
  std::unordered_set<std::u16string> ensuredDirs_;
  // Each destination folder's listing is checked once per run, not once per file.
  qp::platform::FolderListingScope listings_;
  // Whether the destination's drive (by letter) is removable, for the flush rule: a drive
  // does not change its type during a run, and asking costs several system calls per file.
  // 0 not asked yet, 1 removable, 2 not; the last slot is the current drive's.
  uint8_t driveRemovable_[27] = {};

 public:
  // The workers that decode the run's items ahead of the loop; last, so that they are
  // stopped and joined first when the run ends.
  TQPDecodeAhead Ahead;
};
