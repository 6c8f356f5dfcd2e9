// The event dispatchers: the handler when one is assigned (with '\' in item names), and the
// default otherwise, asked through the scripted questions or with nobody installed.
#include <gtest/gtest.h>

#include "archive/component/archiver.h"
#include "tests/component/component_helpers.h"
#include "tests/support/scripted_questions.h"

using R = TQPDialogResult;

namespace {
std::string U8(const std::u16string& s) { return qp::platform::Utf16ToUtf8(s); }
}  // namespace

TEST(ComponentDispatchers, ConfirmOverwriteDefault) {
  const struct { R answer; bool confirm; TQPOverwriteMode mode; } cases[] = {
      {R::qrYes, true, omPrompt},       {R::qrNo, false, omPrompt},  {R::qrNoToAll, false, omNever},
      {R::qrYesToAll, true, omAlways}, {R::qrNone, false, omPrompt}, {R::qrCancel, false, omPrompt}};
  for (const auto& c : cases) {
    ScriptedQuestions questions;
    questions.answers = {c.answer};
    TQuillpack a(nullptr);
    a.Options().OverwriteMode = omPrompt;
    std::u16string dest = u"C:\\out\\dir\\f.txt";
    bool confirm = !c.confirm;
    a.DoOnConfirmOverwrite(u"dir/f.txt", dest, confirm);
    EXPECT_EQ(confirm, c.confirm);
    EXPECT_EQ(a.Options().OverwriteMode, c.mode);
    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(questions.asked[0].kind, TQPDialogKind::Confirmation);
    EXPECT_EQ(questions.asked[0].text, u"Overwrite file \"C:\\out\\dir\\f.txt\" with \"dir\\f.txt\"");
    EXPECT_EQ(questions.asked[0].buttons, uint32_t{qbYes | qbNo | qbNoToAll | qbYesToAll});
  }
  // Nobody to ask: the item is skipped.
  TQuillpack a(nullptr);
  std::u16string dest = u"x";
  bool confirm = true;
  a.DoOnConfirmOverwrite(u"f", dest, confirm);
  EXPECT_FALSE(confirm);
}

TEST(ComponentDispatchers, ProcessFileFailureDefault) {
  const struct { R answer; TQPAction action; } cases[] = {
      {R::qrRetry, fxaRetry}, {R::qrIgnore, fxaIgnore}, {R::qrAbort, fxaAbort}, {R::qrNone, fxaAbort}};
  for (const auto& c : cases) {
    ScriptedQuestions questions;
    questions.answers = {c.answer};
    TQuillpack a(nullptr);
    TQPAction action = fxaIgnore;
    a.DoOnProcessFileFailure(u"f.txt", poExtract, 8, 4, u"Bad - Native error: 00008", action);
    EXPECT_EQ(action, c.action);
    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(questions.asked[0].text, u"Bad - Native error: 00008. File processing error, possibly disk is full");
    EXPECT_EQ(questions.asked[0].buttons, uint32_t{qbAbort | qbRetry | qbIgnore});
  }
  {
    // A cancelled volume request aborts without a question.
    ScriptedQuestions questions;
    TQuillpack a(nullptr);
    TQPAction action = fxaIgnore;
    a.DoOnProcessFileFailure(u"f.txt", poExtract, 45, 24, u"m", action);
    EXPECT_EQ(action, fxaAbort);
    EXPECT_TRUE(questions.asked.empty());
  }
  TQuillpack a(nullptr);
  TQPAction action = fxaIgnore;
  a.DoOnProcessFileFailure(u"f.txt", poExtract, 8, 4, u"m", action);
  EXPECT_EQ(action, fxaAbort);

  // A handler decides alone and sees the name with backslashes.
  ScriptedQuestions questions;
  std::u16string seen;
  a.OnProcessFileFailure = [&](TComponent*, const std::u16string& name, TQPProcessOperation, int32_t native,
                               int32_t code, const std::u16string&, TQPAction& act) {
    seen = name;
    EXPECT_EQ(native, 19);
    EXPECT_EQ(code, 9);
    act = fxaRetry;
  };
  a.DoOnProcessFileFailure(u"d/f.txt", poExtract, 19, 9, u"m", action);
  EXPECT_EQ(action, fxaRetry);
  EXPECT_EQ(seen, u"d\\f.txt");
  EXPECT_TRUE(questions.asked.empty());
}

TEST(ComponentDispatchers, PasswordDefault) {
  TQuillpack a(nullptr);
  std::string password = "old";
  bool skip = false;
  a.DoOnPassword(u"f", password, skip);  // nobody installed
  EXPECT_TRUE(skip);
  EXPECT_EQ(password, "old");

  ScriptedQuestions questions;
  questions.passwords = {"secret"};
  skip = true;
  a.DoOnPassword(u"d/f", password, skip);
  EXPECT_FALSE(skip);
  EXPECT_EQ(password, "secret");
  ASSERT_EQ(questions.passwordAsked.size(), 1u);
  EXPECT_EQ(questions.passwordAsked[0], u"d\\f");
  a.DoOnPassword(u"d/f", password, skip);  // the user cancels
  EXPECT_TRUE(skip);
  EXPECT_EQ(password, "secret");
}

TEST(ComponentDispatchers, ProgressConfirmAndNameEvents) {
  ScriptedQuestions questions;
  TQuillpack a(nullptr);
  bool cancel = true;
  a.DoOnOverallProgress(50, poExtract, ppProcess, cancel);
  EXPECT_FALSE(cancel);
  cancel = true;
  a.DoOnFileProgress(u"a/b", 50, poExtract, ppProcess, cancel);
  EXPECT_FALSE(cancel);
  cancel = true;
  a.DoOnCopyTempFileProgress(50, ppEnd, cancel);
  EXPECT_FALSE(cancel);
  bool confirm = true;
  a.DoOnConfirmProcessFile(u"a/b", poExtract, confirm);
  EXPECT_TRUE(confirm);

  std::u16string progressName;
  a.OnFileProgress = [&](TComponent* sender, const std::u16string& name, double, TQPProcessOperation,
                         TQPProgressPhase, bool& c) {
    EXPECT_EQ(sender, &a);
    progressName = name;
    c = true;
  };
  a.DoOnFileProgress(u"a/b/c.txt", 10, poExtract, ppStart, cancel);
  EXPECT_EQ(progressName, u"a\\b\\c.txt");
  EXPECT_TRUE(cancel);

  std::u16string name = u"a/b.txt";
  uint32_t attr = 0x20;
  a.DoOnExtractFile(name, attr, "");
  EXPECT_EQ(name, u"a/b.txt");  // no handler: untouched
  a.OnExtractFile = [&](TComponent*, std::u16string& n, uint32_t& at, const std::string& comment) {
    EXPECT_EQ(n, u"a\\b.txt");
    EXPECT_EQ(comment, "note");
    n = u"other\\dir\\b.txt";
    at = 0x21;
  };
  a.DoOnExtractFile(name, attr, "note");
  EXPECT_EQ(name, u"other/dir/b.txt");
  EXPECT_EQ(attr, 0x21u);
  EXPECT_TRUE(questions.asked.empty());
}

TEST(ComponentDispatchers, DiskFullHandlerSeesTheNumberFromOneAndCancelCleared) {
  TQuillpack a(nullptr);
  int32_t seen = -99;
  bool cancelOnEntry = true;
  a.OnDiskFull = [&](TComponent*, int32_t volume, const std::u16string&, bool& cancel) {
    seen = volume;
    cancelOnEntry = cancel;
    cancel = true;
  };
  bool cancel = true;
  a.DoOnDiskFull(-1, u"x.zip", cancel);
  EXPECT_EQ(seen, 0);
  EXPECT_FALSE(cancelOnEntry);
  EXPECT_TRUE(cancel);
}

TEST(ComponentDispatchers, DiskFullDefault) {
  TQuillpack a(nullptr);
  a.Name = u"Archiver";
  bool cancel = false;
  try {
    a.DoOnDiskFull(1, u"x.zip", cancel);
    FAIL() << "no exception";
  } catch (const EQPException& e) {
    EXPECT_EQ(e.NativeError, 65);
    // Raised without the component: no name in front.
    EXPECT_EQ(e.Message(), u"Disk is full. There is not enough free space on disk. - Native error: 00065");
  }

  ScratchDir dir;
  const std::u16string volume = U16(dir.path() + "/v.zip");
  a.SetSpanningMode(smSpanning);
  a.SpanningOptions().VolumeSize = vsCustom;
  a.SpanningOptions().SetCustomVolumeSize(70000);
  a.SpanningOptions().FirstVolumeSize = 80000;
  ScriptedQuestions questions;
  questions.answers = {R::qrOK, R::qrCancel};
  a.DoOnDiskFull(1, volume, cancel);
  EXPECT_FALSE(cancel);
  a.DoOnDiskFull(0, volume, cancel);  // the first volume has its own limit
  EXPECT_TRUE(cancel);
  ASSERT_EQ(questions.asked.size(), 2u);
  // The free space moves while other programs write, so only its form is checked.
  const std::u16string head = u"Disk is full. Required free space: 70000 bytes, but available only: ";
  const std::u16string tail = u" bytes. Clean the disk or find another blank disk";
  const std::u16string& text = questions.asked[0].text;
  ASSERT_GT(text.size(), head.size() + tail.size());
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  const std::u16string free = text.substr(head.size(), text.size() - head.size() - tail.size());
  EXPECT_TRUE(!free.empty() && free.find_first_not_of(u"0123456789") == std::u16string::npos) << U8(free);
  EXPECT_EQ(questions.asked[1].text.substr(0, 39), u"Disk is full. Required free space: 8000");
  EXPECT_EQ(questions.asked[0].buttons, uint32_t{qbOK | qbCancel});
}

TEST(ComponentDispatchers, VolumeRequestDefaults) {
  ScratchDir dir;
  const std::string present = dir.Write("set.zip", "x");
  TQuillpack a(nullptr);
  a.FileName = U16(present);

  // Split sets ask nobody: a volume that is not there cancels.
  ScriptedQuestions questions;
  a.SetSpanningMode(smSplitting);
  std::u16string name = U16(dir.path() + "/set.z01");
  bool cancel = false;
  a.DoOnRequestFirstVolume(name, cancel);
  EXPECT_TRUE(cancel);
  name = a.FileName;
  cancel = false;
  a.DoOnRequestLastVolume(name, cancel);
  EXPECT_FALSE(cancel);
  name = a.VolumeFileName(a.FileName, 2, true);
  cancel = false;
  a.DoOnRequestMiddleVolume(3, name, cancel);
  EXPECT_TRUE(cancel);  // set.Z03 is missing
  EXPECT_TRUE(questions.asked.empty());

  // Spanned sets ask for the disk.
  a.SetSpanningMode(smSpanning);
  questions.answers = {R::qrOK, R::qrCancel, R::qrOK, R::qrOK, R::qrCancel};
  cancel = true;
  a.DoOnRequestFirstVolume(name, cancel);
  EXPECT_FALSE(cancel);
  EXPECT_EQ(name, a.FileName);  // the same name on every disk
  a.DoOnRequestMiddleVolume(4, name, cancel);
  EXPECT_TRUE(cancel);
  name = U16(dir.path() + "/gone.zip");
  a.DoOnRequestLastVolume(name, cancel);  // OK, then not found, OK, not found, Cancel
  EXPECT_TRUE(cancel);
  ASSERT_EQ(questions.asked.size(), 5u);
  EXPECT_EQ(questions.asked[0].text, u"Please insert the first disk");
  EXPECT_EQ(questions.asked[0].buttons, uint32_t{qbOK | qbCancel});
  EXPECT_EQ(questions.asked[1].text, u"Please insert disk #4");
  EXPECT_EQ(questions.asked[2].text, u"Please insert the last disk");
  EXPECT_EQ(questions.asked[3].text, u"File '" + name +
                                         u"' not found on inserted disk. Please insert last disk with required file");
  EXPECT_EQ(questions.asked[4].text, questions.asked[3].text);
}
