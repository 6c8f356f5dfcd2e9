// Multi-volume sets: volume names under both namings and for self-extractors, the opening
// probes that tell single files, split sets and spanned sets apart, the directory read across
// volume ends, and the ends of a set that cannot be read (native errors 45 and 44).
#include <filesystem>

#include <gtest/gtest.h>

#include "archive/component/archiver.h"
#include "tests/component/component_helpers.h"
#include "tests/component/split_set.h"
#include "tests/support/scripted_questions.h"

namespace {

std::vector<std::string> Names(TQPBaseArchiver& a) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < a.ItemCount(); ++i)
    names.push_back(qp::platform::Utf16ToUtf8(a.DirManager()->Directory.ItemRef(i).ItemName));
  return names;
}

SplitSetLayout FiveItemsThreeDirectoryVolumes() {
  SplitSetLayout layout;
  for (int i = 0; i < 5; ++i) layout.entries.push_back({"dir/item" + std::to_string(i) + ".txt", std::string(100, 'a' + i)});
  layout.entriesPerVolume = 2;  // data on volumes 1-3 (data.z01-z03)
  layout.headersPerVolume = 2;  // directory on volumes 4-6 (data.z04, data.z05, data.zip)
  return layout;
}

const std::vector<std::string> kFiveNames = {"dir/item0.txt", "dir/item1.txt", "dir/item2.txt", "dir/item3.txt",
                                             "dir/item4.txt"};

// Writes the volumes as `stem`.z01 ... and `stem`.zip (or `stem`_001.zip ... with advanced
// naming); returns the last volume's path.
std::string WriteSet(const ScratchDir& dir, const std::vector<std::string>& volumes, bool advanced,
                     const std::string& stem = "data") {
  for (size_t i = 0; i + 1 < volumes.size(); ++i) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, advanced ? "_%03zu.zip" : ".z%02zu", i + 1);
    dir.Write(stem + suffix, volumes[i]);
  }
  return dir.Write(stem + ".zip", volumes.back());
}

}  // namespace

TEST(ComponentVolumes, VolumeFileNames) {
  TQuillpack a(nullptr);
  const std::u16string zip = u"C:\\sets\\data.zip";
  a.FileName = zip;
  a.SetSpanningMode(smSplitting);
  EXPECT_EQ(a.VolumeFileName(zip, 0, false), u"C:\\sets\\data.Z01");
  EXPECT_EQ(a.VolumeFileName(zip, 1, false), u"C:\\sets\\data.Z02");
  EXPECT_EQ(a.VolumeFileName(zip, -1, false), zip);
  a.SpanningOptions().AdvancedNaming = true;
  EXPECT_EQ(a.VolumeFileName(zip, 0, false), u"C:\\sets\\data_001.zip");
  EXPECT_EQ(a.VolumeFileName(zip, 11, false), u"C:\\sets\\data_012.zip");
  a.SpanningOptions().AdvancedNaming = false;

  // A self-extractor: the program is the first volume, ".ZIP" the last.
  const std::u16string exe = u"C:\\sets\\data.exe";
  EXPECT_EQ(a.VolumeFileName(exe, 0, false), exe);
  EXPECT_EQ(a.VolumeFileName(exe, 1, false), u"C:\\sets\\data.Z02");
  EXPECT_EQ(a.VolumeFileName(exe, -1, false), u"C:\\sets\\data.ZIP");
  a.SFXStub = u"stub.exe";  // a stub makes any name a self-extractor
  EXPECT_EQ(a.VolumeFileName(zip, 0, false), u"C:\\sets\\data.exe");
  EXPECT_EQ(a.VolumeFileName(zip, -1, false), u"C:\\sets\\data.ZIP");
  a.SFXStub.clear();

  a.SetSpanningMode(smSpanning);
  EXPECT_EQ(a.VolumeFileName(zip, 3, false), zip);
  EXPECT_EQ(a.VolumeFileName(exe, 3, false), exe);
  EXPECT_EQ(a.VolumeFileName(zip, -1, false), zip);
  a.SpanningOptions().AdvancedNaming = true;
  EXPECT_EQ(a.VolumeFileName(zip, 3, false), u"C:\\sets\\data_004.zip");

  // With the existence check the other naming is used when only its file is there.
  ScratchDir dir;
  const std::u16string here = U16(dir.Write("disk.zip", "x"));
  const std::u16string folder = here.substr(0, here.size() - 8);  // with its separator
  EXPECT_EQ(a.VolumeFileName(here, 0, false), folder + u"disk_001.zip");
  EXPECT_EQ(a.VolumeFileName(here, 0, true), here);
  EXPECT_EQ(a.VolumeFileName(folder + u"none.zip", 0, true), folder + u"none_001.zip");
}

TEST(ComponentVolumes, SingleFilesOpenAsSingleFiles) {
  ScratchDir dir;
  TQuillpack a(nullptr);
  a.FileName = U16(dir.Write("plain.zip", ZipWithNames({"a", "b"})));
  a.OpenArchive(kOpenModeReadOnlyDenyNone);
  EXPECT_EQ(a.GetSpanningMode(), smNone);
  EXPECT_EQ(Names(a), (std::vector<std::string>{"a", "b"}));

  // An executable with its end record inside is a single file, whatever lies beside it.
  const std::string program = "MZ" + std::string(3000, '\x90');
  dir.Write("setup.ZIP", ZipWithNames({"other"}));
  dir.Write("setup.z01", ZipWithNames({"other"}));
  a.FileName = U16(dir.Write("setup.exe", ZipWithNames({"inside.txt"}, program)));
  a.OpenArchive(kOpenModeReadOnlyDenyNone);
  EXPECT_EQ(a.GetSpanningMode(), smNone);
  EXPECT_EQ(Names(a), std::vector<std::string>{"inside.txt"});
  EXPECT_EQ(a.DirManager()->PrefixLength, program.size());
  EXPECT_EQ(a.CurrentVolumeFileName(), a.FileName);
}

TEST(ComponentVolumes, SplitSetsInBothNamings) {
  for (bool advanced : {false, true}) {
    ScratchDir dir;
    ScriptedQuestions questions;  // nothing may be asked
    TQuillpack a(nullptr);
    a.FileName = U16(WriteSet(dir, BuildSplitSet(FiveItemsThreeDirectoryVolumes()), advanced));
    a.OpenArchive(kOpenModeReadOnlyDenyNone);
    EXPECT_EQ(a.GetSpanningMode(), smSplitting);
    // The component's default naming is the old one; a set in the other one turns it over.
    EXPECT_EQ(a.SpanningOptions().AdvancedNaming, advanced);
    EXPECT_EQ(Names(a), kFiveNames);
    EXPECT_EQ(a.CurrentVolumeFileName(), a.FileName);  // the directory ends in the last volume
    EXPECT_EQ(a.VolumeInfo().Number, 5);
    EXPECT_TRUE(questions.asked.empty());
  }
}

TEST(ComponentVolumes, SelfExtractingSplitSet) {
  ScratchDir dir;
  SplitSetLayout layout;
  layout.entries = {{"one.txt", "1"}, {"two.txt", "2"}};
  layout.entriesPerVolume = 2;
  layout.firstVolumePrefix = "MZ" + std::string(500, '\0');
  const auto volumes = BuildSplitSet(layout);  // data.exe, then data.ZIP with the directory
  ASSERT_EQ(volumes.size(), 2u);
  dir.Write("data.exe", volumes[0]);
  dir.Write("data.ZIP", volumes[1]);
  TQuillpack a(nullptr);
  a.FileName = U16(dir.path() + "/data.exe");
  a.OpenArchive(kOpenModeReadOnlyDenyNone);
  EXPECT_EQ(a.GetSpanningMode(), smSplitting);
  EXPECT_EQ(Names(a), (std::vector<std::string>{"one.txt", "two.txt"}));
  EXPECT_EQ(a.CurrentVolumeFileName(), U16(dir.path() + "/data.ZIP"));
}

TEST(ComponentVolumes, MissingOrForeignVolumesEndTheOpen) {
  const auto volumes = BuildSplitSet(FiveItemsThreeDirectoryVolumes());
  {
    // A missing volume of the directory: the request is cancelled, with or without a user.
    ScratchDir dir;
    const std::string last = WriteSet(dir, volumes, false);
    std::filesystem::rename(dir.path() + "/data.z04", dir.path() + "/elsewhere.bin");
    TQuillpack a(nullptr);
    a.FileName = U16(last);
    EXPECT_EQ(NativeErrorOf([&] { a.OpenArchive(kOpenModeReadOnlyDenyNone); }), 45);
    EXPECT_FALSE(a.IsOpen());
    ScriptedQuestions questions;
    EXPECT_EQ(NativeErrorOf([&] { a.OpenArchive(kOpenModeReadOnlyDenyNone); }), 45);
    EXPECT_TRUE(questions.asked.empty());

    // A handler may point at the volume under another name, or give up.
    std::vector<int32_t> asked;
    a.OnRequestMiddleVolume = [&](TComponent*, int32_t number, std::u16string& name, bool&) {
      asked.push_back(number);
      if (number == 4) name = U16(dir.path() + "/elsewhere.bin");
    };
    a.OpenArchive(kOpenModeReadOnlyDenyNone);
    EXPECT_EQ(Names(a), kFiveNames);
    EXPECT_EQ(asked, (std::vector<int32_t>{4, 5}));
    a.OnRequestMiddleVolume = [&](TComponent*, int32_t, std::u16string&, bool& cancel) { cancel = true; };
    EXPECT_EQ(NativeErrorOf([&] { a.OpenArchive(kOpenModeReadOnlyDenyNone); }), 45);
    a.OnRequestMiddleVolume = [&](TComponent*, int32_t, std::u16string& name, bool&) { name.clear(); };
    EXPECT_EQ(NativeErrorOf([&] { a.OpenArchive(kOpenModeReadOnlyDenyNone); }), 45);
  }
  {
    // A volume of another set where the directory goes on: native error 44.
    ScratchDir dir;
    const std::string last = WriteSet(dir, volumes, false);
    dir.Write("data.z05", ZipWithNames({"foreign1", "foreign2", "foreign3"}));
    TQuillpack a(nullptr);
    a.FileName = U16(last);
    EXPECT_EQ(NativeErrorOf([&] { a.OpenArchive(kOpenModeReadOnlyDenyNone); }), 44);
    dir.Write("data.z05", "tiny");
    EXPECT_EQ(NativeErrorOf([&] { a.OpenArchive(kOpenModeReadOnlyDenyNone); }), 44);
  }
  {
    // No volume files at all on a fixed drive: taken as a spanned set, whose disk request
    // nobody answers.
    ScratchDir dir;
    TQuillpack a(nullptr);
    a.FileName = U16(dir.Write("data.zip", volumes.back()));
    ScriptedQuestions questions;
    EXPECT_EQ(NativeErrorOf([&] { a.OpenArchive(kOpenModeReadOnlyDenyNone); }), 45);
    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(questions.asked[0].text, u"Please insert disk #4");
  }
}
