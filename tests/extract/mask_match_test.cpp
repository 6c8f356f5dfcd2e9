// The matchers against the classic recursive matcher they replace, and the mask rules.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "archive/extract/mask_match.h"

namespace {

char16_t Low(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// The recursive matcher, written straight from its rules, as the oracle.
bool Recursive(std::u16string_view name, std::u16string_view mask, bool ignoreCase) {
  if (mask == u"*.*") return true;
  for (;;) {
    if (mask == u"*") return true;
    if (name.empty()) return mask.empty();
    if (mask.empty()) return false;
    if (mask[0] == u'*') {
      for (size_t k = 0; k + 1 <= name.size(); ++k)
        if (Recursive(name.substr(k), mask.substr(1), ignoreCase)) return true;
      return false;
    }
    if (mask[0] != u'?') {
      const char16_t a = ignoreCase ? Low(name[0]) : name[0];
      const char16_t b = ignoreCase ? Low(mask[0]) : mask[0];
      if (a != b) return false;
    }
    name.remove_prefix(1);
    mask.remove_prefix(1);
  }
}

TEST(WildcardMatch, AgreesWithRecursiveMatcherOnRandomInputs) {
  std::mt19937 rng(7);
  const std::u16string nameAlphabet = u"aAb./\\";
  const std::u16string maskAlphabet = u"aAb.*?*";
  for (int round = 0; round < 40000; ++round) {
    std::u16string name, mask;
    for (int i = static_cast<int>(rng() % 8); i > 0; --i) name += nameAlphabet[rng() % nameAlphabet.size()];
    for (int i = static_cast<int>(rng() % 7); i > 0; --i) mask += maskAlphabet[rng() % maskAlphabet.size()];
    const bool ignoreCase = (round & 1) != 0;
    ASSERT_EQ(WildcardMatch(name, mask, ignoreCase), Recursive(name, mask, ignoreCase))
        << "name '" << std::string(name.begin(), name.end()) << "' mask '" << std::string(mask.begin(), mask.end())
        << "'";
  }
}

TEST(WildcardMatch, ManyStarsStayFast) {
  // Exponential for the recursive form; quadratic here, so this finishes at once.
  const std::u16string name(400, u'a');
  std::u16string mask;
  for (int i = 0; i < 120; ++i) mask += u"*a";
  EXPECT_FALSE(WildcardMatch(name, mask + u"b", true));
  EXPECT_TRUE(WildcardMatch(name, mask + u"*", true));
}

TEST(MatchesMask, DosRules) {
  EXPECT_FALSE(MatchesMask(u"x", u""));
  EXPECT_TRUE(MatchesMask(u"ABC", u"a?c"));
  EXPECT_TRUE(MatchesMask(u"dir/file.TXT", u"*.txt"));  // the star spans the separator
  EXPECT_TRUE(MatchesMask(u"noext", u"*.*"));
  EXPECT_TRUE(MatchesMask(u"a.b.c", u"*.*.*"));
  EXPECT_TRUE(MatchesMask(u"readme", u"*."));
  EXPECT_TRUE(MatchesMask(u"readme.", u"*."));
  EXPECT_FALSE(MatchesMask(u"readme.txt", u"*."));
  EXPECT_FALSE(MatchesMask(u"file.txt", u"*.doc"));
  EXPECT_TRUE(MatchesMask(u"docs/a.txt", u"docs/*"));
  EXPECT_FALSE(MatchesMask(u"docs/a.txt", u"docs\\*"));
}

}  // namespace
