// An OnExtractFile handler that leaves the name alone, as the self-extractor's window does
// (it only shows the name): items still go to their folders, and names that would leave the
// destination are still refused.
#include <gtest/gtest.h>

#include "tests/extract/extract_fixture.h"

namespace extract_test {
namespace {

TEST_F(ExtractTest, HandlerThatOnlyLooksChangesNothing) {
  Open(ZipBuilder()
           .Add(Entry("docs/", ""))
           .Add(Entry("docs/numbers.txt", "1 2 3"))
           .Add(Entry("a/b/c.txt", "deep"))
           .Add(Entry("../escape.txt", "x")));
  std::vector<std::u16string> shown;
  arc_.OnExtractFile = [&](TComponent*, std::u16string& n, uint32_t&, const std::string&) { shown.push_back(n); };
  std::vector<std::u16string> failed;
  arc_.OnProcessFileFailure = [&](TComponent*, const std::u16string& n, TQPProcessOperation, int32_t native, int32_t,
                                  const std::u16string&, TQPAction& action) {
    EXPECT_EQ(native, 19);
    failed.push_back(n);
    action = fxaIgnore;
  };
  ExtractAll();
  EXPECT_EQ(Read("docs/numbers.txt"), "1 2 3");
  EXPECT_EQ(Read("a/b/c.txt"), "deep");
  EXPECT_EQ(failed, (std::vector<std::u16string>{u"..\\escape.txt"}));
  EXPECT_EQ(shown, (std::vector<std::u16string>{u"docs\\", u"docs\\numbers.txt", u"a\\b\\c.txt", u"..\\escape.txt"}));
  EXPECT_EQ(Everything(),
            (std::vector<std::string>{"out", "out/a", "out/a/b", "out/a/b/c.txt", "out/docs", "out/docs/numbers.txt",
                                      "test.zip"}));
}

}  // namespace
}  // namespace extract_test
