// Engine strings as the wide Windows API takes them: char16_t and wchar_t are both UTF-16
// units on Windows, so the conversion is a reinterpretation, not a copy.
#pragma once

#include <string>

namespace qp::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide API strings are UTF-16");

inline const wchar_t* Wide(const std::u16string& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}

inline std::u16string FromWide(const wchar_t* s, size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(s), length);
}

}  // namespace qp::platform::win32
