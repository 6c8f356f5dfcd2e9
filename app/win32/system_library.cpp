// Loading system libraries after the DLL search has been restricted to the system folder.
#include "app/win32/system_library.h"

namespace {

// SetDefaultDllDirectories exists from Windows 8 on (and on 7 with its update), so it is looked
// up rather than imported: an import would keep the program from starting without it.
using SetDefaultDllDirectoriesFunction = BOOL WINAPI(DWORD);

}  // namespace

void RestrictDllSearchToSystemFolder() {
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto* restrict = reinterpret_cast<SetDefaultDllDirectoriesFunction*>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (restrict != nullptr) restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Without it, at least take the current folder out of the search.
  else SetDllDirectoryW(L"");
}

FARPROC SystemFunction(const wchar_t* dll, const char* name) {
  // The flag names the search explicitly, so it also holds where the default could not be
  // restricted; an activation context (common controls 6) still redirects comctl32.
  HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
    // A Windows 7 without the flag: name the system folder in the path instead.
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenW(dll) >= MAX_PATH) return nullptr;
    lstrcatW(path, L"\\");
    lstrcatW(path, dll);
    module = LoadLibraryW(path);
  }
  if (module == nullptr) return nullptr;
  return GetProcAddress(module, name);
}
