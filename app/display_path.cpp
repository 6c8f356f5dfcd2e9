// Paths for messages: doubled separators shown once.
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
