// The extraction run on real archives appended to a fake program file: its steps and their
// order, the extracted tree, overwriting, the failure question, exit during the run, and a
// program with nothing appended.
#include <gtest/gtest.h>

#include "tests/app/app_fixture.h"

namespace app_test {
namespace {

using Log = std::vector<std::string>;

ZipBuilder SmallTree() {
  ZipBuilder zip;
  ZipEntry folder = Entry("sub/", "");
  folder.externalAttributes = 0x10;
  zip.Add(Entry("a.txt", "alpha"))
      .Add(folder)
      .Add(Entry("sub/readme.txt", extract_test::TextLike(300000), true))
      .Add(Entry("sub/deeper/b.bin", std::string("\0\1\2\3", 4)));
  return zip;
}

TEST_F(AppRunTest, RunExtractsEverythingInOrderThenClosesAndEnds) {
  WriteProgram(SmallTree());
  TForm1& form = Start();
  // What the window shows when the engine first reports.
  bool extractVisible = true, gaugeVisible = false, labelVisible = false;
  kit.onPump = [&] {
    if (kit.pumps != 1) return;
    extractVisible = kit.At(TControlId::glb_extract).visible;
    gaugeVisible = kit.At(TControlId::GaugeZip).visible;
    labelVisible = kit.At(TControlId::Label3).visible;
  };
  kit.log.clear();
  Extract();

  EXPECT_FALSE(extractVisible);
  EXPECT_TRUE(gaugeVisible);
  EXPECT_TRUE(labelVisible);
  EXPECT_TRUE(kit.errorBoxes.empty());
  EXPECT_EQ(form.State(), TFormState::Ending);
  EXPECT_TRUE(kit.shellOpened.empty());

  const Log steps = kit.LogOf({"glb_extract", "GaugeZip.Show", "Label3", "CloseWindow", "Terminate", "ShellOpen"});
  EXPECT_EQ(steps, (Log{"glb_extract.Hide", "GaugeZip.Show", "Label3.Show", "Label3.Text=a.txt", "Label3.Text=sub\\",
                        "Label3.Text=sub\\readme.txt", "Label3.Text=sub\\deeper\\b.bin", "CloseWindow", "Terminate"}));
  const Log gauge = kit.LogOf({"GaugeZip.Position"});
  ASSERT_GE(gauge.size(), 2u);
  EXPECT_EQ(gauge.front(), "GaugeZip.Position=0");
  EXPECT_EQ(gauge.back(), "GaugeZip.Position=100");

  EXPECT_EQ(Read("a.txt"), "alpha");
  EXPECT_TRUE(Read("sub/readme.txt") == extract_test::TextLike(300000));
  for (const auto& asked : questions.asked) ADD_FAILURE() << qp::platform::Utf16ToUtf8(asked.text);
  EXPECT_EQ(Read("sub/deeper/b.bin"), std::string("\0\1\2\3", 4));
  EXPECT_EQ(Everything(), (Log{"out", "out/a.txt", "out/sub", "out/sub/deeper", "out/sub/deeper/b.bin",
                               "out/sub/readme.txt", "stub.exe"}));
  // The archive was opened read-only with nothing denied, and is closed again.
  EXPECT_EQ(form.Archiver().OpenMode(), kOpenModeReadOnlyDenyNone);
  EXPECT_FALSE(form.Archiver().IsOpen());
  EXPECT_EQ(form.Archiver().FileName, kit.programPath);
}

TEST_F(AppRunTest, DestinationWithoutTrailingBackslashIsUsedAsTyped) {
  WriteProgram(ZipBuilder().Add(Entry("a.txt", "alpha")));
  TForm1& form = Start(root_ + u"out");
  Extract();
  EXPECT_EQ(form.Archiver().BaseDir, root_ + u"out");
  EXPECT_EQ(Read("a.txt"), "alpha");
}

TEST_F(AppRunTest, PromptModeAsksTheComponentsEnglishQuestion) {
  WriteProgram(ZipBuilder().Add(Entry("a.txt", "new")).Add(Entry("b.txt", "new")));
  Put("a.txt", "old");
  Put("b.txt", "old");
  questions.answers = {TQPDialogResult::qrNo, TQPDialogResult::qrYes};
  Start();
  Extract();
  ASSERT_EQ(questions.asked.size(), 2u);
  EXPECT_EQ(questions.asked[0].text.substr(0, 16), u"Overwrite file \"");
  EXPECT_EQ(questions.asked[0].buttons, qbYes | qbNo | qbNoToAll | qbYesToAll);
  EXPECT_EQ(Read("a.txt"), "old");
  EXPECT_EQ(Read("b.txt"), "new");
}

TEST_F(AppRunTest, CheckedBoxAndSetupModeOverwriteWithoutAsking) {
  WriteProgram(ZipBuilder().Add(Entry("a.txt", "new")));
  Put("a.txt", "old");
  Start();
  kit.At(TControlId::cboverwrite).checked = true;
  Extract();
  EXPECT_TRUE(questions.asked.empty());
  EXPECT_EQ(Read("a.txt"), "new");

  // Setup mode: the temporary folder (here the scratch destination) and overwriting.
  ScriptedToolkit setupKit;
  setupKit.tempFolder = dest_;
  setupKit.programPath = root_ + u"MySetup.exe";
  std::filesystem::copy_file(extract_test::Native(kit.programPath), extract_test::Native(setupKit.programPath));
  Put("a.txt", "old");
  TApplication setupApp(setupKit);
  TForm1& form = setupApp.CreateForm();
  setupApp.HandleEvent([&] { form.bnExtractClick(&form); });
  EXPECT_TRUE(questions.asked.empty());
  EXPECT_EQ(Read("a.txt"), "new");
  EXPECT_EQ(form.State(), TFormState::Ending);
}

TEST_F(AppRunTest, AbortInTheFailureQuestionStillLaunchesAndEnds) {
  ZipEntry damaged = Entry("bad.txt", "damaged data");
  damaged.crc = 0x12345678;
  WriteProgram(ZipBuilder()
                   .Add(Entry("start.ini", "run.exe\r\n"))
                   .Add(Entry("run.exe", "MZ"))
                   .Add(damaged)
                   .Add(Entry("after.txt", "never written")));
  questions.answers = {TQPDialogResult::qrAbort};
  TForm1& form = Start();
  Extract();
  ASSERT_EQ(questions.asked.size(), 1u);
  EXPECT_NE(questions.asked[0].text.find(u"File processing error"), std::u16string::npos);
  EXPECT_FALSE(Exists("bad.txt"));
  EXPECT_FALSE(Exists("after.txt"));
  EXPECT_EQ(kit.shellOpened, (std::vector<std::u16string>{dest_ + u"\\run.exe"}));
  EXPECT_EQ(kit.LogOf({"ShellOpen", "CloseWindow", "Terminate"}), (Log{"ShellOpen", "CloseWindow", "Terminate"}));
  EXPECT_EQ(form.State(), TFormState::Ending);
  EXPECT_TRUE(kit.errorBoxes.empty());
}

TEST_F(AppRunTest, ExitDuringTheRunLetsItFinishLaunchAndEnd) {
  WriteProgram(ZipBuilder()
                   .Add(Entry("start.ini", "run.exe"))
                   .Add(Entry("run.exe", "MZ"))
                   .Add(Entry("big.txt", extract_test::TextLike(3 << 20), true))
                   .Add(Entry("last.txt", "last")));
  TForm1& form = Start();
  int runsStarted = 0;
  kit.onPump = [&] {
    if (kit.pumps != 2) return;
    // Exit, and the extract key again (the default button) while the run goes on.
    Click(&TForm1::bnExitClick);
    Click(&TForm1::bnExtractClick);
  };
  kit.log.clear();
  Extract();
  for (const std::string& entry : kit.log) runsStarted += entry == "glb_extract.Hide";
  EXPECT_EQ(runsStarted, 1);
  EXPECT_EQ(Read("last.txt"), "last");
  EXPECT_EQ(Read("big.txt").size(), 3u << 20);
  EXPECT_EQ(kit.LogOf({"ShellOpen", "CloseWindow", "Terminate"}),
            (Log{"CloseWindow", "Terminate", "ShellOpen", "CloseWindow", "Terminate"}));
  EXPECT_EQ(form.State(), TFormState::Ending);
  EXPECT_TRUE(kit.errorBoxes.empty());
}

TEST_F(AppRunTest, ProgramWithoutAnArchiveShowsTheErrorAndStaysStuck) {
  WriteProgramBytes(FakeProgramImage());
  TForm1& form = Start();
  kit.log.clear();
  Extract();
  // No progress report came: the gauge shows 0%, not the value it was made with.
  EXPECT_TRUE(kit.At(TControlId::GaugeZip).visible);
  EXPECT_EQ(kit.At(TControlId::GaugeZip).position, 0);
  ASSERT_EQ(kit.errorBoxes.size(), 1u);
  const std::u16string& message = kit.errorBoxes[0];
  EXPECT_NE(message.find(u"Invalid archive"), std::u16string::npos);
  EXPECT_EQ(message.back(), u'.');
  EXPECT_NE(message.find(u"Native error: "), std::u16string::npos);
  EXPECT_EQ(form.State(), TFormState::Stuck);
  EXPECT_EQ(kit.LogOf({"CloseWindow", "Terminate", "ShellOpen"}), Log{});
  EXPECT_FALSE(form.Archiver().IsOpen());
  EXPECT_FALSE(std::filesystem::exists(extract_test::Native(dest_)));
  // Stuck: no second run, but the exit button still ends the program.
  Extract();
  EXPECT_EQ(kit.errorBoxes.size(), 1u);
  Click(&TForm1::bnExitClick);
  EXPECT_EQ(kit.LogOf({"CloseWindow", "Terminate"}), (Log{"CloseWindow", "Terminate"}));
  EXPECT_EQ(form.State(), TFormState::Ending);
}

TEST_F(AppRunTest, ProgramImageWithSignatureConstantsButNoArchiveSaysSo) {
  // What a real program image holds among its constants: the record signatures.
  const std::string constants = std::string("PK\x05\x06", 4) + "xx" + std::string("PK\x03\x04", 4) + "yyyy" +
                                std::string("PK\x01\x02", 4);
  WriteProgramBytes(FakeProgramImage() + constants + FakeProgramImage());
  TForm1& form = Start();
  Extract();
  ASSERT_EQ(kit.errorBoxes.size(), 1u);
  EXPECT_EQ(kit.errorBoxes[0], u"No archive to extract is appended to " + kit.programPath + u".");
  EXPECT_EQ(form.State(), TFormState::Stuck);
  EXPECT_EQ(kit.LogOf({"CloseWindow", "Terminate"}), Log{});
}

}  // namespace
}  // namespace app_test
