// The component's event types. Each handler receives the sender first; parameters passed by
// reference are the handler's answers (Cancel, Confirm, Action, SkipFile, names).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "archive/base/types.h"

class TComponent;

using TNotifyEvent = std::function<void(TComponent* Sender)>;
using TQPFileProgressEvent =
    std::function<void(TComponent* Sender, const std::u16string& FileName, double Progress,
                       TQPProcessOperation Operation, TQPProgressPhase ProgressPhase, bool& Cancel)>;
using TQPProgressEvent = std::function<void(TComponent* Sender, double Progress, TQPProcessOperation Operation,
                                            TQPProgressPhase ProgressPhase, bool& Cancel)>;
using TQPCopyTempFileProgressEvent =
    std::function<void(TComponent* Sender, double Progress, TQPProgressPhase ProgressPhase, bool& Cancel)>;
using TQPConfirmOverwriteEvent = std::function<void(TComponent* Sender, const std::u16string& SourceFileName,
                                                    std::u16string& DestFileName, bool& Confirm)>;
using TQPConfirmProcessFileEvent = std::function<void(TComponent* Sender, const std::u16string& FileName,
                                                      TQPProcessOperation Operation, bool& Confirm)>;
using TQPOnPasswordEvent = std::function<void(TComponent* Sender, const std::u16string& FileName,
                                              std::string& NewPassword, bool& SkipFile)>;
using TQPProcessFileFailureEvent =
    std::function<void(TComponent* Sender, const std::u16string& FileName, TQPProcessOperation Operation,
                       int32_t NativeError, int32_t ErrorCode, const std::u16string& ErrorMessage,
                       TQPAction& Action)>;
using TQPOnRequestBlankVolumeEvent = std::function<void(TComponent* Sender, int32_t VolumeNumber,
                                                        std::u16string& VolumeFileName, bool& Cancel)>;
using TQPOnRequestFirstVolumeEvent =
    std::function<void(TComponent* Sender, std::u16string& VolumeFileName, bool& Cancel)>;
using TQPOnRequestLastVolumeEvent =
    std::function<void(TComponent* Sender, std::u16string& VolumeFileName, bool& Cancel)>;
using TQPOnRequestMiddleVolumeEvent = std::function<void(TComponent* Sender, int32_t VolumeNumber,
                                                         std::u16string& VolumeFileName, bool& Cancel)>;
using TQPOnDiskFullEvent = std::function<void(TComponent* Sender, int32_t VolumeNumber,
                                              const std::u16string& VolumeFileName, bool& Cancel)>;
using TQPOnStoreFileEvent =
    std::function<void(TComponent* Sender, std::u16string& FileName, int32_t& FileAttr, std::string& Comment,
                       const std::u16string& OriginalFileName)>;
using TQPOnExtractFileEvent = std::function<void(TComponent* Sender, std::u16string& FileName,
                                                 uint32_t& FileAttr, const std::string& Comment)>;
