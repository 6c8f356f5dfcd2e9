// The component's published properties: constructor defaults, the setters with rules, the
// option objects and their assignment, and the in-memory switch.
#include <stdexcept>

#include <gtest/gtest.h>

#include "archive/component/archiver.h"
#include "tests/component/component_helpers.h"

TEST(ComponentProperties, ConstructorDefaults) {
  TQuillpack a(nullptr);
  EXPECT_TRUE(a.Name.empty());
  EXPECT_EQ(a.Tag, 0);
  EXPECT_FALSE(a.ExtractCorruptedFiles);
  EXPECT_EQ(a.GetCompressionLevel(), clFastest);
  EXPECT_EQ(a.GetCompressionMode(), 1);
  EXPECT_EQ(a.GetCompressionMethod(), 8);
  EXPECT_EQ(a.GetCurrentVersion(), u"6.94 ");
  EXPECT_TRUE(a.GetPassword().empty());
  EXPECT_TRUE(a.FileName.empty() && a.BaseDir.empty() && a.TempDir.empty() && a.SFXStub.empty());
  EXPECT_EQ(a.GetSpanningMode(), smNone);
  EXPECT_FALSE(a.SpanningOptions().AdvancedNaming);
  EXPECT_EQ(a.SpanningOptions().FirstVolumeSize, 0);
  EXPECT_EQ(a.SpanningOptions().VolumeSize, vsAutoDetect);
  EXPECT_EQ(a.SpanningOptions().GetCustomVolumeSize(), 0);
  const TQPOptions& o = a.Options();
  EXPECT_TRUE(o.Recurse);
  EXPECT_EQ(o.StorePath, spRelativePath);
  EXPECT_EQ(o.ShareMode, smShareDenyNone);
  EXPECT_EQ(o.OverwriteMode, omAlways);
  EXPECT_TRUE(o.CreateDirs && o.ReplaceReadOnly && o.SetAttributes && o.FlushBuffers && o.OEMFileNames);
  EXPECT_EQ(o.SearchAttr, 0x28BF);
  EXPECT_TRUE(a.FileMasks.empty() && a.ExclusionMasks.empty() && a.NoCompressionMasks.empty());
  EXPECT_FALSE(a.GetInMemory());
  EXPECT_EQ(a.Zip64Mode, zmDisabled);
  EXPECT_FALSE(a.UnicodeFilenames);
  EXPECT_EQ(a.EncryptionMethod, caPkzipClassic);
  EXPECT_FALSE(a.IsOpen());
  EXPECT_EQ(a.VolumeInfo().Kind, TQPVolumeNumberInfo::UnsetVolume);

  // The base class leaves ZIP64 on automatic; only the published component turns it off.
  TQPBaseArchiver base(nullptr);
  EXPECT_EQ(base.Zip64Mode, zmAuto);
}

TEST(ComponentProperties, CompressionModeAndLevelAreCoupled) {
  TQuillpack a(nullptr);
  a.Name = u"Archiver";
  try {
    a.SetCompressionMode(10);
    FAIL() << "no exception";
  } catch (const EQPException& e) {
    EXPECT_EQ(e.NativeError, 5);
    EXPECT_EQ(e.Message(),
              u"Archiver: Invalid compression mode. Mode must be in [0-9] range - Native error: 00005");
  }
  EXPECT_EQ(a.GetCompressionMode(), 1);  // unchanged

  const struct { uint8_t mode; TQPCompressionLevel level; uint16_t method; } modes[] = {
      {0, clNone, 0}, {3, clFastest, 8}, {4, clNormal, 8}, {5, clNormal, 8}, {6, clNormal, 8}, {7, clMax, 8},
      {9, clMax, 8}};
  for (const auto& m : modes) {
    a.SetCompressionMode(m.mode);
    EXPECT_EQ(a.GetCompressionLevel(), m.level) << int(m.mode);
    EXPECT_EQ(a.GetCompressionMethod(), m.method) << int(m.mode);
  }
  const struct { TQPCompressionLevel level; uint8_t mode; } levels[] = {
      {clNone, 0}, {clFastest, 1}, {clNormal, 6}, {clMax, 9}};
  for (const auto& l : levels) {
    a.SetCompressionLevel(l.level);
    EXPECT_EQ(a.GetCompressionMode(), l.mode);
    EXPECT_EQ(a.GetCompressionMethod(), l.mode > 0 ? 8 : 0);
  }
}

TEST(ComponentProperties, SpanningOptionsSizes) {
  TQPSpanningOptions s;
  s.SetCustomVolumeSize(1000);
  EXPECT_EQ(s.GetCustomVolumeSize(), 65536);
  s.SetCustomVolumeSize(70000);
  EXPECT_EQ(s.GetCustomVolumeSize(), 70000);

  EXPECT_EQ(s.VolumeSizeLimit(false), -1);
  s.VolumeSize = vsCustom;
  EXPECT_EQ(s.VolumeSizeLimit(true), 70000);
  s.VolumeSize = vs1_44MB;
  EXPECT_EQ(s.VolumeSizeLimit(false), 1457664);
  s.VolumeSize = vs4700MB;
  EXPECT_EQ(s.VolumeSizeLimit(false), 4928307200);
  s.FirstVolumeSize = 12345;
  EXPECT_EQ(s.VolumeSizeLimit(true), 12345);
  EXPECT_EQ(s.VolumeSizeLimit(false), 4928307200);
}

TEST(ComponentProperties, OptionObjectsAssign) {
  TQPOptions source;
  source.Recurse = false;
  source.StorePath = spFullPathWithDrive;
  source.ShareMode = smShareExclusive;
  source.OverwriteMode = omPrompt;
  source.CreateDirs = source.ReplaceReadOnly = source.SetAttributes = false;
  source.SearchAttr = 7;
  source.FlushBuffers = source.OEMFileNames = false;
  TQuillpack a(nullptr);
  a.Options().ShareMode = smShareCompat;
  a.SetOptions(source);
  const TQPOptions& o = a.Options();
  EXPECT_FALSE(o.Recurse || o.CreateDirs || o.ReplaceReadOnly || o.SetAttributes || o.FlushBuffers ||
               o.OEMFileNames);
  EXPECT_EQ(o.StorePath, spFullPathWithDrive);
  EXPECT_EQ(o.OverwriteMode, omPrompt);
  EXPECT_EQ(o.SearchAttr, 7);
  EXPECT_EQ(o.ShareMode, smShareCompat);  // the target keeps its own share mode

  TQPSpanningOptions spanning;
  spanning.AdvancedNaming = true;
  spanning.FirstVolumeSize = 5;
  spanning.VolumeSize = vsCustom;
  spanning.SetCustomVolumeSize(100000);
  a.SetSpanningOptions(spanning);
  EXPECT_TRUE(a.SpanningOptions().AdvancedNaming);
  EXPECT_EQ(a.SpanningOptions().FirstVolumeSize, 5);
  EXPECT_EQ(a.SpanningOptions().VolumeSize, vsCustom);
  EXPECT_EQ(a.SpanningOptions().GetCustomVolumeSize(), 100000);

  // Another class goes to the base, which accepts nothing.
  EXPECT_THROW(a.Options().Assign(spanning), std::invalid_argument);
  EXPECT_THROW(a.SpanningOptions().Assign(source), std::invalid_argument);
}

TEST(ComponentProperties, SpanningModeCannotChangeWhileOpen) {
  TQuillpack a(nullptr);
  a.SetSpanningMode(smSplitting);
  EXPECT_EQ(a.GetSpanningMode(), smSplitting);
  a.SetSpanningMode(smNone);
  a.SetInMemory(true);
  a.OpenArchive();
  ASSERT_TRUE(a.IsOpen());
  try {
    a.SetSpanningMode(smSpanning);
    FAIL() << "no exception";
  } catch (const EQPException&) {
    FAIL() << "a plain error is expected";
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "Cannot set spanning mode on open archive");
  }
  EXPECT_EQ(a.GetSpanningMode(), smNone);
  a.CloseArchive();
  a.SetSpanningMode(smSpanning);
  EXPECT_EQ(a.GetSpanningMode(), smSpanning);
}

TEST(ComponentProperties, InMemorySwitching) {
  ScratchDir dir;
  TQuillpack a(nullptr);
  a.SetInMemory(true);  // closed: only stored
  EXPECT_TRUE(a.GetInMemory());
  EXPECT_FALSE(a.IsOpen());

  a.OpenArchive();
  ASSERT_TRUE(a.IsOpen());
  EXPECT_EQ(a.OpenMode(), kOpenModeCreate);
  // To a file without a file name: native error 29, still open in memory.
  EXPECT_EQ(NativeErrorOf([&] { a.SetInMemory(false); }), 29);
  EXPECT_TRUE(a.GetInMemory() && a.IsOpen());

  // With a file name the empty archive lands in the file and opens from there.
  const std::string path = dir.path() + "/memory.zip";
  a.FileName = U16(path);
  a.SetInMemory(false);
  EXPECT_FALSE(a.GetInMemory());
  ASSERT_TRUE(a.IsOpen());
  EXPECT_EQ(a.ItemCount(), 0);
  EXPECT_NE(a.OpenMode(), kOpenModeCreate);
  EXPECT_EQ(ReadFileBytes(path).size(), 22u);

  // Back to memory: a new, empty archive; the file stays as it was.
  const std::string withItems = dir.Write("items.zip", ZipWithNames({"a.txt"}));
  a.FileName = U16(withItems);
  a.OpenArchive();
  ASSERT_EQ(a.ItemCount(), 1);
  a.SetInMemory(true);
  EXPECT_TRUE(a.GetInMemory() && a.IsOpen());
  EXPECT_EQ(a.ItemCount(), 0);
  EXPECT_EQ(a.OpenMode(), kOpenModeCreate);
  EXPECT_NE(dynamic_cast<TQPMemoryStream*>(a.ArchiveStream()), nullptr);
  a.CloseArchive();
  TQuillpack reader(nullptr);
  reader.FileName = U16(withItems);
  reader.OpenArchive(kOpenModeReadOnlyDenyNone);
  EXPECT_EQ(reader.ItemCount(), 1);
}
