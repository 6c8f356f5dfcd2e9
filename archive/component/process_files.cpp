// ExtractFiles, TestFiles and ProcessFiles: marking the selected items, then one run of the
// per-item loop (extract/extract_run.h) over them under the engine's process-wide lock, and
// what that run asks of the component.
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
