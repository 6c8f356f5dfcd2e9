// The pending file of one item: a replaced file changes only on commit, an uncommitted one
// leaves nothing behind, and a flush the drive refuses is a failure with its cause.
#include "archive/extract/pending_file.h"

#include "tests/extract/extract_fixture.h"

namespace extract_test {
namespace {

class PendingFile : public ExtractTest {};

TEST_F(PendingFile, ReplacesOnlyOnCommitAndRemovesItselfOtherwise) {
  Put("keep.txt", "old");
  const std::u16string dest = dest_ + u"keep.txt";
  int error = 0;
  {
    // Not committed (a failure or a cancel): the old file stays, no temporary one is left.
    std::unique_ptr<TQPPendingFile> pending = TQPPendingFile::Create(dest, true, error);
    ASSERT_NE(pending, nullptr);
    pending->Stream().WriteBuffer("new", 3);
  }
  EXPECT_EQ(Read("keep.txt"), "old");
  EXPECT_EQ(Everything(), (std::vector<std::string>{"out", "out/keep.txt"}));

  std::unique_ptr<TQPPendingFile> pending = TQPPendingFile::Create(dest, true, error);
  ASSERT_NE(pending, nullptr);
  pending->Stream().WriteBuffer("new", 3);
  EXPECT_EQ(Read("keep.txt"), "old");
  ASSERT_TRUE(pending->Finish(0x21210000, nullptr, false, error));
  ASSERT_TRUE(pending->Commit(error));
  pending.reset();
  EXPECT_EQ(Read("keep.txt"), "new");
  EXPECT_EQ(Everything(), (std::vector<std::string>{"out", "out/keep.txt"}));
}

TEST_F(PendingFile, AFlushThatFailsIsReportedWithItsCause) {
  std::filesystem::create_directories(Native(dest_));
  int error = 0;
  std::unique_ptr<TQPPendingFile> pending = TQPPendingFile::Create(dest_ + u"new.txt", false, error);
  ASSERT_NE(pending, nullptr);
  pending->Stream().Handle().Close();  // a drive that went away takes the handle with it
  EXPECT_FALSE(pending->Finish(0x21210000, nullptr, true, error));
  EXPECT_NE(error, 0);
  pending.reset();
  EXPECT_FALSE(Exists("new.txt"));
}

TEST_F(PendingFile, CreateReportsTheSystemsCause) {
  int error = 0;
  EXPECT_EQ(TQPPendingFile::Create(dest_ + u"no\\such\\folder\\x.txt", false, error), nullptr);
  EXPECT_NE(error, 0);
}

}  // namespace
}  // namespace extract_test
