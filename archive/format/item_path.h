// The two forms of an item's name, and the one pair of conversions between them. The stored
// form is the archive's own: '/' between components, what TDirItem::ItemName holds and the
// names list is keyed by. The engine path form has '\' between components: the events and
// handlers see it, destination paths are built from it, and the platform layer turns it into
// its own form. Names change form here and nowhere else.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

inline std::u16string QPEnginePathOf(std::u16string_view stored) {
  std::u16string path(stored);
  std::replace(path.begin(), path.end(), u'/', u'\\');
  return path;
}

inline std::u16string QPStoredFormOf(std::u16string_view enginePath) {
  std::u16string name(enginePath);
  std::replace(name.begin(), name.end(), u'\\', u'/');
  return name;
}

// Whether `name` is in the engine path form already (has no '/'), so that it can be handed on
// without a copy.
inline bool QPIsEnginePath(std::u16string_view name) { return name.find(u'/') == std::u16string_view::npos; }
