// The order of the events of an extract run as handlers record it, with retry, ignore,
// abort and cancel, and the overwrite modes with their DOS-time comparisons.
#include <gtest/gtest.h>

#include "archive/base/exception.h"
#include "tests/extract/extract_fixture.h"
#include "tests/support/scripted_questions.h"

namespace extract_test {
namespace {

class Events : public ExtractTest {
 protected:
  // Records every event as a short line; the answers come from the members below.
  void Record() {
    arc_.OnOverallProgress = [this](TComponent*, double p, TQPProcessOperation, TQPProgressPhase ph, bool& cancel) {
      if (ph != ppProcess) log.push_back("overall " + std::to_string(static_cast<int>(p)));
      cancel = cancelOnOverall;
    };
    arc_.OnFileProgress = [this](TComponent*, const std::u16string& n, double p, TQPProcessOperation,
                                 TQPProgressPhase ph, bool& cancel) {
      log.push_back((ph == ppStart ? "start " : ph == ppEnd ? "end " : "step ") + qp::platform::Utf16ToUtf8(n) +
                    (ph == ppProcess ? "" : " " + std::to_string(static_cast<int>(p))));
      if (ph == ppProcess) cancel = cancelOnStep;
    };
    arc_.OnConfirmProcessFile = [this](TComponent*, const std::u16string& n, TQPProcessOperation, bool& confirm) {
      log.push_back("confirm " + qp::platform::Utf16ToUtf8(n));
      confirm = qp::platform::Utf16ToUtf8(n) != refuse;
    };
    arc_.OnExtractFile = [this](TComponent*, std::u16string& n, uint32_t&, const std::string&) {
      log.push_back("extract " + qp::platform::Utf16ToUtf8(n));
    };
    arc_.OnConfirmOverwrite = [this](TComponent*, const std::u16string& n, std::u16string&, bool& confirm) {
      log.push_back("overwrite " + qp::platform::Utf16ToUtf8(n));
      confirm = overwrite;
    };
    arc_.OnProcessFileFailure = [this](TComponent*, const std::u16string& n, TQPProcessOperation, int32_t native,
                                       int32_t, const std::u16string&, TQPAction& action) {
      log.push_back("failure " + qp::platform::Utf16ToUtf8(n) + " " + std::to_string(native));
      action = answers.empty() ? fxaIgnore : answers.front();
      if (!answers.empty()) answers.erase(answers.begin());
    };
  }
  std::vector<std::string> log;
  std::vector<TQPAction> answers;
  std::string refuse;
  bool overwrite = false;
  bool cancelOnOverall = false;
  bool cancelOnStep = false;
};

using V = std::vector<std::string>;

TEST_F(Events, OrderForWrittenFolderRefusedAndOverwrittenItems) {
  Open(ZipBuilder().Add(Entry("d/", "")).Add(Entry("d/a.txt", "A")).Add(Entry("b.txt", "B")).Add(Entry("c", "C")));
  Put("d/a.txt", "old");
  Record();
  refuse = "c";
  overwrite = true;
  arc_.Options().OverwriteMode = omPrompt;
  ExtractAll();
  EXPECT_EQ(log, (V{"overall 0",
                    "confirm d\\", "start d\\ 0", "extract d\\", "end d\\ 100",
                    "confirm d\\a.txt", "start d\\a.txt 0", "extract d\\a.txt", "overwrite d\\a.txt",
                    "step d\\a.txt", "end d\\a.txt 100",
                    "confirm b.txt", "start b.txt 0", "extract b.txt", "step b.txt", "end b.txt 100",
                    "confirm c",
                    "overall 100"}));
  EXPECT_EQ(Read("d/a.txt"), "A");
  EXPECT_FALSE(Exists("c"));
}

TEST_F(Events, FailureAnswersRetryIgnoreAbort) {
  ZipEntry bad = Entry("bad.txt", "payload");
  bad.crc = 0x12345678;
  Open(ZipBuilder().Add(bad).Add(Entry("good.txt", "fine")).Add(bad));
  Record();
  answers = {fxaRetry, fxaIgnore, fxaAbort};
  ExtractAll();
  EXPECT_EQ(log, (V{"overall 0",
                    "confirm bad.txt", "start bad.txt 0", "extract bad.txt", "step bad.txt", "failure bad.txt 8",
                    "confirm bad.txt", "start bad.txt 0", "extract bad.txt", "step bad.txt", "failure bad.txt 8",
                    "confirm good.txt", "start good.txt 0", "extract good.txt", "step good.txt", "end good.txt 100",
                    "confirm bad.txt", "start bad.txt 0", "extract bad.txt", "step bad.txt", "failure bad.txt 8",
                    "overall 100"}));
  EXPECT_FALSE(Exists("bad.txt"));  // written in full, then removed
  EXPECT_EQ(Read("good.txt"), "fine");
}

TEST_F(Events, DefaultFailureQuestionAndCorruptedFilesKept) {
  ZipEntry bad = Entry("bad.txt", "payload");
  bad.crc = 1;
  Open(ZipBuilder().Add(bad).Add(Entry("next.txt", "n")));
  {
    ScriptedQuestions q;
    q.answers = {TQPDialogResult::qrAbort};
    ExtractAll();
    ASSERT_EQ(q.asked.size(), 1u);
    EXPECT_NE(q.asked[0].text.find(u"File processing error, possibly disk is full"), std::u16string::npos);
    EXPECT_FALSE(Exists("next.txt"));  // aborted
  }
  arc_.ExtractCorruptedFiles = true;
  ExtractAll();
  EXPECT_EQ(Read("bad.txt"), "payload");
  EXPECT_EQ(Read("next.txt"), "n");
}

TEST_F(Events, CancelStopsRunAndRemovesPartialFile) {
  Open(ZipBuilder().Add(Entry("big.bin", TextLike(3 << 20), true)).Add(Entry("after.txt", "x")));
  Record();
  cancelOnStep = true;
  ExtractAll();
  EXPECT_EQ(log, (V{"overall 0", "confirm big.bin", "start big.bin 0", "extract big.bin", "step big.bin",
                    "end big.bin 100", "overall 100"}));
  EXPECT_FALSE(Exists("big.bin"));
  EXPECT_FALSE(Exists("after.txt"));

  log.clear();
  cancelOnStep = false;
  cancelOnOverall = true;  // answered to the start: no walk and no end event
  ExtractAll();
  EXPECT_EQ(log, (V{"overall 0"}));
}

TEST_F(Events, OverwriteModesAndDosTimes) {
  ZipEntry item = Entry("f.txt", "new");  // 2025-01-01 12:00:00
  Open(ZipBuilder().Add(item));
  const std::u16string path = dest_ + u"f.txt";
  auto existingAt = [&](uint16_t date, uint16_t time) {
    arc_.Options().OverwriteMode = omAlways;
    Put("f.txt", "old");
    qp::platform::File f;
    ASSERT_TRUE(f.Open(path, qp::platform::fmOpenReadWrite));
    ASSERT_TRUE(f.SetDosDateTime(static_cast<uint32_t>(date) << 16 | time));
  };
  struct Case { TQPOverwriteMode mode; uint16_t date, time; const char* expect; };
  for (const Case& c : {Case{omNever, 0x5A21, 0x5000, "old"}, Case{omIfNewer, 0x5A21, 0x5000, "new"},
                        Case{omIfNewer, 0x5A21, 0x6000, "old"}, Case{omIfOlder, 0x5A21, 0x6000, "old"},
                        Case{omIfOlder, 0x5A22, 0x0000, "new"}, Case{omIfNewer, 0x5A22, 0x0000, "old"}}) {
    existingAt(c.date, c.time);
    arc_.Options().OverwriteMode = c.mode;
    ExtractAll();
    EXPECT_EQ(Read("f.txt"), c.expect) << static_cast<int>(c.mode) << " " << c.date << " " << c.time;
  }

  // A read-only file is kept without ReplaceReadOnly and replaced with it.
  Put("f.txt", "old");
  qp::platform::SetFileAttributes(path, qp::platform::faReadOnly);
  arc_.Options().OverwriteMode = omAlways;
  arc_.Options().ReplaceReadOnly = false;
  ExtractAll();
  EXPECT_EQ(Read("f.txt"), "old");
  arc_.Options().ReplaceReadOnly = true;
  ExtractAll();
  EXPECT_EQ(Read("f.txt"), "new");

  // The default prompt: No to all skips this and later conflicts and stays in force.
  Put("f.txt", "old");
  arc_.Options().OverwriteMode = omPrompt;
  ScriptedQuestions q;
  q.answers = {TQPDialogResult::qrNoToAll};
  ExtractAll();
  ExtractAll();
  EXPECT_EQ(q.asked.size(), 1u);
  EXPECT_EQ(arc_.Options().OverwriteMode, omNever);
  EXPECT_EQ(Read("f.txt"), "old");
}

}  // namespace
}  // namespace extract_test
