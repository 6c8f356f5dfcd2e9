// File-mask matching for the search: MatchesMask (the DOS-style rules for "*.*" and a
// trailing dot) on top of WildcardMatch (`*` and `?` over UTF-16 units).
#pragma once

#include <string_view>

// `*` matches a run of units (also separators), `?` any one unit; IgnoreCase folds ASCII
// letters only. Runs in time proportional to name length times mask length whatever the
// number of stars.
bool WildcardMatch(std::u16string_view name, std::u16string_view mask, bool ignoreCase);

// Whether `mask` holds a '*' or '?' (an exact mask names one item).
inline bool HasWildcards(std::u16string_view mask) { return mask.find_first_of(u"*?") != std::u16string_view::npos; }

// Case-insensitive mask test; an empty mask matches nothing, "*.*" matches every name and a
// mask ending with "." matches names without an extension only.
bool MatchesMask(std::u16string_view name, std::u16string_view mask);
