// ExtractFiles, TestFiles and the per-item loop ProcessFiles: marking the selected items, then
// for each one the confirmation, progress and extraction (or test), with retry, ignore, abort
// and cancel, all under the engine's process-wide lock.
#include <algorithm>

#include "archive/component/archiver.h"
#include "archive/base/exception.h"
#include "archive/extract/extract_run.h"
#include "archive/extract/mask_match.h"
#include "archive/component/process_lock.h"
#include "platform/platform.h"

namespace {

constexpr int32_t kNothingSelected = -2;

std::u16string WithTrailingSeparator(std::u16string path) {
  if (path.empty() || path.back() != u'\\') path += u'\\';
  return path;
}

}  // namespace

int32_t TQPBaseArchiver::TagSelectedItems(const std::u16string& FileMask, int32_t SearchAttr,
                                          const std::u16string& ExclusionMask) {
  if (!IsOpen() || !source_->DirManager()) throw EQPException(neArchiveNotOpen, this);
  TQPDirArray& dir = source_->DirManager()->Directory;
  // An empty mask with a FileMasks list selects through the lists (FileMasks and
  // ExclusionMasks); an empty mask alone selects nothing.
  const bool useLists = FileMask.empty() && !FileMasks.empty();
  const bool markAll = Options().Recurse || HasWildcards(FileMask) || !ExclusionMask.empty() ||
                       SearchAttr != kQPDefaultSearchAttr || useLists;
  TQPArchiveItem item;
  if (markAll) {
    dir.ClearTags();
    bool found;
    if (useLists) {
      TInternalSearchRec& h = item.Handle;
      h = TInternalSearchRec{};
      h.UseMaskLists = true;
      h.HasWildcards = true;
      h.SearchAttr = SearchAttr;
      found = SearchStep(item);
    } else {
      found = FindFirst(FileMask, item, SearchAttr, ExclusionMask);
    }
    while (found) {
      dir.ItemRef(item.Handle.ItemIndex).IsTagged = true;
      found = FindNext(item);
    }
    return -1;
  }
  if (FindFirst(FileMask, item, SearchAttr, ExclusionMask)) {
    dir.ItemRef(item.Handle.ItemIndex).IsTagged = true;
    return item.Handle.ItemIndex;
  }
  return kNothingSelected;
}

void TQPBaseArchiver::ExtractFiles(const std::u16string& FileMask, int32_t SearchAttr,
                                   const std::u16string& ExclusionMask) {
  const int32_t selected = TagSelectedItems(FileMask, SearchAttr, ExclusionMask);
  if (selected != kNothingSelected) ProcessFiles(poExtract, selected);
}

void TQPBaseArchiver::TestFiles(const std::u16string& FileMask, int32_t SearchAttr,
                                const std::u16string& ExclusionMask) {
  const int32_t selected = TagSelectedItems(FileMask, SearchAttr, ExclusionMask);
  if (selected != kNothingSelected) ProcessFiles(poTest, selected);
}

std::u16string TQPBaseArchiver::DestinationBase() {
  if (rememberedCurrentDir_.empty()) rememberedCurrentDir_ = qp::platform::CurrentFolder();
  return WithTrailingSeparator(BaseDir.empty() ? rememberedCurrentDir_ : BaseDir);
}

void TQPBaseArchiver::StartDecodeAhead(TQPDecodeAhead& ahead) {
  if (spanningMode_ != smNone) return;
  ahead.Start(source_->DirManager()->Directory, source_->DirManager()->DirectoryStart, source_->Stream());
}

void TQPBaseArchiver::ProcessFiles(TQPProcessOperation Operation, int32_t ItemIndex) {
  TQPProcessLockGuard lock;
  // The run's state lives as long as the run and goes with it on every way out.
  TQPExtractRun run(*this, Operation);
  run.Process(ItemIndex);
}

void TQPExtractRun::Process(int32_t itemIndex) {
  TQPDirArray& dir = host_.RunDirectory();
  if (itemIndex == -1) {
    for (int32_t i = 0; i < dir.Count(); ++i)
      if (dir.ItemRef(i).IsTagged) ++ItemsTotal;
  } else {
    ItemsTotal = 1;
  }

  host_.DoOnOverallProgress(0.0, Operation, ppStart, Cancel);
  if (Cancel) return;

  const bool onePass = itemIndex != -1;
  // Decoding ahead on worker threads (decode_ahead.h): single-file archives, many items.
  if (!onePass) host_.StartDecodeAhead(Ahead);
  for (int32_t i = onePass ? itemIndex : 0; i >= 0 && i < dir.Count(); ++i) {
    TDirItem& item = dir.ItemRef(i);
    if (!item.IsTagged) {
      if (onePass) break;
      continue;
    }
    item.PendingOperation = Operation;
    if (!ProcessItem(i) || Cancel || onePass) break;
  }

  const bool cancelled = Cancel;
  host_.DoOnOverallProgress(100.0, Operation, ppEnd, Cancel);
  Cancel = Cancel || cancelled;
}

bool TQPExtractRun::ProcessItem(int32_t index) {
  // The dispatchers take the stored name and hand the engine path form to the handlers.
  const std::u16string& name = host_.RunDirectory().ItemRef(index).ItemName;
  for (;;) {
    TQPAction action = fxaIgnore;
    try {
      bool confirm = true;
      host_.DoOnConfirmProcessFile(name, Operation, confirm);
      if (!confirm) return true;
      const std::u16string base = host_.DestinationBase();
      host_.DoOnFileProgress(name, 0.0, Operation, ppStart, Cancel);
      if (Cancel) return true;
      if (Operation == poTest)
        TestOneItem(index);
      else
        ExtractOneItem(index, base);
      // A dispatcher without a handler clears Cancel; that must not undo a cancellation.
      const bool cancelled = Cancel;
      host_.DoOnFileProgress(name, 100.0, Operation, ppEnd, Cancel);
      Cancel = Cancel || cancelled;
      if (!Cancel) ++ItemsDone;
      return true;
    } catch (const EQPException& e) {
      host_.SetFailureSystemError(e.SystemError);
      host_.DoOnProcessFileFailure(name, Operation, e.NativeError, e.ErrorCode, e.Message(), action);
      host_.SetFailureSystemError(0);
      if (action == fxaAbort) return false;
      if (action != fxaRetry) return true;
    }
  }
}
