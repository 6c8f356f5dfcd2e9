// Name decoding.
#include "archive/format/names.h"

#include <algorithm>

#include "archive/format/crc32.h"
#include "archive/format/little_endian.h"
#include "archive/format/records.h"
#include "platform/platform.h"

namespace {

constexpr uint8_t kHostUnix = 3;
constexpr uint8_t kHostOsX = 19;
constexpr uint8_t kUnicodePathVersion = 1;

bool IsContinuation(uint8_t b) { return b >= 0x80 && b <= 0xBF; }

// Length of the well-formed UTF-8 sequence at p (n bytes left), or 0.
size_t Utf8SequenceLength(const uint8_t* p, size_t n) {
  uint8_t b = p[0];
  if (b < 0x80) return 1;
  auto in = [](uint8_t v, uint8_t lo, uint8_t hi) { return v >= lo && v <= hi; };
  if (in(b, 0xC2, 0xDF)) return n >= 2 && IsContinuation(p[1]) ? 2 : 0;
  if (b == 0xE0) return n >= 3 && in(p[1], 0xA0, 0xBF) && IsContinuation(p[2]) ? 3 : 0;
  if (in(b, 0xE1, 0xEF)) return n >= 3 && IsContinuation(p[1]) && IsContinuation(p[2]) ? 3 : 0;
  if (b == 0xF0)
    return n >= 4 && in(p[1], 0x90, 0xBF) && IsContinuation(p[2]) && IsContinuation(p[3]) ? 4 : 0;
  if (in(b, 0xF1, 0xF3))
    return n >= 4 && IsContinuation(p[1]) && IsContinuation(p[2]) && IsContinuation(p[3]) ? 4 : 0;
  if (b == 0xF4)
    return n >= 4 && in(p[1], 0x80, 0x8F) && IsContinuation(p[2]) && IsContinuation(p[3]) ? 4 : 0;
  return 0;
}

}  // namespace

TNameBytesKind ClassifyNameBytes(std::string_view bytes) {
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  size_t n = bytes.size();
  bool sawHigh = false;
  for (size_t i = 0; i < n;) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    size_t len = Utf8SequenceLength(p + i, n - i);
    if (len == 0) return TNameBytesKind::Other;
    sawHigh = true;
    i += len;
  }
  return sawHigh ? TNameBytesKind::Utf8 : TNameBytesKind::Ascii;
}

std::u16string DecodeCentralName(std::string_view bytes, uint16_t flags, bool oemNames,
                                 uint16_t versionMadeBy) {
  const TNameBytesKind kind = ClassifyNameBytes(bytes);
  // ASCII is the same in every code page and in UTF-8: the common case needs no conversion.
  if (kind == TNameBytesKind::Ascii) return std::u16string(bytes.begin(), bytes.end());
  const uint8_t host = static_cast<uint8_t>(versionMadeBy >> 8);
  if (kind == TNameBytesKind::Utf8 && (host == kHostUnix || host == kHostOsX))
    return qp::platform::Utf8ToUtf16(bytes);
  std::string converted;
  if (oemNames && (flags & kFlagUtf8) == 0) {
    converted = qp::platform::OemToAnsi(bytes);
    bytes = converted;
  }
  if (ClassifyNameBytes(bytes) == TNameBytesKind::Utf8) return qp::platform::Utf8ToUtf16(bytes);
  return qp::platform::AnsiToUtf16(bytes);
}

std::u16string DecodeRebuiltName(std::string_view bytes, bool applyOem) {
  size_t zero = bytes.find('\0');
  if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
  if (applyOem) return qp::platform::AnsiToUtf16(qp::platform::OemToAnsi(bytes));
  return qp::platform::AnsiToUtf16(bytes);
}

bool ParseUnicodePathField(const uint8_t* data, size_t size, std::string_view storedName,
                           std::u16string& name) {
  if (size <= 5 || data[0] != kUnicodePathVersion) return false;
  const uint32_t crc = ~UpdateCrc32(0xFFFFFFFFu, storedName.data(), storedName.size());
  if (GetLE<uint32_t>(data + 1) != crc) return false;
  const std::string_view text(reinterpret_cast<const char*>(data + 5), size - 5);
  if (ClassifyNameBytes(text) == TNameBytesKind::Other) return false;
  name = qp::platform::Utf8ToUtf16(text);
  return true;
}

bool TUnicodeExtendedInfo::Parse(const uint8_t* data, size_t size) {
  Name.clear();
  if (size < 8) return false;
  Signature = GetLE<uint32_t>(data);
  if (Signature != kUnicodeNameSignature) return false;
  uint32_t units = GetLE<uint32_t>(data + 4);
  // A count past the end of the field takes the code units that are there: sizing the name
  // by a hostile count would ask for gigabytes that the archive never held.
  units = std::min<uint32_t>(units, static_cast<uint32_t>((size - 8) / 2));
  Name.resize(units);
  for (uint32_t i = 0; i < units; ++i) Name[i] = GetLE<uint16_t>(data + 8 + 2 * i);
  return true;
}
