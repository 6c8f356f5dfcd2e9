// TProtection's stream, file and string forms, apart from the rest of the class so that a
// program that only transforms buffers (the self-extractor) does not link iostreams and the
// file-system library.
#include <algorithm>
#include <cwctype>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "crypto/byte_order.h"
#include "crypto/protection.h"

int64_t TProtection::ProcessStream(std::istream& source, std::ostream& destination, int action,
                                   int64_t size) {
  constexpr size_t kChunk = 64 * 1024;
  if (size < 0) {
    source.clear();
    source.seekg(0, std::ios::end);
    const auto end = static_cast<int64_t>(source.tellg());
    source.seekg(0, std::ios::beg);
    size = std::max<int64_t>(end, 0);
  }
  // Reading and writing through one stream buffer (a file transformed in place): each chunk
  // goes back to where it was read.
  const bool inPlace = source.rdbuf() == destination.rdbuf();
  std::vector<char> buffer(static_cast<size_t>(std::min<int64_t>(size, kChunk)) + 1);
  int64_t done = 0;
  DoProgress(0, size);
  BeginAction(action);
  try {
    while (done < size) {
      const auto want = static_cast<size_t>(std::min<int64_t>(size - done, kChunk));
      const std::streampos readAt = inPlace ? source.tellg() : std::streampos(0);
      source.read(buffer.data(), static_cast<std::streamsize>(want));
      const auto got = static_cast<size_t>(source.gcount());
      if (got == 0) break;
      ProcessChunk(buffer.data(), got, action);
      if (inPlace) {
        source.clear();
        destination.seekp(readAt);
      }
      destination.write(buffer.data(), static_cast<std::streamsize>(got));
      if (!destination) throw std::runtime_error("TProtection: write failed");
      if (inPlace) {
        destination.flush();
        source.seekg(readAt + static_cast<std::streamoff>(got));
      }
      done += static_cast<int64_t>(got);
      DoProgress(done, size);
      if (got < want) break;
    }
  } catch (...) {
    qp_crypto_detail::SecureZero(buffer.data(), buffer.size());
    throw;
  }
  EndAction(action);
  qp_crypto_detail::SecureZero(buffer.data(), buffer.size());
  return done;
}

namespace {

bool SameName(const std::filesystem::path& a, const std::filesystem::path& b) {
  const std::wstring x = a.wstring(), y = b.wstring();
  return x.size() == y.size() &&
         std::equal(x.begin(), x.end(), y.begin(), [](wchar_t p, wchar_t q) {
           return std::towlower(static_cast<wint_t>(p)) == std::towlower(static_cast<wint_t>(q));
         });
}

}  // namespace

void TProtection::ProcessFile(const std::filesystem::path& source,
                              const std::filesystem::path& destination, int action) {
  if (destination.empty() || SameName(source, destination)) {
    std::fstream file(source, std::ios::in | std::ios::out | std::ios::binary);
    if (!file) throw std::runtime_error("TProtection: cannot open " + source.string());
    ProcessStream(file, file, action, -1);
    file.flush();
    return;
  }
  std::ifstream in(source, std::ios::binary);
  if (!in) throw std::runtime_error("TProtection: cannot open " + source.string());
  std::ofstream out(destination, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("TProtection: cannot create " + destination.string());
  ProcessStream(in, out, action, -1);
  out.flush();
  if (!out) throw std::runtime_error("TProtection: write failed: " + destination.string());
}

std::string TProtection::ProcessString(const std::string& text, int action,
                                       const TStringFormat* format) {
  const TStringFormat& fmt = format ? *format : TStringFormat::Copy();
  std::stringstream stream(action == paDecode ? fmt.StrTo(text) : text,
                           std::ios::in | std::ios::out | std::ios::binary);
  ProcessStream(stream, stream, action, -1);
  const std::string bytes = stream.str();
  return action == paDecode ? bytes : fmt.ToStr(bytes);
}
