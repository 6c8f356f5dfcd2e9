// The containment test for stored item names.
#include "archive/extract/safe_path.h"

namespace {

bool IsClimb(std::u16string_view component) {
  if (component.empty() || component == u".") return false;
  int dots = 0;
  for (char16_t c : component) {
    if (c == u'.') {
      ++dots;
    } else if (c != u' ') {
      return false;
    }
  }
  return dots >= 1 && component != u".";
}

bool IsStay(std::u16string_view component) {
  // "." and, after Windows drops its trailing blanks, ". " and the like.
  if (component.empty() || component[0] != u'.') return false;
  for (size_t i = 1; i < component.size(); ++i)
    if (component[i] != u' ') return false;
  return true;
}

}  // namespace

bool StaysInsideDestination(std::u16string_view name) {
  if (name.empty()) return true;
  if (name.front() == u'\\' || name.front() == u'/') return false;
  if (name.find(u':') != std::u16string_view::npos) return false;
  if (name.find(u"\\\\") != std::u16string_view::npos) return false;
  int depth = 0;
  size_t pos = 0;
  while (pos <= name.size()) {
    size_t end = name.find(u'\\', pos);
    if (end == std::u16string_view::npos) end = name.size();
    const std::u16string_view component = name.substr(pos, end - pos);
    if (IsStay(component)) {
      // stays where it is
    } else if (IsClimb(component)) {
      if (--depth < 0) return false;
    } else if (!component.empty()) {
      ++depth;
    }
    pos = end + 1;
  }
  return true;
}
