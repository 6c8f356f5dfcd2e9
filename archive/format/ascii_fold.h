// ASCII case folding, the one way the engine compares names without regard to case: A to Z
// become a to z, every other unit stays as it is (as the archive's own name lists do).
#pragma once

#include <string>
#include <string_view>

inline char16_t QPFoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

inline std::u16string QPFoldAscii(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& c : folded) c = QPFoldAscii(c);
  return folded;
}
