// DLLs outside the KnownDLLs list, loaded only from the system folder. A program started from
// a downloads folder must never pick up a DLL planted beside it: the search is restricted
// first thing at start, and the libraries the import table must not name (comctl32 for the
// task dialog and the common controls, shcore, uxtheme) are reached through here afterwards.
#pragma once

#include <windows.h>

// Restricts the DLL search of this process to the system folder. Call before anything else.
void RestrictDllSearchToSystemFolder();

// The function `name` of the system library `dll`, or nullptr when the library or the
// function is missing (older Windows, wine without it). The library stays loaded.
FARPROC SystemFunction(const wchar_t* dll, const char* name);

template <typename Function>
Function* SystemFunctionAs(const wchar_t* dll, const char* name) {
  return reinterpret_cast<Function*>(reinterpret_cast<void*>(SystemFunction(dll, name)));
}
