// Names as an OnExtractFile handler leaves them: a handler that changes nothing must leave
// every item exactly as without a handler (climbing names refused, folders created), and a
// handler that renames may not carry a climbing name out of the destination by accident.
#include <gtest/gtest.h>

#include <functional>

#include "archive/base/exception.h"
#include "archive/extract/safe_path.h"
#include "tests/extract/extract_fixture.h"

namespace extract_test {
namespace {

using Rename = std::function<std::u16string(const std::u16string&)>;

class HandlerNamesTest : public ExtractTest {
 protected:
  // Extracts the four names of the reported case, with `rename` as the handler (none when
  // empty), and returns the names that failed, with their native errors checked.
  std::vector<std::string> ExtractHostileSet(const Rename& rename) {
    Open(ZipBuilder()
             .Add(Entry("ok.txt", "ok"))
             .Add(Entry("../evil_up.txt", "evil"))
             .Add(Entry("sub/../../evil2.txt", "evil"))
             .Add(Entry("docs/nested.txt", "nested"))
             .Add(Entry("empty/", "")));
    arc_.Options().OverwriteMode = omAlways;
    if (rename) {
      arc_.OnExtractFile = [rename](TComponent*, std::u16string& n, uint32_t&, const std::string&) { n = rename(n); };
    }
    std::vector<std::string> failed;
    arc_.OnProcessFileFailure = [&](TComponent*, const std::u16string& n, TQPProcessOperation, int32_t native,
                                    int32_t, const std::u16string&, TQPAction& action) {
      EXPECT_EQ(native, 19) << qp::platform::Utf16ToUtf8(n);
      failed.push_back(qp::platform::Utf16ToUtf8(n));
      action = fxaIgnore;
    };
    ExtractAll();
    return failed;
  }
};

const std::vector<std::string> kClimbers = {"..\\evil_up.txt", "sub\\..\\..\\evil2.txt"};

TEST_F(HandlerNamesTest, NoOpHandlerLeavesEveryItemAsWithoutOne) {
  const Rename noOp = [](const std::u16string& n) { return n; };
  const Rename ownSlashes = [](std::u16string n) {  // a handler that turns separators itself
    std::replace(n.begin(), n.end(), u'\\', u'/');
    return n;
  };
  for (const Rename& rename : {Rename(), noOp, ownSlashes}) {
    SCOPED_TRACE(rename ? "with handler" : "without handler");
    EXPECT_EQ(ExtractHostileSet(rename), kClimbers);
    EXPECT_EQ(Everything(), (std::vector<std::string>{"out", "out/docs", "out/docs/nested.txt", "out/empty",
                                                      "out/ok.txt", "test.zip"}));
    EXPECT_EQ(Read("docs/nested.txt"), "nested");
    TearDown();
    SetUp();
  }
}

TEST_F(HandlerNamesTest, RenamedNamesStayInsideTheDestination) {
  // Letter case only: written under the new spelling, climbers still refused.
  EXPECT_EQ(ExtractHostileSet([](std::u16string n) {
              for (char16_t& c : n)
                if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
              return n;
            }),
            (std::vector<std::string>{"..\\evil_up.txt", "sub\\..\\..\\evil2.txt"}));
  EXPECT_EQ(Read("DOCS/NESTED.TXT"), "nested");
  EXPECT_TRUE(Exists("OK.TXT"));
  TearDown();
  SetUp();

  // Into a subfolder: one level deeper, so both climbers now end inside the destination and
  // are written there; nothing reaches the scratch folder above it.
  EXPECT_EQ(ExtractHostileSet([](const std::u16string& n) { return u"into\\" + n; }), std::vector<std::string>{});
  EXPECT_EQ(Read("into/docs/nested.txt"), "nested");
  EXPECT_EQ(Read("evil_up.txt"), "evil");
  EXPECT_EQ(Read("evil2.txt"), "evil");
  // Windows folds "into\sub\..\.." before creating folders, POSIX creates "into/sub" on the
  // way: either is inside.
  std::vector<std::string> all = Everything();
  std::erase(all, "out/into/sub");
  EXPECT_EQ(all, (std::vector<std::string>{"out", "out/evil2.txt", "out/evil_up.txt", "out/into", "out/into/docs",
                                           "out/into/docs/nested.txt", "out/into/empty", "out/into/ok.txt",
                                           "test.zip"}));
  TearDown();
  SetUp();

  // A handler that strips the first folder lifts every name one level: what then climbs out
  // is refused.
  EXPECT_EQ(ExtractHostileSet([](const std::u16string& n) {
              const size_t sep = n.find(u'\\');
              return sep == std::u16string::npos ? n : u"..\\" + n.substr(sep + 1);
            }),
            (std::vector<std::string>{"..\\evil_up.txt", "sub\\..\\..\\evil2.txt", "docs\\nested.txt",
                                      "empty\\"}));
  EXPECT_EQ(Everything(), (std::vector<std::string>{"out", "out/ok.txt", "test.zip"}));
}

TEST_F(HandlerNamesTest, OnlyAPathFromARootRedirects) {
  Open(ZipBuilder().Add(Entry("item.txt", "mine")).Add(Entry("two.txt", "two")));
  const std::u16string beside = root_ + u"beside.txt";
  arc_.OnExtractFile = [&](TComponent*, std::u16string& n, uint32_t&, const std::string&) {
    n = n == u"item.txt" ? beside : u"..\\two.txt";
  };
  std::vector<std::string> failed;
  arc_.OnProcessFileFailure = [&](TComponent*, const std::u16string& n, TQPProcessOperation, int32_t, int32_t,
                                  const std::u16string&, TQPAction& action) {
    failed.push_back(qp::platform::Utf16ToUtf8(n));
    action = fxaIgnore;
  };
  ExtractAll();
  EXPECT_EQ(ReadFileBytes(Native(beside).string()), "mine");
  EXPECT_EQ(failed, std::vector<std::string>{"two.txt"});
  EXPECT_FALSE(std::filesystem::exists(Native(root_) / "two.txt"));
}

TEST(SafePath, RootedPaths) {
  for (const char16_t* rooted : {u"\\x", u"\\\\srv\\share\\x", u"C:\\x", u"z:\\"})
    EXPECT_TRUE(IsRootedPath(rooted));
  for (const char16_t* relative : {u"x", u"a\\b", u"C:x", u"1:\\x", u"..\\x", u""})
    EXPECT_FALSE(IsRootedPath(relative));
}

}  // namespace
}  // namespace extract_test
