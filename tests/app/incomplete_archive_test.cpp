// A self-extractor whose archive is cut off (a broken download) or damaged: what can be
// recovered is extracted, then the error box says so and start.ini's program is not opened;
// the whole self-extractor still launches it.
#include <gtest/gtest.h>

#include "tests/app/app_fixture.h"

namespace app_test {
namespace {

constexpr char16_t kIncomplete[] =
    u"The archive is damaged or incomplete: some items may be missing. Download the file again.";

ZipBuilder SetupArchive() {
  return ZipBuilder()
      .Add(Entry("start.ini", "run.exe\r\n"))
      .Add(Entry("run.exe", "MZ setup"))
      .Add(Entry("data/a.txt", extract_test::TextLike(20000), true))
      .Add(Entry("data/b.txt", "last item"));
}

std::string SetupBytes() { return SetupArchive().Prefix(FakeProgramImage()).RelativeOffsets().Build(); }

class IncompleteArchiveTest : public AppRunTest {
 protected:
  // Runs the program made of `bytes` and checks that it ended in the error box, not the launch.
  void RunExpectingTheErrorBox(const std::string& bytes) {
    WriteProgramBytes(bytes);
    TForm1& form = Start();
    kit.log.clear();
    Extract();
    ASSERT_EQ(kit.errorBoxes.size(), 1u);
    EXPECT_EQ(kit.errorBoxes[0], kIncomplete);
    EXPECT_TRUE(kit.shellOpened.empty());
    EXPECT_EQ(kit.LogOf({"ShellOpen", "CloseWindow", "Terminate"}), std::vector<std::string>{});
    EXPECT_EQ(form.State(), TFormState::Stuck);
    EXPECT_FALSE(form.Archiver().IsOpen());
    // The run got to the end of the extraction before it said so.
    EXPECT_EQ(kit.LogOf({"GaugeZip.Position"}).back(), "GaugeZip.Position=100");
  }
};

TEST_F(IncompleteArchiveTest, CutInsideTheThirdLocalHeaderExtractsTwoItemsAndLaunchesNothing) {
  const std::string whole = SetupBytes();
  const size_t thirdHeader = whole.find("data/a.txt") - 30;
  ASSERT_EQ(whole.compare(thirdHeader, 4, "PK\x03\x04"), 0);
  RunExpectingTheErrorBox(whole.substr(0, thirdHeader + 12));
  EXPECT_EQ(Read("start.ini"), "run.exe\r\n");
  EXPECT_EQ(Read("run.exe"), "MZ setup");
  EXPECT_FALSE(Exists("data/a.txt"));
  EXPECT_FALSE(Exists("data/b.txt"));
}

// Where a copy of the program ends: inside the last item's data, at the start of and inside
// the central directory, at the start of and inside the end record, one byte short.
struct CutPlace {
  const char* label;
  size_t (*at)(const std::string& whole);
};

size_t LastData(const std::string& whole) { return whole.rfind("last item", whole.find("PK\x01\x02", 0, 4)); }

class CutProgramTest : public IncompleteArchiveTest, public ::testing::WithParamInterface<CutPlace> {};

TEST_P(CutProgramTest, ExtractsWhatIsThereThenShowsTheErrorBox) {
  const std::string whole = SetupBytes();
  const size_t cut = GetParam().at(whole);
  ASSERT_GT(cut, LastData(whole));
  ASSERT_LT(cut, whole.size());
  RunExpectingTheErrorBox(whole.substr(0, cut));
  EXPECT_EQ(Read("run.exe"), "MZ setup");
  EXPECT_EQ(Read("data/a.txt"), extract_test::TextLike(20000));
  // The item whose data was cut is not kept.
  EXPECT_EQ(Exists("data/b.txt"), cut >= LastData(whole) + 9);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRecord, CutProgramTest,
    ::testing::Values(CutPlace{"InsideTheLastData", [](const std::string& w) { return LastData(w) + 4; }},
                      CutPlace{"AtTheDirectory", [](const std::string& w) { return w.find("PK\x01\x02", 0, 4); }},
                      CutPlace{"InsideTheDirectory",
                               [](const std::string& w) { return w.find("PK\x01\x02", 0, 4) + 50; }},
                      CutPlace{"AtTheEndRecord", [](const std::string& w) { return w.find("PK\x05\x06", 0, 4); }},
                      CutPlace{"InsideTheEndRecord",
                               [](const std::string& w) { return w.find("PK\x05\x06", 0, 4) + 10; }},
                      CutPlace{"OneByteShort", [](const std::string& w) { return w.size() - 1; }}),
    [](const ::testing::TestParamInfo<CutPlace>& info) { return std::string(info.param.label); });

TEST_F(IncompleteArchiveTest, AnEndRecordCountingMoreEntriesEndsInTheErrorBox) {
  RunExpectingTheErrorBox(SetupArchive().EntryCount(7).Prefix(FakeProgramImage()).RelativeOffsets().Build());
  EXPECT_EQ(Read("run.exe"), "MZ setup");
  EXPECT_EQ(Read("data/b.txt"), "last item");
}

TEST_F(IncompleteArchiveTest, TheWholeArchiveStillLaunchesItsProgram) {
  WriteProgramBytes(SetupBytes());
  TForm1& form = Start();
  Extract();
  EXPECT_TRUE(kit.errorBoxes.empty());
  EXPECT_EQ(kit.shellOpened, (std::vector<std::u16string>{dest_ + u"\\run.exe"}));
  EXPECT_EQ(form.State(), TFormState::Ending);
}

}  // namespace
}  // namespace app_test
