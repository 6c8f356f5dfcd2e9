// Archives behind a program: the records that a program's code holds as constants are not
// taken for an archive, and a certificate table from signing (after or before the archive
// was appended) does not hide the archive.
#include <gtest/gtest.h>

#include <string>

#include "archive/directory/program_image.h"
#include "tests/archive/open_memory.h"
#include "tests/support/zip_builder.h"

namespace {

constexpr size_t kImageSize = 0x800;

void Put32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}
void Put16(std::string& bytes, size_t at, uint16_t value) {
  for (int i = 0; i < 2; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// A minimal PE32 program of two sections whose code holds a well-formed empty end record and
// a local header, as a real stub's image does.
std::string ProgramImage(uint32_t certificateOffset = 0, uint32_t certificateSize = 0) {
  std::string image(kImageSize, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  Put32(image, 0x3C, 0x40);
  image.replace(0x40, 4, std::string("PE\0\0", 4));
  Put16(image, 0x44, 0x14C);   // i386
  Put16(image, 0x46, 2);       // sections
  Put16(image, 0x54, 0xE0);    // optional header size
  const size_t optional = 0x58;
  Put16(image, optional, 0x10B);
  Put32(image, optional + 60, 0x400);  // headers size
  Put32(image, optional + 92, 16);     // data directories
  Put32(image, optional + 96 + 4 * 8, certificateOffset);
  Put32(image, optional + 96 + 4 * 8 + 4, certificateSize);
  const size_t sections = optional + 0xE0;
  Put32(image, sections + 16, 0x200);
  Put32(image, sections + 20, 0x400);
  Put32(image, sections + 40 + 16, 0x200);
  Put32(image, sections + 40 + 20, 0x600);
  const std::string ghostHeader = std::string("PK\x03\x04\x14\0\0\0\0\0", 10) + std::string(16, '\0') +
                                  std::string("\x09\0\0\0", 4) + "ghost.txt";
  image.replace(0x480, ghostHeader.size(), ghostHeader);
  image.replace(0x700, 4, "PK\x05\x06");
  return image;
}

// A certificate table of `size` bytes (a multiple of 8) holding a false local header.
std::string CertificateTable(size_t size) {
  std::string table(size, '\x30');
  table.replace(size / 2, 30, std::string("PK\x03\x04", 4) + std::string(26, '\0'));
  return table;
}

std::string Archive(bool endRecord = true) {
  ZipEntry a;
  a.name = "readme.txt";
  a.data = "Hallo Welt";
  ZipEntry b;
  b.name = "docs/numbers.txt";
  b.data = std::string(5000, '7');
  b.deflate = true;
  return ZipBuilder().RelativeOffsets().Add(a).Add(b).OmitEndRecord(!endRecord).Build();
}

int NativeErrorOfOpening(const std::string& bytes) {
  try {
    OpenedArchive opened(bytes);
  } catch (const EQPException& e) {
    return e.NativeError;
  }
  return 0;
}

TEST(ProgramImage, NothingBehindTheProgramIsNoArchive) {
  const std::string program = ProgramImage();
  EXPECT_EQ(NativeErrorOfOpening(program), 35);
  // The same bytes without the PE headers would pass for an archive: the constants are real.
  std::string notAProgram = program;
  notAProgram[0x40] = 'X';
  EXPECT_EQ(NativeErrorOfOpening(notAProgram), 0);
}

TEST(ProgramImage, ArchiveBehindTheProgramIsReadFromThere) {
  for (bool endRecord : {true, false}) {
    OpenedArchive opened(ProgramImage() + Archive(endRecord));
    ASSERT_EQ(opened.Count(), 2) << endRecord;
    EXPECT_EQ(opened.Name(0), u"readme.txt");
    EXPECT_EQ(opened.Name(1), u"docs/numbers.txt");
    EXPECT_EQ(opened.manager.Directory.ItemRef(0).LocalHeaderOffset(), kImageSize);
  }
}

TEST(ProgramImage, CertificateTableAtTheEndIsLeftOut) {
  // Signed after the archive was appended: padding to 8 bytes, then a table larger than the
  // window searched for the end record.
  const std::string archive = Archive();
  const size_t unpadded = kImageSize + archive.size();
  const std::string padding((8 - unpadded % 8) % 8, '\0');
  const size_t tableAt = unpadded + padding.size();
  const std::string signedFile = ProgramImage(static_cast<uint32_t>(tableAt), 70000) + archive + padding +
                                 CertificateTable(70000);
  TQPMemoryStream stream(std::vector<uint8_t>(signedFile.begin(), signedFile.end()));
  const TQPArchiveSpan span = QPArchiveSpan(stream);
  EXPECT_EQ(span.Begin, static_cast<int64_t>(kImageSize));
  EXPECT_EQ(span.End, static_cast<int64_t>(tableAt));
  OpenedArchive opened(signedFile);
  ASSERT_EQ(opened.Count(), 2);
  EXPECT_EQ(opened.Name(1), u"docs/numbers.txt");
}

TEST(ProgramImage, CertificateTableBehindTheImageIsSkipped) {
  // A signed program with the archive appended afterwards; without an end record the
  // rebuild must not take the table's bytes for a header.
  const std::string table = CertificateTable(4096);
  const std::string file = ProgramImage(kImageSize, 4096) + table + Archive(false);
  OpenedArchive opened(file);
  ASSERT_EQ(opened.Count(), 2);
  EXPECT_EQ(opened.Name(0), u"readme.txt");
}

TEST(ProgramImage, ProgramCutShortLeavesNothingToRead) {
  const std::string cut = ProgramImage().substr(0, 0x500);
  TQPMemoryStream stream(std::vector<uint8_t>(cut.begin(), cut.end()));
  const TQPArchiveSpan span = QPArchiveSpan(stream);
  EXPECT_EQ(span.Begin, span.End);
  EXPECT_EQ(NativeErrorOfOpening(cut), 35);
}

}  // namespace
