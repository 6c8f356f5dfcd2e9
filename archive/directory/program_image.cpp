// The span of a file behind a PE program's image: the DOS header leads to the PE headers,
// whose section table (and symbol table, when not stripped) tells where the image ends, and
// whose security directory tells where a certificate table lies.
#include "archive/directory/program_image.h"

#include <algorithm>
#include <vector>

#include "archive/format/little_endian.h"

namespace {

constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr size_t kCoffHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kSymbolSize = 18;
constexpr uint32_t kSecurityDirectory = 4;
// Certificate tables start on an 8-byte boundary; signing tools pad the file up to it.
constexpr int64_t kCertificateAlignment = 8;

bool ReadAt(TQPStream& stream, int64_t position, void* buffer, size_t count) {
  if (position < 0 || position + static_cast<int64_t>(count) > stream.Size()) return false;
  stream.SetPosition(position);
  return stream.Read(buffer, count) == count;
}

struct PeLayout {
  int64_t imageEnd = 0;
  int64_t certificateOffset = 0;
  int64_t certificateSize = 0;
};

// Reads the PE headers; false when the file is not a PE program.
bool ReadPeLayout(TQPStream& stream, PeLayout& layout) {
  uint8_t dos[64];
  if (!ReadAt(stream, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  const int64_t pe = GetLE<uint32_t>(dos + 0x3C);
  uint8_t coff[4 + kCoffHeaderSize];
  if (!ReadAt(stream, pe, coff, sizeof coff) || GetLE<uint32_t>(coff) != kPeSignature) return false;
  const uint16_t sectionCount = GetLE<uint16_t>(coff + 6);
  const uint32_t symbolTable = GetLE<uint32_t>(coff + 12);
  const uint32_t symbolCount = GetLE<uint32_t>(coff + 16);
  const uint16_t optionalSize = GetLE<uint16_t>(coff + 20);

  std::vector<uint8_t> optional(optionalSize);
  const int64_t optionalAt = pe + static_cast<int64_t>(sizeof coff);
  if (optionalSize < 2 || !ReadAt(stream, optionalAt, optional.data(), optional.size())) return false;
  const uint16_t magic = GetLE<uint16_t>(optional.data());
  if (magic != kPe32Magic && magic != kPe32PlusMagic) return false;
  const size_t directoryCountAt = magic == kPe32Magic ? 92 : 108;
  if (optionalSize < directoryCountAt + 4) return false;
  const uint32_t headersSize = GetLE<uint32_t>(optional.data() + 60);
  const uint32_t directoryCount = GetLE<uint32_t>(optional.data() + directoryCountAt);
  const size_t securityAt = directoryCountAt + 4 + kSecurityDirectory * 8;
  if (directoryCount > kSecurityDirectory && optionalSize >= securityAt + 8) {
    layout.certificateOffset = GetLE<uint32_t>(optional.data() + securityAt);
    layout.certificateSize = GetLE<uint32_t>(optional.data() + securityAt + 4);
  }

  const int64_t sectionsAt = optionalAt + optionalSize;
  std::vector<uint8_t> sections(static_cast<size_t>(sectionCount) * kSectionHeaderSize);
  if (!sections.empty() && !ReadAt(stream, sectionsAt, sections.data(), sections.size())) return false;
  int64_t end = std::max<int64_t>(headersSize, sectionsAt + static_cast<int64_t>(sections.size()));
  for (size_t i = 0; i < sectionCount; ++i) {
    const uint8_t* section = sections.data() + i * kSectionHeaderSize;
    const uint32_t rawSize = GetLE<uint32_t>(section + 16);
    const uint32_t rawOffset = GetLE<uint32_t>(section + 20);
    if (rawSize != 0) end = std::max<int64_t>(end, int64_t{rawOffset} + rawSize);
  }
  // An unstripped program keeps its symbols and their string table behind the sections.
  if (symbolTable != 0) {
    const int64_t strings = int64_t{symbolTable} + int64_t{symbolCount} * static_cast<int64_t>(kSymbolSize);
    uint8_t length[4] = {};
    const int64_t stringsSize = ReadAt(stream, strings, length, sizeof length) ? GetLE<uint32_t>(length) : 4;
    end = std::max(end, strings + std::max<int64_t>(stringsSize, 4));
  }
  layout.imageEnd = end;
  return true;
}

}  // namespace

TQPArchiveSpan QPArchiveSpan(TQPStream& stream) {
  TQPArchiveSpan span;
  span.End = stream.Size();
  PeLayout layout;
  if (!ReadPeLayout(stream, layout)) return span;
  span.Begin = std::min(layout.imageEnd, span.End);
  const int64_t certificateEnd = layout.certificateOffset + layout.certificateSize;
  if (layout.certificateSize > 0 && layout.certificateOffset >= span.Begin && certificateEnd <= span.End) {
    if (certificateEnd == span.End) {
      span.End = layout.certificateOffset;
    } else if (layout.certificateOffset - span.Begin < kCertificateAlignment) {
      span.Begin = certificateEnd;
    }
  }
  return span;
}
