// Start-up of the window logic: setup mode from the program's file name, the presets of both
// modes, the focus, the folder dialog, and the handlers that only move controls.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/application.h"
#include "archive/base/exception.h"
#include "tests/app/scripted_toolkit.h"
#include "tests/support/scripted_questions.h"

namespace app_test {
namespace {

struct Started {
  explicit Started(std::u16string programPath, std::u16string tempFolder = u"C:\\Temp\\") {
    kit.programPath = std::move(programPath);
    kit.tempFolder = std::move(tempFolder);
    form = &app.CreateForm();
    app.HandleEvent([this] { form->FormShow(form); });
  }
  ScriptedToolkit kit;
  TApplication app{kit};
  TForm1* form = nullptr;
};

TEST(StartupTest, SetupModeComesFromTheFileNameOnly) {
  for (const char16_t* path : {u"D:\\Downloads\\Setup.exe", u"D:\\x\\MYSETUP.EXE", u"D:\\x\\install-setup2.exe"}) {
    Started s(path);
    EXPECT_EQ(s.kit.At(TControlId::edPath).text, u"C:\\Temp\\") << qp::platform::Utf16ToUtf8(path);
    EXPECT_EQ(s.kit.At(TControlId::glb_extract).text, u"Setup starten");
    EXPECT_TRUE(s.kit.At(TControlId::cboverwrite).checked);
    EXPECT_FALSE(s.kit.At(TControlId::cboverwrite).enabled);
    // Disabled before it is checked.
    EXPECT_EQ(s.kit.LogOf({"cboverwrite"}), (std::vector<std::string>{"cboverwrite.Disable", "cboverwrite.Check"}));
  }
  for (const char16_t* path : {u"D:\\x\\set-up.exe", u"D:\\x\\stup.exe", u"D:\\setup\\tool.exe", u"C:setup\\x.exe"}) {
    Started s(path);
    EXPECT_EQ(s.kit.At(TControlId::glb_extract).text, u"Extrahieren/Setup starten") << qp::platform::Utf16ToUtf8(path);
    EXPECT_FALSE(s.kit.At(TControlId::cboverwrite).checked);
    EXPECT_TRUE(s.kit.At(TControlId::cboverwrite).enabled);
  }
}

TEST(StartupTest, PresetsOfNormalAndSetupMode) {
  Started normal(u"D:\\Downloads\\stub.exe");
  EXPECT_EQ(normal.kit.At(TControlId::edPath).text, u"D:\\Downloads\\");
  EXPECT_EQ(normal.kit.At(TControlId::Label3).text, u"");
  EXPECT_FALSE(normal.kit.At(TControlId::Label3).visible);
  EXPECT_FALSE(normal.kit.At(TControlId::GaugeZip).visible);
  EXPECT_EQ(normal.kit.At(TControlId::Label2).text, u"Version f\u00FCr Harlbeck 2021.1026");
  EXPECT_TRUE(normal.kit.At(TControlId::glb_extract).focused);
  EXPECT_TRUE(normal.kit.errorBoxes.empty());
  EXPECT_EQ(normal.form->State(), TFormState::Ready);

  // A temporary folder the ANSI query cannot report leaves the destination empty.
  Started failedQuery(u"D:\\Downloads\\setup.exe", u"");
  EXPECT_EQ(failedQuery.kit.At(TControlId::edPath).text, u"");
  EXPECT_EQ(failedQuery.kit.At(TControlId::glb_extract).text, u"Setup starten");
}

TEST(StartupTest, FolderDialogSetsTheDestinationOnlyWhenConfirmed) {
  Started s(u"D:\\Downloads\\stub.exe");
  s.kit.At(TControlId::edPath).text = u"E:\\typed";
  s.app.HandleEvent([&] { s.form->bnSelectDestPathClick(s.form); });
  EXPECT_EQ(s.kit.At(TControlId::edPath).text, u"E:\\typed");
  s.kit.browseAnswer = u"F:\\";
  s.app.HandleEvent([&] { s.form->bnSelectDestPathClick(s.form); });
  EXPECT_EQ(s.kit.At(TControlId::edPath).text, u"F:\\");
  ASSERT_EQ(s.kit.browsePrompts.size(), 2u);
  EXPECT_EQ(s.kit.browsePrompts[0], u"W\u00E4hlen Sie den Zielordner aus ...");
}

TEST(StartupTest, ProgressRoundsHalvesToEvenClampsAndPumps) {
  Started s(u"D:\\Downloads\\stub.exe");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::pair<double, int> cases[] = {{0.5, 0},   {1.5, 2},    {2.5, 2},   {2.51, 3}, {99.5, 100}, {98.5, 98},
                                          {-0.5, 0},  {-7.0, 0},   {100.4, 100}, {1e300, 100}, {nan, 0}, {42.0, 42}};
  int pumps = 0;
  for (const auto& [progress, shown] : cases) {
    bool cancel = false;
    s.form->ArchiverOverallProgress(s.form, progress, poExtract, ppProcess, cancel);
    EXPECT_EQ(s.kit.At(TControlId::GaugeZip).position, shown) << progress;
    EXPECT_FALSE(cancel);
    EXPECT_EQ(s.kit.pumps, ++pumps);
  }
}

TEST(StartupTest, ExtractFileShowsTheNameAndChangesNothing) {
  Started s(u"D:\\Downloads\\stub.exe");
  std::u16string name = u"sub\\readme.txt";
  uint32_t attr = 0x21;
  s.form->ArchiverExtractFile(s.form, name, attr, "comment");
  EXPECT_EQ(s.kit.At(TControlId::Label3).text, u"sub\\readme.txt");
  EXPECT_EQ(name, u"sub\\readme.txt");
  EXPECT_EQ(attr, 0x21u);
}

TEST(StartupTest, OverwriteHandlerIsPresentButNotConnected) {
  Started s(u"D:\\Downloads\\stub.exe");
  EXPECT_FALSE(s.form->Archiver().OnConfirmOverwrite);
  EXPECT_TRUE(s.form->Archiver().OnOverallProgress);
  EXPECT_TRUE(s.form->Archiver().OnExtractFile);

  ScriptedQuestions questions;
  questions.answers = {TQPDialogResult::qrNo, TQPDialogResult::qrYesToAll};
  std::u16string dest = u"C:\\out\\a.txt";
  bool confirm = false;
  s.form->ArchiverConfirmOverwrite(s.form, u"a.txt", dest, confirm);
  EXPECT_FALSE(confirm);
  ASSERT_EQ(questions.asked.size(), 1u);
  EXPECT_EQ(questions.asked[0].text, u"\u00DCberschreiben C:\\out\\a.txt\r\nmit Datei a.txt");
  s.form->ArchiverConfirmOverwrite(s.form, u"a.txt", dest, confirm);
  EXPECT_TRUE(confirm);
  // Remembered: no further question.
  confirm = false;
  s.form->ArchiverConfirmOverwrite(s.form, u"b.txt", dest, confirm);
  EXPECT_TRUE(confirm);
  EXPECT_EQ(questions.asked.size(), 2u);
  EXPECT_EQ(dest, u"C:\\out\\a.txt");
}

TEST(ErrorBoxTest, FullStopOnlyAfterCharactersAboveThePoint) {
  EXPECT_EQ(WithFullStop(u"Archiver: Invalid archive - Native error: 00035"),
            u"Archiver: Invalid archive - Native error: 00035.");
  EXPECT_EQ(WithFullStop(u"Disk full"), u"Disk full.");
  EXPECT_EQ(WithFullStop(u"Done."), u"Done.");
  EXPECT_EQ(WithFullStop(u"Stop!"), u"Stop!");
  EXPECT_EQ(WithFullStop(u"index (0)"), u"index (0)");
  EXPECT_EQ(WithFullStop(u"a-"), u"a-");
  EXPECT_EQ(WithFullStop(u"a/"), u"a/.");
  EXPECT_EQ(WithFullStop(u""), u"");
}

TEST(ErrorBoxTest, AnExceptionLeavingAHandlerIsShownAndTheLoopGoesOn) {
  ScriptedToolkit kit;
  TApplication app(kit);
  app.HandleEvent([] { throw Exception(u"Kaputt \u00E4"); });
  app.HandleEvent([] { throw std::runtime_error("plain failure"); });
  app.HandleEvent([] { throw 42; });
  app.HandleEvent([] {});
  EXPECT_EQ(kit.errorBoxes, (std::vector<std::u16string>{u"Kaputt \u00E4.", u"plain failure.", u"Unknown error."}));
}

}  // namespace
}  // namespace app_test
