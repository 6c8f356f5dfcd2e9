// The text and the kind of POSIX error numbers.
#include <cerrno>
#include <cstring>
#include <string>
#include <type_traits>

#include "platform/platform.h"

namespace qp::platform {

std::u16string SystemErrorText(int error) {
  if (error == 0) return {};
  // strerror may share its buffer between threads; strerror_r's two flavours differ in their
  // result, so take the text the way both leave it readable.
  char buffer[256] = {};
  const auto result = strerror_r(error, buffer, sizeof buffer);
  const char* text = buffer;
  if constexpr (!std::is_same_v<decltype(result), int>) text = result;
  return Utf8ToUtf16(text);
}

bool IsDiskFullError(int error) {
  return error == ENOSPC || error == EFBIG || error == EDQUOT;
}

}  // namespace qp::platform
