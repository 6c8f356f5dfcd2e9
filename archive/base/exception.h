// EQPException: the one exception the engine raises. It carries the native error (which
// failure site raised it, 0..67), the error code (which message it shows, 0..40) and the
// message, built from the English message table, optional arguments, the raising
// component's name and the native error: "Archiver: Archive is not open - Native error: 00013".
#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <variant>

class TComponent;

// The toolkit's base exception: a UTF-16 message; what() gives it in UTF-8.
class Exception : public std::exception {
 public:
  explicit Exception(std::u16string message);
  const std::u16string& Message() const { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  std::u16string message_;
  std::string utf8_;
};

// A message argument: a string for %s, an integer for %d.
using TQPFormatArg = std::variant<std::u16string, int64_t>;

// The native errors the engine raises, named by their failure site. The numbers are part of
// the published interface (handlers and applications compare them), so they never change.
enum TQPNativeError : int32_t {
  neItemIndexOutOfBounds = 2,     // the item directory: an item index
  neNameIndexOutOfBounds = 3,     // the item directory: a name index
  neInvalidCompressionMode = 5,
  neCorruptedItem = 8,            // data, size or CRC of an item do not hold; method unknown
  neBlankFileName = 9,            // OpenArchive() without a file name
  neBlankFileNameForMode = 10,    // OpenArchive(mode) without a file name
  neArchiveNotFound = 12,
  neArchiveNotOpen = 13,
  neIndexOutOfBounds = 16,        // ExtractItemToStream's item index
  neCannotCreateFile = 19,
  neCannotCreateFolder = 20,
  neInMemoryCreateOnly = 28,
  neBlankInMemoryFileName = 29,
  neCannotOpenFile = 33,          // a volume that cannot be opened or read
  neInvalidArchive = 35,
  neNoZip64EndRecord = 40,
  neArchiveDamaged = 48,          // a directory whose items contradict each other
  neForeignVolume = 44,
  neVolumeRequestCancelled = 45,
  neWriteError = 46,              // a destination that refuses data, other than a full disk
  neDeflate64 = 55,
  neNameListInvalid = 59,
  neMaskTooLong = 61,
  neDiskFull = 65,
};

// Why the engine refused something, in words of its own (not the system's).
struct TQPEngineCause {
  std::u16string Text;
};

class EQPException : public Exception {
 public:
  // For messages without placeholders. `component` may be null (an unnamed raise).
  EQPException(int32_t nativeError, const TComponent* component);
  // For messages with placeholders, filled in order from `args`.
  EQPException(int32_t nativeError, const TComponent* component,
               std::initializer_list<TQPFormatArg> args);
  // A failure the system reported: its own text follows the message, before the number:
  // "Archiver: Write to stream error: Permission denied - Native error: 00046".
  EQPException(int32_t nativeError, const TComponent* component, std::initializer_list<TQPFormatArg> args,
               int systemError);

  // A failure whose cause the engine itself found: the cause follows the message, before the
  // number: "Archive is damaged. Open failed: overlapping items - Native error: 00048".
  EQPException(int32_t nativeError, const TComponent* component, const TQPEngineCause& cause);

  // The system's cause of a failure whose message has no room for it ("Cannot create
  // directory \"%s\""): kept here for callers, which may show its text on a line of their
  // own, and left out of the message.
  EQPException& WithSystemError(int systemError) {
    SystemError = systemError;
    return *this;
  }

  int32_t ErrorCode;
  int32_t NativeError;
  int SystemError = 0;  // the platform's error code, 0 when the failure is not the system's
};

// The error code of a native error (0 when it is not in the table) and the message table.
int32_t QPErrorCodeOf(int32_t nativeError);
std::u16string QPErrorMessage(int32_t errorCode);

// Fills "%s" and "%d" placeholders in order; "%%" is a percent sign. Used by the engine's
// questions too, so that every message of the engine is formatted one way.
std::u16string QPFormat(std::u16string_view format, std::initializer_list<TQPFormatArg> args);
