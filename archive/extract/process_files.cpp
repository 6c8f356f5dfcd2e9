// ExtractFiles, TestFiles and the per-item loop ProcessFiles: marking the selected items, then
// for each one the confirmation, progress and extraction (or test), with retry, ignore, abort
// and cancel, all under the engine's process-wide lock.
#include <algorithm>

#include "archive/component/archiver.h"
#include "archive/component/exception.h"
#include "archive/extract/extract_run.h"
#include "archive/component/process_lock.h"
#include "platform/platform.h"

namespace {

constexpr int32_t kDefaultSearchAttr = 10431;
constexpr int32_t kNothingSelected = -2;

bool HasWildcards(const std::u16string& mask) { return mask.find_first_of(u"*?") != std::u16string::npos; }

std::u16string WithTrailingSeparator(std::u16string path) {
  if (path.empty() || path.back() != u'\\') path += u'\\';
  return path;
}

}  // namespace

int32_t TQPBaseArchiver::TagSelectedItems(const std::u16string& FileMask, int32_t SearchAttr,
                                          const std::u16string& ExclusionMask) {
  if (!IsOpen() || !dirManager_) throw EQPException(neArchiveNotOpen, this);
  TQPDirArray& dir = dirManager_->Directory;
  // An empty mask with a FileMasks list selects through the lists (FileMasks and
  // ExclusionMasks); an empty mask alone selects nothing.
  const bool useLists = FileMask.empty() && !FileMasks.empty();
  const bool markAll = Options().Recurse || HasWildcards(FileMask) || !ExclusionMask.empty() ||
                       SearchAttr != kDefaultSearchAttr || useLists;
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

void TQPBaseArchiver::ProcessFiles(TQPProcessOperation Operation, int32_t ItemIndex) {
  TQPProcessLockGuard lock;
  TQPDirArray& dir = dirManager_->Directory;

  // The run's state lives as long as the run and goes with it on every way out.
  TQPExtractRun run;
  run.Operation = Operation;
  if (ItemIndex == -1) {
    for (int32_t i = 0; i < dir.Count(); ++i)
      if (dir.ItemRef(i).IsTagged) ++run.ItemsTotal;
  } else {
    run.ItemsTotal = 1;
  }

  DoOnOverallProgress(0.0, Operation, ppStart, run.Cancel);
  if (run.Cancel) return;

  const bool onePass = ItemIndex != -1;
  // Decoding ahead on worker threads (decode_ahead.h): single-file archives, many items.
  if (!onePass && spanningMode_ == smNone) run.Ahead.Start(dir, dirManager_->DirectoryStart, stream_.get());
  for (int32_t i = onePass ? ItemIndex : 0; i >= 0 && i < dir.Count(); ++i) {
    TDirItem& item = dir.ItemRef(i);
    if (!item.IsTagged) {
      if (onePass) break;
      continue;
    }
    item.PendingOperation = Operation;
    TQPAction action = fxaIgnore;
    for (;;) {
      action = fxaIgnore;
      std::u16string name = item.ItemName;
      std::replace(name.begin(), name.end(), u'/', u'\\');
      try {
        bool confirm = true;
        DoOnConfirmProcessFile(name, Operation, confirm);
        if (!confirm) break;
        if (rememberedCurrentDir_.empty()) rememberedCurrentDir_ = qp::platform::CurrentFolder();
        const std::u16string base = WithTrailingSeparator(BaseDir.empty() ? rememberedCurrentDir_ : BaseDir);
        DoOnFileProgress(item.ItemName, 0.0, Operation, ppStart, run.Cancel);
        if (run.Cancel) break;
        if (Operation == poTest)
          TestOneItem(run, i);
        else
          ExtractOneItem(run, i, name, base);
        // A dispatcher without a handler clears Cancel; that must not undo a cancellation.
        const bool cancelled = run.Cancel;
        DoOnFileProgress(item.ItemName, 100.0, Operation, ppEnd, run.Cancel);
        run.Cancel = run.Cancel || cancelled;
        if (!run.Cancel) ++run.ItemsDone;
        break;
      } catch (const EQPException& e) {
        DoOnProcessFileFailure(name, Operation, e.NativeError, e.ErrorCode, e.Message(), action);
        if (action != fxaRetry) break;
      }
    }
    if (action == fxaAbort || run.Cancel || onePass) break;
  }

  const bool cancelled = run.Cancel;
  DoOnOverallProgress(100.0, Operation, ppEnd, run.Cancel);
  run.Cancel = run.Cancel || cancelled;
}
