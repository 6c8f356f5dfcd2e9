// Code-page conversion on POSIX: OEM (CP437) to ANSI (CP1252) bytes, ANSI <-> UTF-16, and
// UTF-8 <-> UTF-16. Names are converted once per archive entry, so the single-byte code pages
// go through 256-entry tables that iconv fills once, instead of an iconv call per name.
#include <iconv.h>

#include <array>

#include "platform/platform.h"

namespace qp::platform {
namespace {

using ByteTable = std::array<char16_t, 256>;

// Asks iconv for the UTF-16 value of every byte of a single-byte code page. Bytes the code page
// leaves undefined (or a converter that is missing altogether) keep 0xFFFF so the caller can
// decide what they stand for.
ByteTable QueryCodePage(const char* const* names) {
  ByteTable table;
  table.fill(0xFFFF);
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
  for (; *names != nullptr && cd == reinterpret_cast<iconv_t>(-1); ++names) {
    cd = iconv_open("UTF-16LE", *names);
  }
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    return table;
  }
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    unsigned char out[8] = {};
    char* inPtr = &in;
    size_t inLeft = 1;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof(out);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
        sizeof(out) - outLeft == 2) {
      table[b] = static_cast<char16_t>(out[0] | (out[1] << 8));
    }
  }
  iconv_close(cd);
  return table;
}

// CP1252 to UTF-16. glibc leaves 0x81, 0x8D, 0x8F, 0x90 and 0x9D undefined; Windows maps them
// to the C1 controls of the same value, and so do we, so that no name fails to decode.
const ByteTable& AnsiTable() {
  static const ByteTable table = [] {
    static const char* const names[] = {"CP1252", "WINDOWS-1252", nullptr};
    ByteTable t = QueryCodePage(names);
    for (int b = 0; b < 256; ++b) {
      if (t[b] == 0xFFFF) {
        t[b] = static_cast<char16_t>(b);
      }
    }
    return t;
  }();
  return table;
}

// What Windows' best-fit tables give for the CP437 characters that CP1252 does not have:
// box drawing becomes '+', '-' or the broken bar, Greek letters their Latin look-alikes, and
// a few mathematical signs a near equivalent.
struct BestFit {
  char16_t unicode;
  unsigned char ansi;
};
constexpr BestFit kBestFit[] = {
    {0x0393, 0x47}, {0x0398, 0x54}, {0x03A3, 0x53}, {0x03A6, 0x46}, {0x03A9, 0x4F},
    {0x03B1, 0x61}, {0x03B4, 0x64}, {0x03B5, 0x65}, {0x03C0, 0x70}, {0x03C3, 0x73},
    {0x03C4, 0x74}, {0x03C6, 0x66}, {0x207F, 0x6E}, {0x20A7, 0x50}, {0x2219, 0xB7},
    {0x221A, 0x76}, {0x221E, 0x38}, {0x2229, 0x6E}, {0x2248, 0x98}, {0x2261, 0x3D},
    {0x2264, 0x3D}, {0x2265, 0x3D}, {0x2310, 0xAC}, {0x2320, 0x28}, {0x2321, 0x29},
    {0x2500, 0x2D}, {0x2502, 0xA6}, {0x250C, 0x2B}, {0x2510, 0x2B}, {0x2514, 0x2B},
    {0x2518, 0x2B}, {0x251C, 0x2B}, {0x2524, 0xA6}, {0x252C, 0x2D}, {0x2534, 0x2D},
    {0x253C, 0x2B}, {0x2550, 0x2D}, {0x2551, 0xA6}, {0x2552, 0x2B}, {0x2553, 0x2B},
    {0x2554, 0x2B}, {0x2555, 0x2B}, {0x2556, 0x2B}, {0x2557, 0x2B}, {0x2558, 0x2B},
    {0x2559, 0x2B}, {0x255A, 0x2B}, {0x255B, 0x2B}, {0x255C, 0x2B}, {0x255D, 0x2B},
    {0x255E, 0xA6}, {0x255F, 0xA6}, {0x2560, 0xA6}, {0x2561, 0xA6}, {0x2562, 0xA6},
    {0x2563, 0xA6}, {0x2564, 0x2D}, {0x2565, 0x2D}, {0x2566, 0x2D}, {0x2567, 0x2D},
    {0x2568, 0x2D}, {0x2569, 0x2D}, {0x256A, 0x2B}, {0x256B, 0x2B}, {0x256C, 0x2B},
    {0x2580, 0xAF}, {0x2584, 0x5F}, {0x2588, 0xA6}, {0x258C, 0xA6}, {0x2590, 0xA6},
    {0x2591, 0xA6}, {0x2592, 0xA6}, {0x2593, 0xA6}, {0x25A0, 0xA6},
};

// CP437 byte to CP1252 byte: the same character where CP1252 has it, else the best fit, else
// '?'. The low half is left alone, as Windows does (no glyph interpretation of controls).
const std::array<char, 256>& OemToAnsiTable() {
  static const std::array<char, 256> table = [] {
    static const char* const names[] = {"CP437", "IBM437", nullptr};
    const ByteTable oem = QueryCodePage(names);
    const ByteTable& ansi = AnsiTable();
    std::array<char, 256> t{};
    for (int b = 0; b < 256; ++b) {
      if (b < 0x80) {
        t[b] = static_cast<char>(b);
        continue;
      }
      const char16_t u = oem[b];
      int found = -1;
      for (int a = 0x80; a < 256 && found < 0 && u != 0xFFFF; ++a) {
        if (ansi[a] == u) {
          found = a;
        }
      }
      for (const BestFit& fit : kBestFit) {
        if (found < 0 && fit.unicode == u) {
          found = fit.ansi;
        }
      }
      t[b] = static_cast<char>(found < 0 ? '?' : found);
    }
    return t;
  }();
  return table;
}

bool IsAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      return false;
    }
  }
  return true;
}

std::u16string WidenAscii(std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    out[i] = static_cast<char16_t>(bytes[i]);
  }
  return out;
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

}  // namespace

std::string OemToAnsi(std::string_view oem) {
  if (IsAscii(oem)) {
    return std::string(oem);
  }
  const auto& table = OemToAnsiTable();
  std::string out(oem.size(), '\0');
  for (size_t i = 0; i < oem.size(); ++i) {
    out[i] = table[static_cast<unsigned char>(oem[i])];
  }
  return out;
}

std::u16string AnsiToUtf16(std::string_view ansi) {
  if (IsAscii(ansi)) {
    return WidenAscii(ansi);
  }
  const ByteTable& table = AnsiTable();
  std::u16string out(ansi.size(), u'\0');
  for (size_t i = 0; i < ansi.size(); ++i) {
    out[i] = table[static_cast<unsigned char>(ansi[i])];
  }
  return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
  const ByteTable& table = AnsiTable();
  std::string out;
  out.reserve(text.size());
  // One byte per UTF-16 unit, as Windows converts: a surrogate pair becomes "??".
  for (const char16_t c : text) {
    int found = c < 0x80 ? c : -1;
    for (int b = 0x80; b < 256 && found < 0; ++b) {
      if (table[b] == c) found = b;
    }
    out.push_back(static_cast<char>(found < 0 ? '?' : found));
  }
  return out;
}

// A hand-written decoder: it never fails, and each maximal ill-formed subsequence becomes one
// U+FFFD (overlong forms, encoded surrogates and values above U+10FFFF included), which is
// what Windows' converter gives as well.
std::u16string Utf8ToUtf16(std::string_view utf8) {
  if (IsAscii(utf8)) {
    return WidenAscii(utf8);
  }
  std::u16string out;
  out.reserve(utf8.size());
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t n = utf8.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char lead = p[i];
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    int length = 0;
    char32_t cp = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      cp = lead & 0x0F;
      if (lead == 0xE0) lo = 0xA0;  // overlong
      if (lead == 0xED) hi = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      cp = lead & 0x07;
      if (lead == 0xF0) lo = 0x90;  // overlong
      if (lead == 0xF4) hi = 0x8F;  // above U+10FFFF
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool ok = true;
    for (int k = 1; k < length; ++k, ++j) {
      const unsigned char lowLimit = k == 1 ? lo : 0x80;
      const unsigned char highLimit = k == 1 ? hi : 0xBF;
      if (j >= n || p[j] < lowLimit || p[j] > highLimit) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (p[j] & 0x3F);
    }
    if (ok) {
      AppendCodePoint(out, cp);
    } else {
      out.push_back(0xFFFD);
    }
    i = j;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDFFF) {
      if (cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        ++i;
      } else {
        cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
      }
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace qp::platform
