// The engine's error tables and the construction of its exception messages.
#include "archive/component/exception.h"

#include <array>
#include <utility>

#include "archive/component/component_base.h"
#include "platform/platform.h"

namespace {

constexpr std::array<const char16_t*, 41> kMessages = {
    u"Unknown error",
    u"Index out of bounds",
    u"Invalid compression mode. Mode must be in [0-9] range",
    u"Unexpected nil pointer",
    u"Invalid size or check sum of file or unsupported compression format",
    u"File name is blank. Specify appropriate file name",
    u"File \"%s\" not found",
    u"Archive is not open",
    u"SFXStub property is not specified",
    u"Cannot create file \"%s\"",
    u"Cannot create directory \"%s\"",
    u"Internal error. Update is not started",
    u"Cannot open file \"%s\"",
    u"Cannot proceed when update is not ended. Preceding EndUpdate call is required.",
    u"Cannot delete file \"%s\"",
    u"In-memory archive can be created only",
    u"File is open in read-only mode",
    u"Invalid compressed size, rfs.size = %d, count = %d",
    u"Invalid archive file.",
    u"Cannot create output file. Probably file is locked by another process. FileName = '%s'.",
    u"Archive is open. You should close it beore performing this operation.",
    u"Unable to create directory",
    u"Cannot find 64-bit directory end record",
    u"Cannot compress file '%s'. Zip64 mode is not enabled",
    u"Cannot open archive file. Opening aborted or invalid file",
    u"Write to stream error",
    u"Cannot place SFX stub on volume. Volume size limit is too small",
    u"Archive is damaged. Open failed",
    u"MakeSFX is not allowed for splitted or spanned archives. Set SFXStub before archive "
    u"creation instead of MakeSFX",
    u"Archive already has SFX stub",
    u"Multi-volume archive is not allowed for custom stream",
    u"Multi-spanned archive is not allowed for modification. Use BeginUpdate/EndUpdate methods "
    u"to add files several times",
    u"Deflate64 compression method is not supported",
    u"MakeSFX error",
    u"Hashed list of file names is invalid",
    u"Cannot delete folder \"%s\"",
    u"File name is too long: \r\n\"%s\"",
    u"Multiple transactions are not supported for multi-volume archives",
    u"Invalid InitVector index = %d. Index should be >= 0 and < %d",
    u"Disk is full. There is not enough free space on disk.",
    u"Invalid password. Cannot decompress encrypted file.",
};

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
                            std::initializer_list<TQPFormatArg> args, bool formatted, int systemError = 0) {
  std::u16string text = QPErrorMessage(QPErrorCodeOf(nativeError));
  if (formatted) text = QPFormat(text, args);
  const std::u16string cause = qp::platform::SystemErrorText(systemError);
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

const char16_t* QPErrorMessage(int32_t errorCode) {
  if (errorCode < 0 || errorCode >= static_cast<int32_t>(kMessages.size())) return kMessages[0];
  return kMessages[static_cast<size_t>(errorCode)];
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
