// The columns of `quillpack list -v`.
#include "tools/verbose_listing.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>

#include "archive/directory/dir_array.h"
#include "archive/format/records.h"
#include "platform/platform.h"
#include "tools/terminal_text.h"

namespace {

// One layout for the header, the items, the rule and the totals, so the columns line up.
// The lowest ratio shown: "-999%" fills the five places of the column.
constexpr long double kLowestRatio = -999;

// Sums of huge ZIP64 sizes stop at the largest value rather than wrap round.
uint64_t SaturatingAdd(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

constexpr const char* kColumns = "%10s  %10s  %5s  %-15s  %-16s  %-8s  %1s  %s\n";

std::string Row(const std::string& size, const std::string& packed, const std::string& ratio,
                const std::string& method, const std::string& when, const std::string& crc, const std::string& mark,
                const std::string& name) {
  char line[128];
  const int n = std::snprintf(line, sizeof line, kColumns, size.c_str(), packed.c_str(), ratio.c_str(),
                              method.c_str(), when.c_str(), crc.c_str(), mark.c_str(), "");
  // The name is appended apart: it has no length limit.
  std::string row(line, static_cast<size_t>(n) - 1);
  row += name;
  row += '\n';
  return row;
}

const char* PlainMethodName(uint16_t method, char (&number)[8]) {
  if (method == kMethodStored) return "stored";
  if (method == kMethodDeflate) return "deflate";
  std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(method));
  return number;
}

}  // namespace

std::string MethodName(const TDirItem& item) {
  char number[8];
  const char* actual = PlainMethodName(item.ActualMethod, number);
  // The strength comes from the AES extra field, which also gave the actual method.
  if (item.CentralDirItem.Method != kMethodAes || item.CryptoAlgorithm == 0) return actual;
  static const char* const kStrengths[] = {"", "AES-128/", "AES-192/", "AES-256/"};
  return std::string(kStrengths[item.CryptoAlgorithm]) + actual;
}

std::string Ratio(uint64_t size, uint64_t packed) {
  if (size == 0) return "0%";
  const long double saved = 100.0L - 100.0L * static_cast<long double>(packed) / static_cast<long double>(size);
  // An item far larger packed than unpacked (a huge ZIP64 packed size) would give a figure no
  // integer holds; the column shows it at its widest instead.
  if (saved <= kLowestRatio) return std::to_string(static_cast<int>(kLowestRatio)) + "%";
  const long double rounded = saved < 0 ? saved - 0.5L : saved + 0.5L;
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64 "%%", static_cast<int64_t>(rounded));
  return text;
}

std::string DosDateTime(uint16_t date, uint16_t time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", 1980u + (date >> 9), (date >> 5) & 15u, date & 31u,
                time >> 11, (time >> 5) & 63u);
  return text;
}

std::string VerboseListing(const TQPDirArray& directory, bool terminal) {
  std::string out = Row("Size", "Packed", "Ratio", "Method", "Date       Time", "CRC-32", "E", "Name");
  out += Row("----------", "----------", "-----", "---------------", "----------------", "--------", "-", "----");
  const int32_t count = directory.Count();
  out.reserve(out.size() + static_cast<size_t>(count) * 100);
  uint64_t totalSize = 0;
  uint64_t totalPacked = 0;
  char number[32];
  const auto decimal = [&number](uint64_t value) {
    std::snprintf(number, sizeof number, "%" PRIu64, value);
    return std::string(number);
  };
  for (int32_t i = 0; i < count; ++i) {
    const TDirItem& item = directory.ItemRef(i);
    const uint64_t size = item.UncompressedSize();
    const uint64_t packed = item.CompressedSize();
    totalSize = SaturatingAdd(totalSize, size);
    totalPacked = SaturatingAdd(totalPacked, packed);
    std::snprintf(number, sizeof number, "%08" PRIx32, item.CentralDirItem.Crc32);
    const std::string crc = number;
    const std::string name = qp::platform::Utf16ToUtf8(item.ItemName);
    out += Row(decimal(size), decimal(packed), Ratio(size, packed), MethodName(item),
               DosDateTime(item.CentralDirItem.Date, item.CentralDirItem.Time), crc, item.IsEncrypted() ? "*" : "",
               terminal ? EscapeControls(name) : EscapeLineBreaks(name));
  }
  out += Row("----------", "----------", "-----", "", "", "", "", "----");
  out += Row(decimal(totalSize), decimal(totalPacked), Ratio(totalSize, totalPacked), "", "", "", "",
             std::to_string(count) + (count == 1 ? " item" : " items"));
  return out;
}
