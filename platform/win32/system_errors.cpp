// The text and the kind of Win32 error codes.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/wide.h"

namespace qp::platform {

std::u16string SystemErrorText(int error) {
  if (error == 0) return {};
  wchar_t buffer[512];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                static_cast<DWORD>(error), 0, buffer, sizeof buffer / sizeof buffer[0], nullptr);
  // The system's texts end with a period and CR LF; the engine puts them inside its own sentence.
  while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' || buffer[length - 1] == L'.' ||
                        buffer[length - 1] == L' '))
    --length;
  if (length == 0) {
    const std::string number = "system error " + std::to_string(error);
    return std::u16string(number.begin(), number.end());
  }
  return win32::FromWide(buffer, length);
}

bool IsDiskFullError(int error) {
  return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

}  // namespace qp::platform
