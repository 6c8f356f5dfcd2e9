// PositionalReader on Win32: a second handle of the file, opened by name for reading and
// checked to be the same file, read with ReadFile at offsets given in an OVERLAPPED. The
// system moves that second handle's position with each read, which nobody uses.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/api_path.h"
#include "platform/win32/wide.h"

namespace qp::platform {
namespace {

constexpr size_t kMaxChunk = size_t{1} << 30;

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION x, y;
  if (!GetFileInformationByHandle(a, &x) || !GetFileInformationByHandle(b, &y)) return false;
  return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

}  // namespace

PositionalReader::~PositionalReader() { Close(); }

bool PositionalReader::Open(const File& file, const std::u16string& path) {
  Close();
  if (!file.IsOpen()) return false;
  const HANDLE h = CreateFileW(win32::Wide(win32::ApiPath(path)), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  // The name may lead elsewhere by now (the file renamed or replaced since it was opened).
  if (GetFileType(h) != FILE_TYPE_DISK || !SameFile(h, AsHandle(file.handle_))) {
    CloseHandle(h);
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  return true;
}

void PositionalReader::Close() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
  handle_ = -1;
}

int64_t PositionalReader::ReadAt(uint64_t offset, void* buffer, size_t count, int& error) const {
  if (handle_ == -1) {
    error = ERROR_INVALID_HANDLE;
    return -1;
  }
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const uint64_t at = offset + done;
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD chunk = static_cast<DWORD>(count - done < kMaxChunk ? count - done : kMaxChunk);
    DWORD n = 0;
    if (!ReadFile(AsHandle(handle_), out + done, chunk, &n, &where)) {
      const DWORD code = GetLastError();
      if (code == ERROR_HANDLE_EOF) break;  // a positional read past the end says so
      error = static_cast<int>(code);
      return -1;
    }
    if (n == 0) break;
    done += n;
  }
  return static_cast<int64_t>(done);
}

}  // namespace qp::platform
