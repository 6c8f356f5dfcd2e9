// The floor for the self-extractor bench: a bare Win32 program that does only the
// unavoidable system calls of extracting, for the files a manifest lists (one "SIZE PATH" a
// line, paths relative to the destination with '\'): one CreateDirectoryW per new folder,
// then CreateFileW, WriteFile, SetFileTime and CloseHandle per file. Nothing is inflated,
// checked or asked. Built with mingw and run under wine by bench/sfx_speed.sh.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: win32_floor MANIFEST DEST\n", stderr);
    return 2;
  }
  FILE* manifest = _wfopen(argv[1], L"rb");
  if (manifest == nullptr) return 1;
  const std::wstring dest = std::wstring(argv[2]) + L"\\";
  std::set<std::wstring> made;
  std::vector<char> data(1 << 20, 'x');
  FILETIME time;
  SYSTEMTIME now;
  GetSystemTime(&now);
  SystemTimeToFileTime(&now, &time);
  char line[4096];
  while (std::fgets(line, sizeof line, manifest) != nullptr) {
    unsigned long long size = 0;
    char name[4000];
    if (std::sscanf(line, "%llu %3999[^\r\n]", &size, name) != 2) continue;
    wchar_t wide[4000];
    MultiByteToWideChar(CP_UTF8, 0, name, -1, wide, 4000);
    const std::wstring path = dest + wide;
    // Folders as an extractor makes them: each once, parents first.
    for (size_t sep = path.find(L'\\', dest.size()); sep != std::wstring::npos; sep = path.find(L'\\', sep + 1)) {
      const std::wstring folder = path.substr(0, sep);
      if (made.insert(folder).second) CreateDirectoryW(folder.c_str(), nullptr);
    }
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    while (size > 0) {
      const DWORD chunk = size < data.size() ? static_cast<DWORD>(size) : static_cast<DWORD>(data.size());
      DWORD written = 0;
      if (!WriteFile(h, data.data(), chunk, &written, nullptr) || written != chunk) return 1;
      size -= chunk;
    }
    SetFileTime(h, nullptr, nullptr, &time);
    CloseHandle(h);
  }
  std::fclose(manifest);
  return 0;
}
