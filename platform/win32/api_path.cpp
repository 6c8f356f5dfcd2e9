// Long paths for the wide file API: the full path comes from GetFullPathNameW, which has no
// length limit of its own and resolves the path as the API would; it is then put in the
// extended-length form.
#include <windows.h>

#include <vector>

#include "platform/extended_path.h"
#include "platform/win32/api_path.h"
#include "platform/win32/wide.h"

namespace qp::platform::win32 {
namespace {

bool IsFull(const std::u16string& path) {
  const bool drive = path.size() >= 3 && path[1] == u':' && (path[2] == u'\\' || path[2] == u'/');
  const bool unc = path.size() >= 2 && (path[0] == u'\\' || path[0] == u'/') && (path[1] == u'\\' || path[1] == u'/');
  return drive || unc;
}

}  // namespace

std::u16string ApiPath(const std::u16string& path) {
  // The common case costs one comparison: a short full path is passed as it is.
  if (path.size() < kLegacyPathLimit && IsFull(path)) return path;
  std::vector<wchar_t> buffer(path.size() + MAX_PATH + 1);
  DWORD n = GetFullPathNameW(Wide(path), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (n >= buffer.size()) {
    buffer.resize(n + 1);
    n = GetFullPathNameW(Wide(path), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  }
  if (n == 0 || n >= buffer.size()) return path;  // let the call itself report the failure
  const std::u16string full = FromWide(buffer.data(), n);
  if (full.size() < kLegacyPathLimit) return path;
  return ExtendedLengthPath(full);
}

}  // namespace qp::platform::win32
