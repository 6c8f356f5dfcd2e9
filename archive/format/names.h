// Turning stored name bytes into UTF-16 item names: the OEM step, UTF-8 detection by
// content, the ANSI fallback, names from Unix hosts, the Unicode name extra field
// (TUnicodeExtendedInfo) and the Unicode path extra field (0x7075).
// No name ever fails to decode.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class TNameBytesKind { Ascii, Utf8, Other };

// Pure ASCII; well-formed UTF-8 (RFC 3629) with at least one byte from 0x80 up; or neither.
TNameBytesKind ClassifyNameBytes(std::string_view bytes);

// A central directory name: the OEM step when oemNames and flag bit 11 is clear, then UTF-8
// when the bytes are valid non-ASCII UTF-8, else the ANSI code page. A name made on a Unix
// host (high byte of versionMadeBy 3 or 19) that is valid UTF-8 skips the OEM step: those
// writers store the locale's bytes, which are UTF-8, and never the OEM code page.
std::u16string DecodeCentralName(std::string_view bytes, uint16_t flags, bool oemNames,
                                 uint16_t versionMadeBy = 0);

// A name rebuilt from a local header: the OEM step only when applyOem (set by the caller
// when the names are OEM, bit 11 is clear and an end record was found), then the ANSI code
// page up to the first zero byte.
std::u16string DecodeRebuiltName(std::string_view bytes, bool applyOem);

// The Unicode path extra field (0x7075): version 1, the CRC-32 of the stored name bytes, then
// the name in UTF-8. Gives the name only when the version is 1, the CRC matches the name
// bytes it was written for (a renamed item keeps a stale field) and the text is non-empty,
// valid UTF-8.
[[nodiscard]] bool ParseUnicodePathField(const uint8_t* data, size_t size, std::string_view storedName,
                           std::u16string& name);

// The Unicode name extra field: "NUCX", a count of UTF-16 units, then the UTF-16LE name.
class TUnicodeExtendedInfo {
 public:
  // Parses the field's data; false when the signature does not match. A count of 0 gives an
  // empty name; a count larger than the data holds gives the code units present.
  [[nodiscard]] bool Parse(const uint8_t* data, size_t size);

  uint32_t Signature = 0;
  std::u16string Name;
};
