// One run of the per-item loop: for each tagged item the confirmation, progress and the
// extraction (or test), with retry, ignore, abort and cancel; the overall progress around it.
#include "archive/base/exception.h"
#include "archive/directory/dir_array.h"
#include "archive/extract/extract_run.h"
#include "archive/extract/run_host.h"

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
