// Paths for messages: doubled separators shown once, overlong words shortened.
#include "app/display_path.h"

std::u16string DisplayPath(std::u16string_view path) {
  std::u16string shown;
  shown.reserve(path.size());
  size_t i = 0;
  size_t prefix = 0;
  // A leading pair names a server or an extended path; a third or more is a doubling.
  if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
    shown = u"\\\\";
    prefix = 2;
    while (i < path.size() && path[i] == u'\\') ++i;
  }
  for (; i < path.size(); ++i) {
    if (path[i] == u'\\' && shown.size() > prefix && shown.back() == u'\\') continue;
    shown.push_back(path[i]);
  }
  return shown;
}

std::u16string ShortenLongWords(std::u16string_view text, size_t longest) {
  if (longest < 3) longest = 3;
  // The end of a path (the item's name and what follows) tells more than its middle.
  const size_t head = (longest - 1) / 3;
  const size_t tail = longest - 1 - head;
  std::u16string shown;
  shown.reserve(text.size() < longest * 4 ? text.size() : longest * 4);
  size_t i = 0;
  while (i < text.size()) {
    size_t end = i;
    while (end < text.size() && text[end] != u' ' && text[end] != u'\n' && text[end] != u'\r' && text[end] != u'\t') ++end;
    if (end - i > longest) {
      shown.append(text.substr(i, head));
      shown.push_back(u'\u2026');
      shown.append(text.substr(end - tail, tail));
    } else {
      shown.append(text.substr(i, end - i));
    }
    if (end < text.size()) shown.push_back(text[end++]);
    i = end;
  }
  return shown;
}
