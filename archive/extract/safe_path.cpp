// The tests an item name passes before anything is written under it: containment in the
// destination, names that start at a root, and names Windows would not take as plain files.
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

bool IsRootedPath(std::u16string_view name) {
  if (!name.empty() && name.front() == u'\\') return true;
  const bool driveLetter = name.size() >= 3 && ((name[0] | 0x20) >= u'a' && (name[0] | 0x20) <= u'z');
  return driveLetter && name[1] == u':' && name[2] == u'\\';
}

namespace {

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool EqualsUpper(std::u16string_view text, std::u16string_view upper) {
  if (text.size() != upper.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (AsciiUpper(text[i]) != upper[i]) return false;
  return true;
}

// Windows takes the part before the first dot, without trailing blanks, as the device name:
// "nul.txt", "Com1 .log" and "LPT2.tar.gz" all name devices.
bool IsDeviceName(std::u16string_view component) {
  std::u16string_view stem = component.substr(0, component.find(u'.'));
  while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
  for (std::u16string_view device : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"})
    if (EqualsUpper(stem, device)) return true;
  if (stem.size() != 4) return false;
  const bool port = EqualsUpper(stem.substr(0, 3), u"COM") || EqualsUpper(stem.substr(0, 3), u"LPT");
  const char16_t digit = stem[3];
  // Windows also counts the superscript digits 1 to 3 as port numbers.
  return port && ((digit >= u'0' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' || digit == u'\u00B3');
}

}  // namespace

bool IsPlainFileName(std::u16string_view name) {
  for (char16_t c : name)
    if (c < 0x20) return false;
  size_t pos = 0;
  while (pos < name.size()) {
    size_t end = name.find(u'\\', pos);
    if (end == std::u16string_view::npos) end = name.size();
    const std::u16string_view component = name.substr(pos, end - pos);
    pos = end + 1;
    if (component.empty() || component == u"." || component == u"..") continue;
    if (component.back() == u'.' || component.back() == u' ') return false;
    if (IsDeviceName(component)) return false;
  }
  return true;
}
