// The extended-length form of full Windows paths, built by hand so that the components reach
// the file system exactly as the ordinary parser would have left them.
#include "platform/extended_path.h"

#include <vector>

namespace qp::platform {
namespace {

bool IsSeparator(char16_t c) {
  return c == u'\\' || c == u'/';
}

bool IsLetter(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// Length of the next component of `path` from `at` (up to a separator or the end).
size_t ComponentLength(std::u16string_view path, size_t at) {
  size_t end = at;
  while (end < path.size() && !IsSeparator(path[end])) ++end;
  return end - at;
}

}  // namespace

std::u16string ExtendedLengthPath(std::u16string_view fullPath) {
  const std::u16string_view path = fullPath;
  std::u16string root;
  size_t rest = 0;
  const bool doubleLead = path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
  if (doubleLead && path.size() >= 4 && (path[2] == u'?' || path[2] == u'.') && IsSeparator(path[3])) {
    return std::u16string(path);  // already extended, or a device
  }
  if (path.size() >= 3 && IsLetter(path[0]) && path[1] == u':' && IsSeparator(path[2])) {
    root = std::u16string(u"\\\\?\\") + path[0] + u':';
    rest = 3;
  } else if (doubleLead) {
    // \\server\share: both names are needed, and they are the root ".." stops at.
    size_t at = 2;
    const size_t server = ComponentLength(path, at);
    if (server == 0 || at + server >= path.size()) return std::u16string(path);
    const size_t shareAt = at + server + 1;
    const size_t share = ComponentLength(path, shareAt);
    if (share == 0) return std::u16string(path);
    root = u"\\\\?\\UNC\\" + std::u16string(path.substr(at, server)) + u'\\' +
           std::u16string(path.substr(shareAt, share));
    rest = shareAt + share;
  } else {
    return std::u16string(path);
  }

  std::vector<std::u16string_view> components;
  for (size_t at = rest; at < path.size();) {
    if (IsSeparator(path[at])) {
      ++at;
      continue;
    }
    const std::u16string_view component = path.substr(at, ComponentLength(path, at));
    at += component.size();
    if (component == u".") continue;
    if (component == u"..") {
      if (!components.empty()) components.pop_back();
      continue;
    }
    components.push_back(component);
  }
  std::u16string result = root;
  for (const std::u16string_view component : components) {
    result += u'\\';
    result += component;
  }
  // A folder named with its trailing separator keeps it; a bare root always has one.
  if (components.empty() || IsSeparator(path.back())) result += u'\\';
  return result;
}

}  // namespace qp::platform
