// The mask matchers. WildcardMatch gives the results of the classic recursive matcher, in
// which a star tries every split of the rest of the name, but evaluates them bottom-up over
// (name position, mask position) pairs, so a mask with many stars cannot take exponential
// time.
//
// The classic matcher's quirks are kept because selections must not change: a star never
// consumes the whole rest of the name (only a final lone "*" matches an empty rest), and the
// rest of a mask after a star that reads exactly "*.*" matches any non-empty rest.
#include "archive/extract/mask_match.h"

#include <string>
#include <vector>

#include "archive/format/ascii_fold.h"

namespace {


bool IsStarDotStar(std::u16string_view s) { return s == u"*.*"; }

}  // namespace

bool WildcardMatch(std::u16string_view name, std::u16string_view mask, bool ignoreCase) {
  if (IsStarDotStar(mask) || mask == u"*") return true;
  const size_t n = name.size();
  const size_t m = mask.size();
  // loop[i]: the matcher's loop standing at name position i and the current mask position j.
  // entry[i]: the same state reached as a fresh call (after a star), where a rest of "*.*"
  // matches at once. next* hold column j + 1.
  std::vector<char> loop(n + 1), entry(n + 1), nextLoop(n + 1), nextEntry(n + 1);
  for (size_t jj = m + 1; jj-- > 0;) {
    const size_t j = jj;
    const std::u16string_view rest = mask.substr(j);
    const bool restIsStar = rest == u"*";
    const bool restIsStarDotStar = IsStarDotStar(rest);
    // Any of entry(k, j + 1) for k in [i, n - 1], built from the end.
    bool anyLater = false;
    for (size_t ii = n + 1; ii-- > 0;) {
      const size_t i = ii;
      bool result;
      if (restIsStar) {
        result = true;
      } else if (i == n) {
        result = j == m;
      } else if (j == m) {
        result = false;
      } else if (mask[j] == u'*') {
        anyLater = anyLater || nextEntry[i];
        result = anyLater;
      } else if (mask[j] == u'?') {
        result = nextLoop[i + 1];
      } else {
        const char16_t a = ignoreCase ? QPFoldAscii(name[i]) : name[i];
        const char16_t b = ignoreCase ? QPFoldAscii(mask[j]) : mask[j];
        result = a == b && nextLoop[i + 1];
      }
      loop[i] = result;
      entry[i] = restIsStarDotStar || result;
    }
    loop.swap(nextLoop);
    entry.swap(nextEntry);
  }
  return nextLoop[0];
}

bool MatchesMask(std::u16string_view name, std::u16string_view mask) {
  if (mask.empty()) return false;
  std::u16string m(mask);
  if (size_t at = m.find(u"*.*"); at != std::u16string::npos) m.replace(at, 3, u"*");
  const bool maskEndsWithDot = mask.back() == u'.';
  if (maskEndsWithDot) m.pop_back();
  std::u16string_view subject = name;
  if (!subject.empty() && subject.back() == u'.') subject.remove_suffix(1);
  bool result = WildcardMatch(subject, m, true);
  if (result && maskEndsWithDot) {
    // Only names without an extension: nothing, or a bare dot, after the last dot of the
    // final component.
    const size_t sep = name.find_last_of(u"\\:");
    const size_t start = sep == std::u16string_view::npos ? 0 : sep + 1;
    const size_t dot = name.find_last_of(u'.');
    if (dot != std::u16string_view::npos && dot >= start) result = name.substr(dot) == u".";
  }
  return result;
}
