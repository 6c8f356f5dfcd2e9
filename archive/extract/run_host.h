// IQPRunHost: what a run of the per-item loop asks of the component that starts it. The
// component implements it with its published dispatchers (so a derived component that
// overrides a DoOn... dispatcher customises the run as before), its options and its open
// archive. The run borrows the host for its own length only.
#pragma once

#include <cstdint>
#include <string>

#include "archive/base/options.h"
#include "archive/base/types.h"

class TComponent;
class TQPDirArray;
class TQPStream;
class TQPExtractRun;
class TQPDecodeAhead;

class IQPRunHost {
 public:
  // ----- the dispatchers the loop raises, with the component's own signatures -----
  virtual void DoOnOverallProgress(double Progress, TQPProcessOperation Operation, TQPProgressPhase Phase,
                                   bool& Cancel) = 0;
  virtual void DoOnFileProgress(const std::u16string& FileName, double Progress, TQPProcessOperation Operation,
                                TQPProgressPhase Phase, bool& Cancel) = 0;
  virtual void DoOnConfirmOverwrite(const std::u16string& SourceFileName, std::u16string& DestFileName,
                                    bool& Confirm) = 0;
  virtual void DoOnConfirmProcessFile(const std::u16string& FileName, TQPProcessOperation Operation,
                                      bool& Confirm) = 0;
  virtual void DoOnProcessFileFailure(const std::u16string& FileName, TQPProcessOperation Operation,
                                      int32_t NativeError, int32_t ErrorCode, const std::u16string& ErrorMessage,
                                      TQPAction& Action) = 0;
  virtual void DoOnExtractFile(std::u16string& FileName, uint32_t& FileAttr, const std::string& Comment) = 0;

  // ----- what the run reads -----
  // The component that raises the run's exceptions (it names them).
  virtual const TComponent* RunComponent() const = 0;
  // Read afresh for every item: the built-in overwrite question may change the mode.
  virtual const TQPOptions& RunOptions() const = 0;
  virtual TQPDirArray& RunDirectory() = 0;
  // The folder items are extracted below, with a trailing '\'.
  virtual std::u16string DestinationBase() = 0;
  // Decodes item `index` into `destination` with the run's progress events; raises what a
  // failure calls for. False when nothing is to be kept although nothing failed.
  [[nodiscard]] virtual bool DecodeItemInto(int32_t index, TQPStream& destination, TQPExtractRun* run) = 0;
  // Starts `ahead`'s workers over the tagged items when the archive allows reading them
  // concurrently (a single file).
  virtual void StartDecodeAhead(TQPDecodeAhead& ahead) = 0;
  // The system's cause of the failure that OnProcessFileFailure is about to hear of (0 for
  // none), for callers that show it apart from the message.
  virtual void SetFailureSystemError(int systemError) = 0;

 protected:
  ~IQPRunHost() = default;
};
