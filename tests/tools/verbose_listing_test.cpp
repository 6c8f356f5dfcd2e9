// The columns of `quillpack list -v` against archives whose every value is known: methods
// with and without AES, ratios up and down, the DOS date and time, CRC-32, the encrypted mark
// and the totals.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "archive/component/archiver.h"
#include "platform/platform.h"
#include "tests/support/zip_builder.h"
#include "tools/verbose_listing.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// An AES extra field: version, vendor "AE", strength, actual method.
std::string AesField(uint8_t strength, uint16_t method) {
  std::string data = {'\x02', '\x00', 'A', 'E', static_cast<char>(strength), static_cast<char>(method & 0xFF),
                      static_cast<char>(method >> 8)};
  return ExtraField(0x9901, data);
}

// An encrypted AES item of one byte over `method`.
ZipEntry AesEntry(const std::string& name, uint8_t strength, uint16_t method) {
  ZipEntry e;
  e.name = name;
  e.data = "x";
  e.flags = 1;
  e.method = 99;
  e.centralExtra = AesField(strength, method);
  return e;
}

TEST(VerboseListing, ColumnsAndTotalsOfKnownItems) {
  ZipEntry stored;
  stored.name = "stored.txt";
  stored.data = "0123456789";
  stored.date = 0x5A21;  // 2025-01-01
  stored.time = 0x6000;  // 12:00
  ZipEntry deflated;
  deflated.name = "dir/deflated.txt";
  deflated.data = std::string(1000, 'a');
  deflated.deflate = true;
  deflated.date = static_cast<uint16_t>((44 << 9) | (12 << 5) | 31);  // 2024-12-31
  deflated.time = static_cast<uint16_t>((23 << 11) | (59 << 5) | 29);  // 23:59:58
  const ZipEntry aes = AesEntry("secret.bin", 3, 8);
  const ZipEntry aes128 = AesEntry("other.bin", 1, 14);
  ZipEntry lzma;
  lzma.name = "lzma.bin";
  lzma.data = "z";
  lzma.method = 14;
  ScratchDir scratch;
  const std::string path = scratch.Write(
      "known.zip", ZipBuilder().Add(stored).Add(deflated).Add(aes).Add(aes128).Add(lzma).Build());
  TQuillpack archiver(nullptr);
  archiver.FileName = qp::platform::Utf8ToUtf16(path);
  archiver.OpenArchive(kOpenModeReadOnlyDenyNone);
  const std::vector<std::string> lines = Lines(VerboseListing(archiver.DirManager()->Directory, false));
  archiver.CloseArchive();

  const uint64_t packed = RawDeflate(deflated.data).size();
  char ratio[8];
  std::snprintf(ratio, sizeof ratio, "%d%%", static_cast<int>(100 - 100.0 * static_cast<double>(packed) / 1000 + 0.5));
  char deflatedLine[160];
  std::snprintf(deflatedLine, sizeof deflatedLine,
                "      1000  %10llu  %5s  deflate          2024-12-31 23:59  %08x     dir/deflated.txt",
                static_cast<unsigned long long>(packed), ratio, TestCrc32(deflated.data));
  char storedLine[160];
  std::snprintf(storedLine, sizeof storedLine,
                "        10          10     0%%  stored           2025-01-01 12:00  %08x     stored.txt",
                TestCrc32("0123456789"));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "      Size      Packed  Ratio  Method           Date       Time   CRC-32    E  Name");
  EXPECT_EQ(lines[2], storedLine);
  EXPECT_EQ(lines[3], deflatedLine);
  EXPECT_EQ(lines[4].substr(31, 17), "AES-256/deflate  ");
  EXPECT_EQ(lines[4].substr(76), "*  secret.bin");
  EXPECT_EQ(lines[5].substr(31, 17), "AES-128/14       ");
  EXPECT_EQ(lines[6].substr(31, 17), "14               ");
  EXPECT_EQ(lines[6].substr(76), "   lzma.bin");
  char totals[160];
  std::snprintf(totals, sizeof totals, "%10d  %10llu", 10 + 1000 + 1 + 1 + 1,
                static_cast<unsigned long long>(10 + packed + 1 + 1 + 1));
  EXPECT_EQ(lines[8].substr(0, 22), totals);
  EXPECT_EQ(lines[8].substr(lines[8].size() - 10), "   5 items");
}

TEST(VerboseListing, RatioRoundsAndGoesNegative) {
  EXPECT_EQ(Ratio(0, 0), "0%");
  EXPECT_EQ(Ratio(1000, 1000), "0%");
  EXPECT_EQ(Ratio(1000, 5), "100%");  // 99.5 rounds up, as unzip shows it
  EXPECT_EQ(Ratio(1000, 6), "99%");
  EXPECT_EQ(Ratio(100, 150), "-50%");
  EXPECT_EQ(Ratio(3, 2), "33%");
  // Huge ZIP64 sizes: no overflow, the column's widest figure at the low end.
  EXPECT_EQ(Ratio(100, 1099), "-999%");
  EXPECT_EQ(Ratio(100, 5000), "-999%");
  EXPECT_EQ(Ratio(1, UINT64_MAX), "-999%");
  EXPECT_EQ(Ratio(UINT64_MAX, 1), "100%");
  EXPECT_EQ(Ratio(UINT64_MAX, UINT64_MAX), "0%");
}

TEST(VerboseListing, DosDateAndTime) {
  EXPECT_EQ(DosDateTime(0x0021, 0x0000), "1980-01-01 00:00");
  EXPECT_EQ(DosDateTime(static_cast<uint16_t>((127 << 9) | (12 << 5) | 31), static_cast<uint16_t>((23 << 11) | (59 << 5))),
            "2107-12-31 23:59");
}

}  // namespace
