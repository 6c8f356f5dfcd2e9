// Reading a text file as lines, as the window's start.ini follow-up needs it.
#include "app/text_lines.h"

#include <cstdint>

#include "archive/base/exception.h"
#include "platform/platform.h"

namespace {

bool StartsWith(std::string_view bytes, std::string_view mark) { return bytes.substr(0, mark.size()) == mark; }

std::u16string Utf16ToText(std::string_view bytes, bool bigEndian) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<uint8_t>(bytes[i]);
    const auto second = static_cast<uint8_t>(bytes[i + 1]);
    text.push_back(static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
  }
  return text;
}

std::u16string DecodeText(std::string_view bytes) {
  using namespace std::string_view_literals;
  if (StartsWith(bytes, "\xEF\xBB\xBF"sv)) return qp::platform::Utf8ToUtf16(bytes.substr(3));
  if (StartsWith(bytes, "\xFF\xFE"sv)) return Utf16ToText(bytes.substr(2), false);
  if (StartsWith(bytes, "\xFE\xFF"sv)) return Utf16ToText(bytes.substr(2), true);
  return qp::platform::AnsiToUtf16(bytes);
}

}  // namespace

std::vector<std::u16string> SplitTextLines(std::string_view bytes) {
  const std::u16string text = DecodeText(bytes);
  std::vector<std::u16string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of(u"\r\n", start);
    if (end == std::u16string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == u'\r' && start < text.size() && text[start] == u'\n') ++start;
  }
  return lines;
}

std::vector<std::u16string> ReadTextFileLines(const std::u16string& path) {
  using namespace qp::platform;
  File file;
  std::string bytes;
  bool read = file.Open(path, fmOpenRead | fmShareDenyWrite);
  if (read) {
    const int64_t size = file.Size();
    read = size >= 0;
    if (read) {
      bytes.resize(static_cast<size_t>(size));
      read = file.Read(bytes.data(), bytes.size()) == size;
    }
  }
  if (!read) throw Exception(u"Cannot open file \"" + path + u"\"");
  return SplitTextLines(bytes);
}
