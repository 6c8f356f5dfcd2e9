// Code-page conversion on Win32, through the system: OemToCharBuffA for OEM to ANSI bytes,
// MultiByteToWideChar and WideCharToMultiByte for ANSI and UTF-8 both ways. Pure ASCII, the
// usual case for entry names, skips the calls.
#include <windows.h>


#include "platform/platform.h"

namespace qp::platform {
namespace {

// The API counts in int or DWORD; anything longer than this goes in pieces.
constexpr size_t kMaxChunk = size_t{1} << 28;

bool IsAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::u16string WidenAscii(std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<char16_t>(bytes[i]);
  return out;
}

// Where a piece may end without cutting a character in two.
size_t ChunkEnd(std::string_view bytes, size_t start, UINT codePage) {
  size_t end = start + kMaxChunk;
  if (end >= bytes.size()) return bytes.size();
  if (codePage == CP_UTF8) {
    while (end > start + 1 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) --end;
  } else if (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes[end - 1]))) {
    --end;
  }
  return end;
}

std::u16string MultiByteToUtf16(std::string_view bytes, UINT codePage) {
  std::u16string out;
  for (size_t start = 0; start < bytes.size();) {
    const size_t end = ChunkEnd(bytes, start, codePage);
    const int inLength = static_cast<int>(end - start);
    // No MB_ERR_INVALID_CHARS: invalid input becomes U+FFFD instead of failing the name.
    const int needed = MultiByteToWideChar(codePage, 0, bytes.data() + start, inLength, nullptr, 0);
    if (needed > 0) {
      const size_t offset = out.size();
      out.resize(offset + static_cast<size_t>(needed));
      MultiByteToWideChar(codePage, 0, bytes.data() + start, inLength,
                          reinterpret_cast<wchar_t*>(&out[offset]), needed);
    }
    start = end;
  }
  return out;
}

// Lone surrogates become U+FFFD in UTF-8; characters the ANSI code page lacks get the
// system's best fit or '?' (default flags).
std::string Utf16ToMultiByte(std::u16string_view text, UINT codePage) {
  std::string out;
  for (size_t start = 0; start < text.size();) {
    size_t end = start + kMaxChunk < text.size() ? start + kMaxChunk : text.size();
    if (end < text.size() && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) --end;
    const auto* in = reinterpret_cast<const wchar_t*>(text.data() + start);
    const int inLength = static_cast<int>(end - start);
    const int needed = WideCharToMultiByte(codePage, 0, in, inLength, nullptr, 0, nullptr, nullptr);
    if (needed > 0) {
      const size_t offset = out.size();
      out.resize(offset + static_cast<size_t>(needed));
      WideCharToMultiByte(codePage, 0, in, inLength, &out[offset], needed, nullptr, nullptr);
    }
    start = end;
  }
  return out;
}

}  // namespace

std::string OemToAnsi(std::string_view oem) {
  if (IsAscii(oem)) return std::string(oem);
  std::string out(oem.size(), '\0');
  for (size_t start = 0; start < oem.size(); start += kMaxChunk) {
    const size_t length = oem.size() - start < kMaxChunk ? oem.size() - start : kMaxChunk;
    OemToCharBuffA(oem.data() + start, &out[start], static_cast<DWORD>(length));
  }
  return out;
}

std::u16string AnsiToUtf16(std::string_view ansi) {
  if (IsAscii(ansi)) return WidenAscii(ansi);
  return MultiByteToUtf16(ansi, CP_ACP);
}

std::string Utf16ToAnsi(std::u16string_view text) { return Utf16ToMultiByte(text, CP_ACP); }

std::u16string Utf8ToUtf16(std::string_view utf8) {
  if (IsAscii(utf8)) return WidenAscii(utf8);
  return MultiByteToUtf16(utf8, CP_UTF8);
}

std::string Utf16ToUtf8(std::u16string_view text) { return Utf16ToMultiByte(text, CP_UTF8); }

}  // namespace qp::platform
