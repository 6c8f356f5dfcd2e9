// The engine's error tables and the construction of its exception messages.
#include "archive/base/exception.h"

#include <array>
#include <string_view>
#include <utility>

#include "archive/base/component_base.h"
#include "platform/platform.h"

namespace {

// Kept as narrow text and widened when a message is made: the texts are ASCII, and the
// self-extractor carries them in half the room.
constexpr std::array<const char*, 41> kMessages = {
    "Unknown error",
    "Index out of bounds",
    "Invalid compression mode. Mode must be in [0-9] range",
    "Unexpected nil pointer",
    "Invalid size or check sum of file or unsupported compression format",
    "File name is blank. Specify appropriate file name",
    "File \"%s\" not found",
    "Archive is not open",
    "SFXStub property is not specified",
    "Cannot create file \"%s\"",
    "Cannot create directory \"%s\"",
    "Internal error. Update is not started",
    "Cannot open file \"%s\"",
    "Cannot proceed when update is not ended. Preceding EndUpdate call is required.",
    "Cannot delete file \"%s\"",
    "In-memory archive can be created only",
    "File is open in read-only mode",
    "Invalid compressed size, rfs.size = %d, count = %d",
    "Invalid archive file.",
    "Cannot create output file. Probably file is locked by another process. FileName = '%s'.",
    "Archive is open. You should close it beore performing this operation.",
    "Unable to create directory",
    "Cannot find 64-bit directory end record",
    "Cannot compress file '%s'. Zip64 mode is not enabled",
    "Cannot open archive file. Opening aborted or invalid file",
    "Write to stream error",
    "Cannot place SFX stub on volume. Volume size limit is too small",
    "Archive is damaged. Open failed",
    "MakeSFX is not allowed for splitted or spanned archives. Set SFXStub before archive "
    "creation instead of MakeSFX",
    "Archive already has SFX stub",
    "Multi-volume archive is not allowed for custom stream",
    "Multi-spanned archive is not allowed for modification. Use BeginUpdate/EndUpdate methods "
    "to add files several times",
    "Deflate64 compression method is not supported",
    "MakeSFX error",
    "Hashed list of file names is invalid",
    "Cannot delete folder \"%s\"",
    "File name is too long: \r\n\"%s\"",
    "Multiple transactions are not supported for multi-volume archives",
    "Invalid InitVector index = %d. Index should be >= 0 and < %d",
    "Disk is full. There is not enough free space on disk.",
    "Invalid password. Cannot decompress encrypted file.",
};

constexpr bool AllAscii() {
  for (const char* message : kMessages) {
    for (const char* c = message; *c != 0; ++c) {
      if (static_cast<unsigned char>(*c) > 0x7F) return false;
    }
  }
  return true;
}
static_assert(AllAscii(), "widening byte by byte assumes ASCII texts");

struct NativeErrorEntry {
  int32_t nativeError;
  int32_t errorCode;
};

// Entry n holds native error n; searched from the first entry.
constexpr std::array<NativeErrorEntry, 68> kNativeErrors = {{
    {0, 0},   {1, 1},   {2, 1},   {3, 1},   {4, 1},   {5, 2},   {6, 3},   {7, 1},
    {8, 4},   {9, 5},   {10, 5},  {11, 6},  {12, 6},  {13, 7},  {14, 7},  {15, 6},
    {16, 1},  {17, 8},  {18, 6},  {19, 9},  {20, 10}, {21, 1},  {22, 11}, {23, 9},
    {24, 1},  {25, 11}, {26, 13}, {27, 14}, {28, 15}, {29, 5},  {30, 6},  {31, 6},
    {32, 16}, {33, 12}, {34, 17}, {35, 18}, {36, 19}, {37, 20}, {38, 6},  {39, 21},
    {40, 22}, {41, 23}, {42, 6},  {43, 23}, {44, 24}, {45, 24}, {46, 25}, {47, 26},
    {48, 27}, {49, 28}, {50, 29}, {51, 30}, {52, 31}, {53, 6},  {54, 6},  {55, 32},
    {56, 33}, {57, 27}, {58, 34}, {59, 34}, {60, 35}, {61, 36}, {62, 37}, {63, 38},
    {64, 38}, {65, 39}, {66, 39}, {67, 40},
}};

std::u16string BuildMessage(int32_t nativeError, const TComponent* component,
                            std::initializer_list<TQPFormatArg> args, bool formatted, int systemError = 0,
                            const std::u16string& engineCause = {}) {
  std::u16string text = QPErrorMessage(QPErrorCodeOf(nativeError));
  if (formatted) text = QPFormat(text, args);
  const std::u16string cause = engineCause.empty() ? qp::platform::SystemErrorText(systemError) : engineCause;
  if (!cause.empty()) text += u": " + cause;
  if (component != nullptr && !component->Name.empty()) text = component->Name + u": " + text;
  // "%5d" with the blanks turned into zeros: five digits for 0..99999.
  std::string number = std::to_string(nativeError);
  if (number.size() < 5) number.insert(0, 5 - number.size(), '0');
  text += u" - Native error: ";
  text.append(number.begin(), number.end());
  return text;
}

}  // namespace

Exception::Exception(std::u16string message)
    : message_(std::move(message)), utf8_(qp::platform::Utf16ToUtf8(message_)) {}

int32_t QPErrorCodeOf(int32_t nativeError) {
  for (const NativeErrorEntry& entry : kNativeErrors) {
    if (entry.nativeError == nativeError) return entry.errorCode;
  }
  return 0;
}

std::u16string QPErrorMessage(int32_t errorCode) {
  const bool known = errorCode >= 0 && errorCode < static_cast<int32_t>(kMessages.size());
  const std::string_view text = kMessages[known ? static_cast<size_t>(errorCode) : 0];
  return std::u16string(text.begin(), text.end());
}

std::u16string QPFormat(std::u16string_view format, std::initializer_list<TQPFormatArg> args) {
  std::u16string out;
  out.reserve(format.size() + 32);
  auto next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    char16_t c = format[i];
    if (c != u'%' || i + 1 >= format.size()) {
      out += c;
      continue;
    }
    char16_t conversion = format[i + 1];
    if (conversion == u'%') {
      out += u'%';
      ++i;
      continue;
    }
    if ((conversion == u's' || conversion == u'd') && next != args.end()) {
      if (const auto* s = std::get_if<std::u16string>(&*next)) {
        out += *s;
      } else {
        std::string digits = std::to_string(std::get<int64_t>(*next));
        out.append(digits.begin(), digits.end());
      }
      ++next;
      ++i;
      continue;
    }
    out += c;
  }
  return out;
}

EQPException::EQPException(int32_t nativeError, const TComponent* component)
    : Exception(BuildMessage(nativeError, component, {}, false)),
      ErrorCode(QPErrorCodeOf(nativeError)),
      NativeError(nativeError) {}

EQPException::EQPException(int32_t nativeError, const TComponent* component,
                           std::initializer_list<TQPFormatArg> args)
    : Exception(BuildMessage(nativeError, component, args, true)),
      ErrorCode(QPErrorCodeOf(nativeError)),
      NativeError(nativeError) {}

EQPException::EQPException(int32_t nativeError, const TComponent* component,
                           std::initializer_list<TQPFormatArg> args, int systemError)
    : Exception(BuildMessage(nativeError, component, args, true, systemError)),
      ErrorCode(QPErrorCodeOf(nativeError)),
      NativeError(nativeError),
      SystemError(systemError) {}

EQPException::EQPException(int32_t nativeError, const TComponent* component, const TQPEngineCause& cause)
    : Exception(BuildMessage(nativeError, component, {}, false, 0, cause.Text)),
      ErrorCode(QPErrorCodeOf(nativeError)),
      NativeError(nativeError) {}
